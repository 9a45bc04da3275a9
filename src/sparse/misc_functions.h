// MiscFunctions: small free helpers shared by the numeric and text code.
#pragma once

#include <string>

namespace wendrel {

// True when the path names an existing entry that is not a folder; false when it does not
// exist or cannot be examined.
bool FileExists(const std::string& path);

}  // namespace wendrel
