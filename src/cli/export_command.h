// `wendrel export`: a grown chain's lists for reference managers and spreadsheets (standard RIS,
// BibTeX, CSL-JSON, CSV), read from a session file or grown again from the Pearl List `wendrel grow`
// saved.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace wendrel {

// Reads standard input when it is a terminal (the service's retry question).
int RunExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunExport(const std::vector<std::string>& args, std::istream& in, bool interactive, std::ostream& out,
              std::ostream& err);

}  // namespace wendrel
