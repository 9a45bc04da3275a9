// `wendrel map`: the article map of a saved RIS list or of the lists `wendrel grow` wrote, drawn
// into a PNG and written as positions and dot text.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace wendrel {

// Exit status 0; 1 when a file cannot be read or written or the layout failed; 2 on a usage error.
int RunMap(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace wendrel
