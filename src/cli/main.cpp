// The `wendrel` command: the local academic search service and its client, the citation chain and
// its exports, the text library, networks and the article map, one subcommand each.
#include <iostream>
#include <string>
#include <vector>

#include "cli/client_commands.h"
#include "cli/export_command.h"
#include "cli/grow_command.h"
#include "cli/map_command.h"
#include "cli/network_command.h"
#include "cli/review_commands.h"
#include "cli/service_commands.h"
#include "cli/session_command.h"
#include "cli/text_commands.h"
#include "platform/program_version.h"
#include "platform/replacing_file.h"
#include "platform/terminal_host.h"

namespace {

constexpr const char* kUsage =
    "usage: wendrel COMMAND [OPTIONS]   (wendrel COMMAND --help for a command's options)\n"
    "Commands:\n"
    "  demo      start the local search service on the demo corpus and search it\n"
    "  serve     run the local academic search service over a corpus\n"
    "  corpus    generate a synthetic corpus (JSON Lines) or import one into a corpus file\n"
    "  search    search the academic search service and print the records found\n"
    "  records   convert a saved reply of the service into records\n"
    "  grow      grow a citation chain from pearls or a RIS file and write its lists\n"
    "  export    write a grown chain's lists as RIS, BibTeX, CSL-JSON or CSV for other tools\n"
    "  session   tell what a session file holds (session info FILE)\n"
    "  screen    record screening decisions in a session, by ID or from another tool's file\n"
    "  known     mark the session's articles that are papers of your library\n"
    "  stem      stem words read one a line (Porter)\n"
    "  tdm       build and save the term-document matrix of a document file\n"
    "  docs      load a document file, show its fields and counts, export it\n"
    "  network   reduce a proximity matrix to a network (tree, neighbours, Pathfinder, geodesic)\n"
    "  map       build the article map of RIS lists and draw it (PNG, positions, dot text)\n"
    "wendrel --version prints the version and the licence.\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::cout << kUsage;
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--version") {
    std::cout << wendrel::VersionText("wendrel");
    return 0;
  }
  std::string command = args.front();
  args.erase(args.begin());
  // Ctrl+C or a kill in the middle of a save or an import leaves no temporary file behind.
  wendrel::RemoveTemporariesOnStopSignals();
  wendrel::TerminalHost host;
  if (command == "serve") return wendrel::RunServe(args, std::cout, std::cerr);
  if (command == "corpus") return wendrel::RunCorpus(args, std::cout, std::cerr);
  if (command == "search") return wendrel::RunSearch(args, host, std::cout, std::cerr);
  if (command == "records") return wendrel::RunRecords(args, std::cout, std::cerr);
  if (command == "demo") return wendrel::RunDemo(args, host, std::cout, std::cerr);
  if (command == "grow") return wendrel::RunGrow(args, std::cout, std::cerr);
  if (command == "export") return wendrel::RunExport(args, std::cout, std::cerr);
  if (command == "session") return wendrel::RunSession(args, std::cout, std::cerr);
  if (command == "screen") return wendrel::RunScreen(args, std::cout, std::cerr);
  if (command == "known") return wendrel::RunKnown(args, std::cout, std::cerr);
  if (command == "stem") return wendrel::RunStem(args, std::cout, std::cerr);
  if (command == "tdm") return wendrel::RunTdm(args, host, std::cout, std::cerr);
  if (command == "docs") return wendrel::RunDocs(args, host, std::cout, std::cerr);
  if (command == "network") return wendrel::RunNetwork(args, host, std::cout, std::cerr);
  if (command == "map") return wendrel::RunMap(args, std::cout, std::cerr);
  std::cerr << "wendrel: unknown command '" << command << "' (see wendrel --help)\n";
  return 2;
}
