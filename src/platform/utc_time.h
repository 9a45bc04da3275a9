// The current time as the program writes it into its files: UTC, ISO 8601, to the second.
#pragma once

#include <string>

namespace wendrel {

// "2026-12-07T14:02:11Z".
std::string UtcNow();

}  // namespace wendrel
