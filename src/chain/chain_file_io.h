// Whole-file reads and replacing writes for the chain's files, and a temporary file that removes
// itself.
#pragma once

#include <string>

namespace wendrel {

// The file's bytes; throws ChainError naming the file and the reason when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Writes the content to a new file beside `path` and renames it over `path`, so a failed write
// (full disk, missing folder, size limit) leaves the previous file as it was and no partial file.
// Throws ChainError naming the file and the reason.
void WriteFileReplacing(const std::string& path, const std::string& content);

// A file in the system's temporary folder, removed when the object goes away (also when an
// exception passes).
class TemporaryFile {
 public:
  // Creates the file with the content; `stem` becomes part of its name. Throws ChainError.
  TemporaryFile(const std::string& stem, const std::string& content);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

}  // namespace wendrel
