// The error type of the text-analysis classes.
#pragma once

#include <stdexcept>
#include <string>

namespace wendrel {

// A ".tdm" version that does not exist (LoadTDM).
constexpr int kErrorTdmVersionMissing = 5000;

// Raised where an operation cannot go on: a file that cannot be opened, read or written, a
// truncated ".tdm" file, malformed field definitions. Number() is kErrorTdmVersionMissing for a
// missing ".tdm" version and 0 otherwise.
class TextError : public std::runtime_error {
 public:
  explicit TextError(const std::string& what, int number = 0) : std::runtime_error(what), m_number(number) {}
  int Number() const { return m_number; }

 private:
  int m_number;
};

}  // namespace wendrel
