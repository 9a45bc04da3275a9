// `wendrel network`: reads a square proximity matrix, reduces it to a network (spanning tree,
// nearest neighbours, Pathfinder or geodesic distances) and writes it as dot text or matrix text.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/host.h"

namespace wendrel {

// Exit status 0, 1 when the matrix cannot be read or the output written, 2 on a usage error.
int RunNetwork(const std::vector<std::string>& args, Host& host, std::ostream& out, std::ostream& err);

}  // namespace wendrel
