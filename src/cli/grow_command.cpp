// wendrel grow: the citation chain driven from the command line, its progress on standard error
// and its lists written to a folder.
#include "cli/grow_command.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "chain/bibtex_reader.h"
#include "chain/chain_file_io.h"
#include "chain/citation_chain.h"
#include "chain/exchange_exports.h"
#include "chain/ris_reader.h"
#include "cli/arguments.h"
#include "platform/curl_http_client.h"
#include "review/known_papers.h"
#include "search_client/result_set.h"
#include "session/session_file.h"

namespace wendrel {

namespace {

constexpr const char* kUsage =
    "usage: wendrel grow --service URL (--pearl ID ... | --ris FILE) [--max-citing N]\n"
    "                    [--export ris|bibtex|csl-json|csv] --out DIR\n"
    "       wendrel grow --session FILE (--pearl ID ... | --ris FILE | --resume | --promote-included | --refresh)\n"
    "                    [--service URL] [--max-citing N] [--export F --out DIR]\n"
    "Grows a citation chain, one pearl after another: each pearl's record, the articles it cites\n"
    "and the articles citing it, from the academic search service at URL.\n"
    "  --session FILE   keeps the chain in a session file, created when missing, otherwise grown\n"
    "                   on: every page is written to it as it arrives, so an interrupted run loses\n"
    "                   nothing merged; --service defaults to http://127.0.0.1:8754, --out is optional;\n"
    "                   --max-citing defaults to the limit the session was grown with\n"
    "  --resume         grows what the session still owes: pearls asked for and not grown, pearls\n"
    "                   left part way, and capped citing lists when --max-citing is above their limit\n"
    "  --promote-included  makes every included article that is not yet a pearl a pearl of the next\n"
    "                   generation (the highest so far plus one) and grows it, with what --resume grows;\n"
    "                   with no included article waiting it says so and grows nothing (exit status 0)\n"
    "  --refresh        grows every pearl of the session again afresh as a new run of its run log: each\n"
    "                   pearl's record and all its pages are fetched again and merged, counting no\n"
    "                   relation twice; decisions already made stay. Prints, instead of the candidates,\n"
    "                   what changed since the last run (\"3 new articles, 1 no longer listed, from 2\n"
    "                   pearls\"), the pearls whose counts changed, the articles retracted since then and\n"
    "                   those a pearl no longer lists (they stay in the lists). `wendrel export --list new`\n"
    "                   writes the new ones. From the OpenAlex gateway the cache's age rules apply: serve it\n"
    "                   with --max-age 0 to force fresh data\n"
    "  --pearl ID ...   publication IDs of the pearls (several after one --pearl, or --pearl again)\n"
    "  --ris FILE       a RIS file: a Pearl List saved before, or references from another tool;\n"
    "                   a .bib file is read as BibTeX, a plain list of DOIs or IDs (one a line) as such\n"
    "  --max-citing N   fetch at most the N most cited citing articles of a pearl cited more often,\n"
    "                   every pearl of a --ris file too (default: ask on a terminal, otherwise 500)\n"
    "  --out DIR        writes pearls.ris, cited.ris, citing.ris (standard RIS), wos.txt (the Cited\n"
    "                   List) and events.txt\n"
    "  --export F       also writes the candidates below, with every author and their pearl relations,\n"
    "                   as candidates.ris, .bib, .json or .csv for reference managers and spreadsheets\n"
    "Prints the candidates for the next pearl as a tab-separated table, those related to the most\n"
    "pearls first: Index, PK, CitedByPearls, CitesPearls, CitationCount, Year, FirstAuthor, Title.\n"
    "Progress and messages go to standard error (references of a file that cannot be resolved are\n"
    "listed there, one a line, by first author, year, title and DOI). The files are written together,\n"
    "and only when every request to the service was answered and at least one pearl was resolved;\n"
    "otherwise the run stops, writes nothing and leaves DIR as it was. A second run into DIR while\n"
    "one runs there is refused.\n"
    "Exit status 0 when every pearl was grown; 3 when the files were written but some pearl IDs or\n"
    "references were not resolved; 1 when nothing was written (no pearl resolved, a request failed,\n"
    "a file cannot be read or written, DIR is in use); 2 on a usage error.\n";

constexpr int kPartlyResolved = 3;
constexpr int kBarWidth = 24;

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// A table cell: tabs and line breaks inside would break the table.
std::string Cell(const std::string& text) {
  std::string cell;
  for (char c : text) {
    switch (c) {
      case '\t': cell += "\\t"; break;
      case '\r': cell += "\\r"; break;
      case '\n': cell += "\\n"; break;
      case '\\': cell += "\\\\"; break;
      default: cell += c;
    }
  }
  return cell;
}

// --pearl takes every argument after it up to the next option; the rest goes to the shared parser.
std::vector<std::string> TakePearls(const std::vector<std::string>& args, std::vector<std::string>& rest) {
  std::vector<std::string> pearls;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--pearl") {
      rest.push_back(args[i]);
      continue;
    }
    size_t before = pearls.size();
    while (i + 1 < args.size() && !StartsWith(args[i + 1], "--")) pearls.push_back(args[++i]);
    if (pearls.size() == before) throw UsageError("--pearl needs at least one ID");
  }
  return pearls;
}

// Candidates for the next pearl: related to a pearl, not a pearl, not deleted from view; those
// related to the most pearls first, then the most cited, then in table order.
void PrintCandidates(const MASCitationChain& chain, std::ostream& out) {
  std::vector<CCRecord> rows;
  std::vector<int32_t> indexes;
  for (int32_t i = 1; i <= chain.Count(); ++i) {
    CCRecord r = chain.GetRecord(i);
    if ((!r.IsCited && !r.IsCiting) || r.IsPearl || r.Suppressed) continue;
    rows.push_back(std::move(r));
    indexes.push_back(i);
  }
  std::vector<size_t> order(rows.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const int relatedA = rows[a].CitedByPearls + rows[a].CitesPearls;
    const int relatedB = rows[b].CitedByPearls + rows[b].CitesPearls;
    if (relatedA != relatedB) return relatedA > relatedB;
    return rows[a].CitationCount > rows[b].CitationCount;
  });
  out << "Index\tPK\tCitedByPearls\tCitesPearls\tCitationCount\tYear\tFirstAuthor\tTitle\n";
  for (size_t k : order) {
    const CCRecord& r = rows[k];
    out << indexes[k] << '\t' << Cell(r.PK) << '\t' << r.CitedByPearls << '\t' << r.CitesPearls << '\t'
        << r.CitationCount << '\t' << Cell(r.Year) << '\t' << Cell(r.FirstAuthor) << '\t' << Cell(r.Title) << '\n';
  }
}

// The pearls grown (not those kept unresolved as a file held them).
int32_t ResolvedPearls(const MASCitationChain& chain) {
  int32_t resolved = 0;
  for (int32_t i : chain.PearlOrder())
    if (!chain.Unresolved(i)) ++resolved;
  return resolved;
}

// The citing limit a session was grown with; `fallback` when it holds none.
int32_t SessionCitingLimit(const SessionFile& session, int32_t fallback) {
  const std::string text = session.Info("citing_limit");
  int32_t limit = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), limit);
  return error == std::errc() && end == text.data() + text.size() && limit >= 0 ? limit : fallback;
}

// Every file of the run, written together: a folder never holds files of two runs.
void WriteLists(const MASCitationChain& chain, const std::string& folder, std::optional<ExchangeFormat> exchange) {
  const std::filesystem::path dir(folder);
  std::vector<std::pair<std::string, std::string>> files = {{(dir / "pearls.ris").string(), chain.RISText(ChainList::Pearls)},
                                                            {(dir / "cited.ris").string(), chain.RISText(ChainList::Cited)},
                                                            {(dir / "citing.ris").string(), chain.RISText(ChainList::Citing)},
                                                            {(dir / "wos.txt").string(), chain.WOSText(ChainList::Cited)},
                                                            {(dir / "events.txt").string(), chain.EventHistory()}};
  if (exchange) {
    files.emplace_back((dir / (std::string("candidates.") + ExchangeExtension(*exchange))).string(),
                       FormatExchange(chain, ExchangeList::Candidates, *exchange));
  }
  // Every reference of a seed list that did not resolve, one a line; the message lists only the
  // first hundred. An earlier run's list goes when this one has none.
  const std::string unresolved = (dir / "unresolved.txt").string();
  if (!chain.ImportFailures().empty()) {
    std::string lines;
    for (const std::string& label : chain.ImportFailures()) lines += label + "\r\n";
    files.emplace_back(unresolved, lines);
  }
  WriteFilesTogether(files);
  if (chain.ImportFailures().empty()) {
    std::error_code ignored;
    std::filesystem::remove(unresolved, ignored);
  }
}

}  // namespace

GrowProgress::GrowProgress(std::ostream& out, bool bar) : m_out(out), m_bar(bar) {}

void GrowProgress::Listen(ChainEvents& events) {
  events.PhaseStarted = [this](PearlPhase phase) { PhaseStarted(phase); };
  events.GrowthStarted = [this](const GrowthStep& step) {
    ++m_changes;
    m_pagesDone = step.pagesHad;
    m_pages = step.pagesNeeded;
    Show();
  };
  events.PageDone = [this](const PageProgress& done) {
    ++m_changes;
    ++m_pagesDone;
    // Whole seconds; nothing for less than one.
    const long long seconds = done.secondsLeft ? std::llround(*done.secondsLeft) : 0;
    m_seconds = seconds >= 1 ? std::to_string(seconds) : std::string();
    Show();
  };
}

void GrowProgress::Expect(int pearls) {
  m_pearl = 0;
  m_pearls = pearls;
  m_phase = PearlPhase::Begin;
}

void GrowProgress::PhaseStarted(PearlPhase phase) {
  ++m_changes;
  m_phase = phase;
  m_pagesDone = m_pages = 0;
  m_seconds.clear();
  if (phase == PearlPhase::Begin) ++m_pearl;
  // A direction is shown once the pages it needs are known.
  if (phase == PearlPhase::Record) Show();
}

std::string GrowProgress::Step() const {
  std::ostringstream step;
  step << "pearl " << m_pearl << " of " << m_pearls;
  switch (m_phase) {
    case PearlPhase::Begin: break;
    case PearlPhase::Record: step << ", retrieving its record"; break;
    case PearlPhase::Cited: step << ", cited page " << m_pagesDone << " of " << m_pages; break;
    case PearlPhase::Citing:
      step << ", citing page " << m_pagesDone << " of " << m_pages;
      if (!m_seconds.empty()) step << ", about " << m_seconds << " seconds remaining";
      break;
  }
  return step.str();
}

void GrowProgress::Show() {
  if (!m_bar) {
    m_out << Step() << "\n";
    return;
  }
  // Half of a pearl's share for its cited pages, half for its citing pages.
  double within = 0;
  const double phaseDone = m_pages > 0 ? 0.5 * m_pagesDone / m_pages : 0.5;
  if (m_phase == PearlPhase::Cited) within = phaseDone;
  if (m_phase == PearlPhase::Citing) within = 0.5 + phaseDone;
  const double done = m_pearls > 0 ? std::clamp((m_pearl - 1 + within) / m_pearls, 0.0, 1.0) : 0.0;
  const int filled = static_cast<int>(done * kBarWidth + 0.5);
  m_out << "\r[" << std::string(static_cast<size_t>(filled), '#')
        << std::string(static_cast<size_t>(kBarWidth - filled), '-') << "] " << Step() << "\x1b[K" << std::flush;
  m_lineOpen = true;
}

void GrowProgress::Resolving(int32_t item, int32_t items, size_t notFound) {
  const auto now = std::chrono::steady_clock::now();
  if (item != 1 && item != items && now < m_nextResolving) return;
  m_nextResolving = now + std::chrono::seconds(1);
  // 8,000 rather than 8000: the counts of a large list are read at a glance.
  auto grouped = [](int64_t n) {
    std::string digits = std::to_string(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
    return digits;
  };
  const std::string text = "resolving " + grouped(item) + " of " + grouped(items) + " references, " +
                           grouped(static_cast<int64_t>(notFound)) + " not found";
  if (!m_bar) {
    m_out << text << "\n";
    return;
  }
  m_out << "\r" << text << "\x1b[K" << std::flush;
  m_lineOpen = true;
}

void GrowProgress::BreakLine() {
  if (m_lineOpen) m_out << "\n";
  m_lineOpen = false;
}

void GrowProgress::Finish() { BreakLine(); }

GrowHost::GrowHost(std::istream& in, std::ostream& err, bool interactive, GrowProgress& progress, bool limitCiting,
                   int32_t citingLimit, std::chrono::milliseconds retryBudget)
    : m_terminal(in, err, interactive),
      m_err(err),
      m_interactive(interactive),
      m_progress(progress),
      m_limitCiting(limitCiting),
      m_citingLimit(citingLimit),
      m_retryBudget(retryBudget) {}

MessageResult GrowHost::MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                                   MessageButtons buttons) {
  m_progress.BreakLine();
  // The one Yes/No question of pearl growing: whether to fetch only the most cited articles. While
  // a file loads it offers "to All"; the limit given, or the lack of a terminal, answers it for
  // every pearl of the file.
  const bool toAll = buttons == MessageButtons::YesNoToAll;
  if ((buttons == MessageButtons::YesNo || toAll) && title == "XCR") {
    MessageResult answer = toAll ? MessageResult::YesToAll : MessageResult::Yes;
    if (m_limitCiting || !m_interactive) {
      m_err << title << ": " << text << "\n(answered " << (toAll ? "Yes to All" : "Yes") << ": at most "
            << m_citingLimit << " citing articles)\n";
    } else {
      answer = m_terminal.MessageBox(text, title, icon, buttons);
    }
    return answer;
  }
  if (buttons == MessageButtons::RetryCancel && !m_interactive) {
    // Each question comes after another unanswered wait; the clock starts again once the run
    // has moved on (an event of the chain) or after a cancel.
    const auto now = std::chrono::steady_clock::now();
    if (!m_stuckSince || m_progress.Changes() != m_changesWhenStuck) {
      m_stuckSince = now;
      m_changesWhenStuck = m_progress.Changes();
    }
    m_err << title << ": " << text << "\n";
    if (now - *m_stuckSince < m_retryBudget) {
      m_err << "(no terminal to ask: waiting again)\n";
      return MessageResult::Retry;
    }
    m_stuckSince.reset();
    m_err << "(no terminal to ask: cancelled after waiting a minute)\n";
    return MessageResult::Cancel;
  }
  return m_terminal.MessageBox(text, title, icon, buttons);
}

int RunGrow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunGrow(args, std::cin, isatty(STDIN_FILENO) != 0, out, err, isatty(STDERR_FILENO) != 0);
}

int RunGrow(const std::vector<std::string>& args, std::istream& in, bool interactive, std::ostream& out,
            std::ostream& err, bool progressBar) {
  if (WantsHelp(args)) {
    out << kUsage;
    return 0;
  }
  try {
    std::vector<std::string> rest;
    const std::vector<std::string> pearls = TakePearls(args, rest);
    Arguments a(rest, {"--service", "--ris", "--max-citing", "--out", "--export", "--session"},
                {"--resume", "--promote-included", "--refresh"});
    const std::optional<std::string> sessionPath = a.Value("--session");
    const bool promote = a.Has("--promote-included");
    if (promote && a.Has("--resume")) throw UsageError("--promote-included grows what --resume grows: give one of them");
    const bool refresh = a.Has("--refresh");
    if (refresh && (a.Has("--resume") || promote))
      throw UsageError("--refresh grows every pearl again: give no --resume or --promote-included with it");
    if (refresh && !sessionPath) throw UsageError("--refresh goes with --session");
    if (refresh && (!pearls.empty() || a.Has("--ris") || a.Has("--out")))
      throw UsageError("--refresh grows the session's pearls: give no --pearl, --ris or --out with it");
    const bool resume = a.Has("--resume") || promote || refresh;
    const std::string service = sessionPath ? a.Value("--service").value_or(DefaultServiceAddress()) : a.Required("--service");
    const std::optional<std::string> folder = sessionPath ? a.Value("--out") : a.Required("--out");
    const std::optional<std::string> ris = a.Value("--ris");
    const std::string owed = refresh ? "--refresh" : promote ? "--promote-included" : "--resume";
    if (resume && !sessionPath) throw UsageError(owed + " goes with --session");
    if (resume ? (!pearls.empty() || ris) : pearls.empty() == !ris)
      throw UsageError(resume ? owed + " grows what the session owes: give no --pearl or --ris with it"
                              : "give either --pearl with IDs or --ris with a file");
    if (a.Has("--export") && !folder) throw UsageError("--export goes with --out");
    const bool limitGiven = a.Has("--max-citing");
    auto limit = static_cast<int32_t>(a.Number("--max-citing", 500, 0, 1000000));
    std::optional<ExchangeFormat> exchange;
    if (const std::optional<std::string> name = a.Value("--export")) {
      exchange = ParseExchangeFormat(*name);
      if (!exchange) throw UsageError("--export takes ris, bibtex, csl-json or csv");
    }

    // Held until the run ends: a second run into the folder refuses rather than mixing its files in.
    std::optional<FolderLock> lock;
    if (folder) lock.emplace(*folder);
    std::unique_ptr<SessionFile> session;
    if (refresh && !std::filesystem::exists(*sessionPath)) {
      err << "wendrel grow: " << *sessionPath << " does not exist: there is no session to refresh\n";
      return 1;
    }
    if (sessionPath && std::filesystem::exists(*sessionPath)) {
      session = SessionFile::Open(*sessionPath);
      if (session->ReadOnly()) {
        err << "wendrel grow: " << session->ReadOnlyReason() << "\n";
        return 1;
      }
      if (!limitGiven) limit = SessionCitingLimit(*session, limit);
    }
    GrowProgress progress(err, progressBar);
    GrowHost host(in, err, interactive, progress, limitGiven, limit);
    CurlHttpClient http;
    MASCitationChain chain(host, http, service);
    chain.SetLargeCitationLimit(limit);
    if (sessionPath) {
      // Restore puts back the session's limit; the one given or read above holds for this run.
      if (session) {
        session->Restore(chain);
      } else {
        session = SessionFile::Create(*sessionPath, chain, ServiceSourceText(service));
      }
      session->SetSource(ServiceSourceText(service));
      session->Attach(chain);
    }
    chain.SetLargeCitationLimit(limit);
    // A growth stops at the first request that fails: its lists would lack what the service did
    // not send, and writing them would put less over an earlier run's files than they held.
    ChainEvents events{.StopRequested = [&] { return chain.FailedRequests() > 0; }};
    events.ImportItem = [&](int32_t item, int32_t items) {
      progress.Resolving(item, items, chain.ImportFailures().size());
    };
    progress.Listen(events);
    chain.SetEvents(std::move(events));
    int problems = 0;
    int32_t citingAsked = 0;
    if (promote && PromoteIncluded(chain, *session) == 0 && session->Queue().empty()) {
      err << "wendrel grow: no included article is waiting to be grown\n";
      return 0;
    }
    if (refresh) {
      if (ResolvedPearls(chain) == 0) {
        err << "wendrel grow: " << *sessionPath << " holds no pearl to grow again\n";
        return 1;
      }
      progress.Expect(ResolvedPearls(chain));
      const SessionRefresh found = RefreshSession(chain, *session, progress);
      progress.Finish();
      out << RefreshSummary(chain, found);
      if (!session->WriteError().empty()) {
        err << "wendrel grow: " << session->WriteError() << "\n";
        return 1;
      }
      if (!found.complete) {
        err << "wendrel grow: the refresh (run " << found.run << ") did not grow every pearl again"
            << (chain.FailedRequests() > 0 ? " (a request to the service at " + service + " failed: " +
                                                 chain.LastRequestError() + ")"
                                           : std::string())
            << "; what it merged is kept: refresh again for a whole run\n";
        return 1;
      }
      return 0;
    }
    if (resume) {
      progress.Expect(OwedPearls(chain, *session));
      GrowOwed(chain, *session, progress);
    } else if (ris) {
      progress.Expect(static_cast<int>(ReadPearlListReferences(*ris, ReadWholeFile(*ris)).size()));
      chain.ImportRIS(*ris, citingAsked, progress);
    } else {
      // Asked for before any is grown: a run cut short leaves the rest owed to --resume.
      if (session) session->Enqueue(pearls);
      progress.Expect(static_cast<int>(pearls.size()));
      for (const std::string& pk : pearls) {
        const int32_t known = chain.FindIndex(pk, "", "");
        if (known != 0 && chain.GetRecord(known).IsPearl) {
          progress.SkipPearl();
          progress.BreakLine();
          err << "wendrel grow: pearl " << pk << " was given " << (session ? "before" : "twice") << "\n";
          if (session) session->Dequeue(pk);
          continue;
        }
        int32_t index = 0;
        chain.AddPearl(index, pk, "", citingAsked, progress);
        if (chain.FailedRequests() > 0) break;
        if (session && chain.LastRefusal() != PearlRefusal::None && chain.LastRefusal() != PearlRefusal::NoResponse)
          session->Dequeue(pk);
        if (chain.LastRefusal() == PearlRefusal::UnusableID) {
          progress.BreakLine();
          err << "wendrel grow: '" << pk << "' is not a publication ID\n";
          ++problems;
        } else if (chain.LastRefusal() == PearlRefusal::NotFound) {
          progress.BreakLine();
          err << "wendrel grow: the service gave no publication for pearl " << pk << "\n";
          ++problems;
        }
      }
    }
    progress.Finish();
    MatchKnownPapers(chain);
    if (session && !session->WriteError().empty()) {
      err << "wendrel grow: " << session->WriteError() << "\n";
      return 1;
    }
    if (chain.FailedRequests() > 0) {
      err << "wendrel grow: a request to the service at " << service << " failed (" << chain.LastRequestError()
          << (session ? "); the session keeps every page merged before it: grow on with --resume\n"
                      : "); nothing was written\n");
      return 1;
    }
    // Lists without a pearl would empty the files of an earlier run in the folder.
    if (ResolvedPearls(chain) == 0 && folder) {
      err << "wendrel grow: no pearl " << (ris ? "of " + *ris + " " : "") << "could be resolved; nothing was written\n";
      return 1;
    }
    if (folder) WriteLists(chain, *folder, exchange);
    PrintCandidates(chain, out);
    if (problems > 0 || !chain.ImportFailures().empty()) {
      err << "wendrel grow: written, but " << problems + static_cast<int>(chain.ImportFailures().size())
          << " of the pearls or references given were not resolved (exit status 3)\n";
      return kPartlyResolved;
    }
    return 0;
  } catch (const UsageError& e) {
    err << "wendrel grow: " << e.what() << " (see --help)\n";
    return 2;
  } catch (const ChainError& e) {
    err << "wendrel grow: " << e.what() << "\n";
    return 1;
  } catch (const SessionError& e) {
    err << "wendrel grow: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace wendrel
