#include "test_paths.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace wendrel::test {

std::string DataPath(const std::string& name) { return std::string(WENDREL_TEST_DATA_DIR) + "/" + name; }

std::optional<std::string> SharedPath(const std::string& relative) {
  std::filesystem::path p = std::filesystem::path(WENDREL_SHARED_TESTDATA_DIR) / relative;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(p, ec)) return std::nullopt;
  return p.string();
}

std::vector<std::pair<std::string, std::string>> SharedFiles(const std::vector<std::string>& relatives) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const std::string& relative : relatives) {
    if (std::optional<std::string> path = SharedPath(relative)) files.emplace_back(relative, ReadFile(*path));
  }
  return files;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace wendrel::test
