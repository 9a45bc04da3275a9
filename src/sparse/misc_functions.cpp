// MiscFunctions: file helpers.
#include "sparse/misc_functions.h"

#include <filesystem>

namespace wendrel {

bool FileExists(const std::string& path) {
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (ec) return false;
  return std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace wendrel
