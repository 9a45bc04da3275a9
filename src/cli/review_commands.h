// `wendrel screen` and `wendrel known`: screening decisions and the user's library, changed in a
// session file.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace wendrel {

// Decides articles named by ID, or takes the decisions of a screening file.
int RunScreen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// Imports a library and marks the session's articles it holds as known.
int RunKnown(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace wendrel
