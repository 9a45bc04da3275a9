// Paths to the test fixtures: the project's own (tests/data) and the shared real-world files.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wendrel::test {

// A file under tests/data.
std::string DataPath(const std::string& name);

// A file under the shared test data folder, or nothing when that folder or file is absent
// (tests then skip).
std::optional<std::string> SharedPath(const std::string& relative);

// The contents of those of the shared files that are present, with their names (tests skip when
// none is).
std::vector<std::pair<std::string, std::string>> SharedFiles(const std::vector<std::string>& relatives);

// Whole file as bytes; throws std::runtime_error when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace wendrel::test
