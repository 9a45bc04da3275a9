// The `wendrel` commands of the local academic search service: serve (run it over a corpus or as a
// gateway to OpenAlex) and corpus (generate synthetic JSON Lines, import JSON Lines or OpenAlex
// works into a corpus file).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace wendrel {

// Each returns the process exit code; args are those after the command's name.
// `serve --corpus FILE [--port N]` or `serve --openalex [options]` listens on 127.0.0.1, writes
// "Serving <base address>" on `out` and runs until SIGINT or SIGTERM; the gateway's log goes to `err`.
int RunServe(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// `corpus generate --count N [--seed S] --out FILE`, `corpus import FILE --out CORPUS` and
// `corpus import-openalex FILE --out CORPUS` (with a progress bar when standard error is a terminal).
int RunCorpus(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace wendrel
