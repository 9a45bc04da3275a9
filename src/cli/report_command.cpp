// wendrel report: a session file read with no service, and its report written as Markdown, HTML,
// JSON or the CSV table of searches, with the edge list beside it when asked.
#include "cli/report_command.h"

#include <filesystem>
#include <iostream>

#include "cli/arguments.h"
#include "cli/session_chain.h"
#include "platform/replacing_file.h"
#include "review/report.h"

namespace wendrel {

namespace {

constexpr const char* kUsage =
    "usage: wendrel report --session FILE [--format md|html|json|csv] [--out FILE] [--edges FILE.csv]\n"
    "Reports a session's citation searching from its file alone (no service): every search (pearl,\n"
    "backward or forward, generation, source, date, the count the source gave, the count retrieved,\n"
    "complete or capped, stopped, failed), the records identified, duplicates removed, unique, already\n"
    "known, screened, excluded by reason, maybe, included and not yet screened, each generation's new\n"
    "and included records and where growing stopped, and a methods paragraph to adapt.\n"
    "  --format F      md (Markdown, the default), html, json (docs/report.md gives its layout) or csv\n"
    "                  (the table of searches)\n"
    "  --out FILE      where the report goes (standard output when absent); replaced in one step\n"
    "  --edges FILE    also writes every relation retrieved as CSV: pearl, direction, article,\n"
    "                  generation, date\n"
    "Exit status 1 when the session cannot be read, holds no search or a file cannot be written\n"
    "(nothing is written then); 2 on a usage error.\n";

std::string Document(const Report& report, const std::string& format) {
  if (format == "html") return ReportHtml(report);
  if (format == "json") return ReportJson(report);
  if (format == "csv") return ReportSearchesCsv(report);
  return ReportMarkdown(report);
}

}  // namespace

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (WantsHelp(args)) {
    out << kUsage;
    return 0;
  }
  try {
    Arguments a(args, {"--session", "--format", "--out", "--edges"});
    const std::string path = a.Required("--session");
    const std::string format = a.Value("--format").value_or("md");
    if (format != "md" && format != "html" && format != "json" && format != "csv")
      throw UsageError("--format takes md, html, json or csv");
    const std::optional<std::string> target = a.Value("--out");
    const std::optional<std::string> edges = a.Value("--edges");
    std::error_code same;
    if (target && edges && (*target == *edges || std::filesystem::equivalent(*target, *edges, same)))
      throw UsageError("--out and --edges name the same file");
    if ((target && std::filesystem::equivalent(*target, path, same)) ||
        (edges && std::filesystem::equivalent(*edges, path, same)))
      throw UsageError("the report would replace the session file itself");

    SessionChain session(path);
    const Report report = MakeReport(session.Session(), session.Chain());
    if (report.searches.empty()) {
      err << "wendrel report: " << path << " holds no search; nothing was written\n";
      return 1;
    }
    // The edge list first: a report on standard output is not followed by a failure.
    std::ostream& said = target ? out : err;
    if (edges) {
      ReplaceFile(*edges, ReportEdgesCsv(report));
      said << "Wrote " << report.edges.size() << " relations to " << *edges << "\n";
    }
    if (target) {
      ReplaceFile(*target, Document(report, format));
      out << "Wrote the report of " << report.searches.size() << " searches to " << *target << "\n";
    } else {
      out << Document(report, format);
    }
    return 0;
  } catch (const UsageError& e) {
    err << "wendrel report: " << e.what() << " (see --help)\n";
    return 2;
  } catch (const SessionError& e) {
    err << "wendrel report: " << e.what() << "\n";
    return 1;
  } catch (const ReplaceError& e) {
    err << "wendrel report: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace wendrel
