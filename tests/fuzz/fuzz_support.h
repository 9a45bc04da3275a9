// Shared by the fuzz targets: a temporary folder for the life of the process, and the input
// written to a file in it for readers that take a path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "temp_dir.h"

namespace wendrel::fuzz {

// One folder per process, removed at exit.
inline const test::TempDir& ProcessFolder() {
  static const test::TempDir folder;
  return folder;
}

inline std::string Text(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

// Replaces the file `name` of the process folder with the bytes; returns its path. The old file
// is removed first: truncating a file that holds data makes ext4 flush the new data to disk when
// it is closed (milliseconds an input).
inline std::string WriteInput(const std::string& name, const uint8_t* data, size_t size) {
  std::string path = ProcessFolder().Path(name);
  std::remove(path.c_str());
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                 static_cast<std::streamsize>(size));
  return path;
}

}  // namespace wendrel::fuzz
