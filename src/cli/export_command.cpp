// wendrel export: a session file read, or the saved Pearl List of a grow folder grown again from the
// service, then one of its lists written in a format reference managers and spreadsheets read.
#include "cli/export_command.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "chain/chain_file_io.h"
#include "chain/citation_chain.h"
#include "chain/exchange_exports.h"
#include "cli/arguments.h"
#include "cli/grow_command.h"
#include "cli/session_chain.h"
#include "platform/curl_http_client.h"
#include "search_client/result_set.h"

namespace wendrel {

namespace {

constexpr const char* kUsage =
    "usage: wendrel export (--session FILE | --grow-dir DIR) [--list pearls|cited|citing|all|candidates|new]\n"
    "                      [--decision included|excluded|maybe|undecided]\n"
    "                      --format ris|bibtex|csl-json|csv --out FILE [--service URL] [--max-citing N]\n"
    "Writes the lists of a grown chain for reference managers and spreadsheets.\n"
    "  --session FILE  a session file (`wendrel grow --session`, the window): its lists exactly as they\n"
    "                  were grown, deletions kept, read from the file alone with no service\n"
    "  --grow-dir DIR  the lists of `wendrel grow --out DIR`: the pearls of DIR/pearls.ris grow again\n"
    "                  from the academic search service (the Pearl List keeps the order they were\n"
    "                  added in, so the chain is the same)\n"
    "The list is written with every author, the keywords, each article's pearl relations (the IDs\n"
    "of the pearls it cites and of those citing it) and its screening: the decision and labels as\n"
    "keywords and a note (\"Screening: excluded (wrong outcome); labels: a, b; note: text\"), in CSV\n"
    "the columns Decision, Reason, Labels, Note, Known and Generation.\n"
    "  --list L        pearls, cited, citing, all three (default) or candidates (related articles that\n"
    "                  are no pearls, those related to the most pearls first) or new (with --session:\n"
    "                  the articles new since the session's last run, `wendrel grow --refresh`)\n"
    "  --decision D    only the articles of the list screened as D (undecided: those with no decision;\n"
    "                  with --grow-dir, which holds no screening, every article is undecided)\n"
    "  --format F      ris (standard RIS), bibtex, csl-json or csv (UTF-8, RFC 4180; a cell starting\n"
    "                  with =, +, -, @, a tab or a carriage return gets a leading apostrophe, so that\n"
    "                  spreadsheets show it as text instead of running it as a formula)\n"
    "  --out FILE      replaced in one step: a failed write leaves an earlier file as it was\n"
    "  --service URL   with --grow-dir: the service the chain was grown from (default http://127.0.0.1:8754)\n"
    "  --max-citing N  with --grow-dir: the citing limit the chain was grown with (default 500, as for grow): with the\n"
    "                  same limit the lists are exactly those grown\n"
    "Exit status 1 when the session or Pearl List cannot be read or holds no pearl, a request to the\n"
    "service failed (nothing is written then) or FILE cannot be written; 2 on a usage error.\n";

// Writes the list and says how many articles went; 1 when the file could not be written.
int WriteList(const MASCitationChain& chain, ExchangeList list, std::optional<Verdict> decision, ExchangeFormat format,
              const std::string& target, std::ostream& out, std::ostream& err) {
  const ExchangeResult result = ExportExchange(chain, list, format, target, decision);
  if (!result.written) {
    err << "wendrel export: " << result.reason << "\n";
    return 1;
  }
  out << "Wrote " << result.articles << " articles to " << target << "\n";
  return 0;
}

}  // namespace

int RunExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunExport(args, std::cin, isatty(STDIN_FILENO) != 0, out, err);
}

int RunExport(const std::vector<std::string>& args, std::istream& in, bool interactive, std::ostream& out,
              std::ostream& err) {
  if (WantsHelp(args)) {
    out << kUsage;
    return 0;
  }
  try {
    Arguments a(args,
                {"--session", "--grow-dir", "--list", "--decision", "--format", "--out", "--service", "--max-citing"});
    if (a.Has("--session") == a.Has("--grow-dir")) throw UsageError("give either --session FILE or --grow-dir DIR");
    if (a.Has("--session") && (a.Has("--service") || a.Has("--max-citing")))
      throw UsageError("--service and --max-citing go with --grow-dir: a session is exported as it was grown");
    const std::string target = a.Required("--out");
    const std::optional<ExchangeList> list = ParseExchangeList(a.Value("--list").value_or("all"));
    if (!list) throw UsageError("--list takes pearls, cited, citing, all, candidates or new");
    if (*list == ExchangeList::New && !a.Has("--session"))
      throw UsageError("--list new needs --session: only a session file knows its runs");
    std::optional<Verdict> decision;
    if (const std::optional<std::string> word = a.Value("--decision")) {
      decision = ParseVerdict(*word);
      if (!decision) throw UsageError("--decision takes included, excluded, maybe or undecided");
    }
    const std::optional<ExchangeFormat> format = ParseExchangeFormat(a.Required("--format"));
    if (!format) throw UsageError("--format takes ris, bibtex, csl-json or csv");
    if (const std::optional<std::string> path = a.Value("--session")) {
      SessionChain session(*path);
      if (session.Chain().PearlOrder().empty()) {
        err << "wendrel export: " << *path << " holds no pearl; nothing was written\n";
        return 1;
      }
      if (*list == ExchangeList::New && session.Chain().Screenings().Run() < 2) {
        err << "wendrel export: " << *path << " has not been refreshed (wendrel grow --session " << *path
            << " --refresh), so no article is new since a last run; nothing was written\n";
        return 1;
      }
      return WriteList(session.Chain(), *list, decision, *format, target, out, err);
    }
    const std::string folder = a.Required("--grow-dir");
    const std::string service = a.Value("--service").value_or(DefaultServiceAddress());
    const auto limit = static_cast<int32_t>(a.Number("--max-citing", 500, 0, 1000000));
    const std::string pearls = (std::filesystem::path(folder) / "pearls.ris").string();

    GrowProgress progress(err, false);
    GrowHost host(in, err, interactive, progress, true, limit);
    CurlHttpClient http;
    MASCitationChain chain(host, http, service);
    chain.SetLargeCitationLimit(limit);
    chain.SetEvents({.StopRequested = [&] { return chain.FailedRequests() > 0; }});
    int32_t citingAsked = 0;
    // The caption's progress lines would bury the one line this command prints.
    class QuietCaption : public Caption {
     public:
      std::string GetCaption() const override { return m_caption; }
      void SetCaption(const std::string& caption) override { m_caption = caption; }

     private:
      std::string m_caption;
    } caption;
    chain.ImportRIS(pearls, citingAsked, caption);
    if (chain.FailedRequests() > 0) {
      err << "wendrel export: a request to the service at " << service << " failed (" << chain.LastRequestError()
          << "); nothing was written\n";
      return 1;
    }
    if (chain.PearlOrder().empty()) {
      err << "wendrel export: no pearl of " << pearls << " could be grown; nothing was written\n";
      return 1;
    }
    return WriteList(chain, *list, decision, *format, target, out, err);
  } catch (const UsageError& e) {
    err << "wendrel export: " << e.what() << " (see --help)\n";
    return 2;
  } catch (const ChainError& e) {
    err << "wendrel export: " << e.what() << "\n";
    return 1;
  } catch (const SessionError& e) {
    err << "wendrel export: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace wendrel
