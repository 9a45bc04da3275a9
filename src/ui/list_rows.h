// Texts of list cells.
#pragma once

#include <cstdint>
#include <string>

namespace wendrel {

// The number with at least `digits` digits, zeros in front ("000": 7 becomes "007"); a minus
// sign stands before the zeros.
inline std::string ZeroPadded(int64_t value, int digits) {
  std::string text = std::to_string(value < 0 ? -value : value);
  if (static_cast<int>(text.size()) < digits) text.insert(0, static_cast<size_t>(digits) - text.size(), '0');
  return value < 0 ? "-" + text : text;
}

}  // namespace wendrel
