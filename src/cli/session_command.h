// `wendrel session info FILE`: what a session file holds, read without a service.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace wendrel {

int RunSession(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace wendrel
