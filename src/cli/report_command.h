// `wendrel report`: the report of a session's citation searching, read from its file alone.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace wendrel {

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace wendrel
