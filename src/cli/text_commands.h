// The `wendrel` commands of the text-analysis library: stem, tdm and docs.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace wendrel {

class Host;

// Each returns the process exit code; args are those after the command's name.
// stem: words on `in`, one a line; their stems on `out`, one a line, in order. Interactive input
// (a terminal) is answered line by line; other input is read and answered in large blocks. The
// first form reads standard input.
int RunStem(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunStem(const std::vector<std::string>& args, std::istream& in, bool interactive, std::ostream& out,
            std::ostream& err);
// tdm: loads a document file, builds and weights the term-document matrix as the map does and
// saves it as the next free ".tdm" version beside the file.
int RunTdm(const std::vector<std::string>& args, Host& host, std::ostream& out, std::ostream& err);
// docs: loads a document file, prints its fields and counts, and exports it.
int RunDocs(const std::vector<std::string>& args, Host& host, std::ostream& out, std::ostream& err);

}  // namespace wendrel
