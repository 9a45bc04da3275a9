// Paths to the test fixtures: the project's own (tests/data) and the shared real-world files.
#pragma once

#include <optional>
#include <string>

namespace wendrel::test {

// A file under tests/data.
std::string DataPath(const std::string& name);

// A file under the shared test data folder, or nothing when that folder or file is absent
// (tests then skip).
std::optional<std::string> SharedPath(const std::string& relative);

// Whole file as bytes; throws std::runtime_error when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace wendrel::test
