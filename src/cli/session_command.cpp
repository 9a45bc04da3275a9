// wendrel session info: a session file's pearls with their generation and completeness, its
// sources and dates, and its counts.
#include "cli/session_command.h"

#include <algorithm>
#include <map>
#include <ostream>

#include "cli/arguments.h"
#include "cli/session_chain.h"

namespace wendrel {

namespace {

constexpr const char* kUsage =
    "usage: wendrel session info FILE\n"
    "Tells what a session file (written by `wendrel grow --session` or the window) holds: its pearls\n"
    "in the order added, each with its generation and what it has of its references and citing\n"
    "articles (\"references 48 of 50, citing 500 of 1,287 (capped)\"), the sources its pages came\n"
    "from with the times of the first and last fetch, the pearls still queued, and how many articles\n"
    "and relations it holds. Needs no service; a session open in another process is read as it is.\n"
    "Exit status 1 when FILE is not a session file this program reads (the message says what it\n"
    "is), 2 on a usage error.\n";

void PrintInfo(const std::string& path, std::ostream& out) {
  SessionChain held(path);
  const SessionFile& session = held.Session();
  const MASCitationChain& chain = held.Chain();
  out << "Session " << path << "\n";
  out << "Created " << session.Info("created_utc") << " by wendrel " << session.Info("created_by")
      << ", last changed " << session.Info("changed_utc") << " by wendrel " << session.Info("written_by") << "\n";
  out << "Citing limit: " << chain.LargeCitationLimit() << "\n";
  out << "Pearls:\n";
  int position = 0;
  for (int32_t pearl : chain.PearlOrder()) {
    const CCRecord r = chain.GetRecord(pearl);
    out << "  " << ++position << ". " << r.PK << "  " << r.FirstAuthor << " (" << r.Year << ") " << r.Title << "\n"
        << "     generation " << session.Generation(pearl) << ", ";
    if (chain.Unresolved(pearl)) {
      out << "unresolved: kept as a file held it\n";
      continue;
    }
    out << CompletenessText(session.Direction(pearl, PearlRelation::Cited),
                            session.Direction(pearl, PearlRelation::Citing))
        << "\n";
  }
  if (position == 0) out << "  (none)\n";
  const std::vector<QueuedPearl> queue = session.Queue();
  if (!queue.empty()) {
    out << "Queued:";
    for (const QueuedPearl& queued : queue) out << " " << queued.pk;
    out << "\n";
  }
  // Each source with the span of its fetches, in the order first used.
  std::vector<std::string> sources;
  std::map<std::string, std::pair<std::string, std::string>> spans;
  for (const FetchEntry& e : session.FetchLog()) {
    auto [at, added] = spans.try_emplace(e.source, e.startedUtc, e.endedUtc);
    if (added) sources.push_back(e.source);
    at->second.first = std::min(at->second.first, e.startedUtc);
    at->second.second = std::max({at->second.second, e.endedUtc, e.startedUtc});
  }
  out << "Sources:\n";
  for (const std::string& source : sources)
    out << "  " << (source.empty() ? "(not recorded)" : source) << ": " << spans[source].first << " to "
        << spans[source].second << "\n";
  if (sources.empty()) out << "  (no fetch yet)\n";
  out << "Articles: " << session.ArticleCount() << ", relations: " << session.RelationCount() << "\n";
}

}  // namespace

int RunSession(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (WantsHelp(args)) {
    out << kUsage;
    return 0;
  }
  try {
    Arguments a(args, {}, {}, 2);
    if (a.Plain().size() != 2 || a.Plain()[0] != "info") throw UsageError("give info and a session file");
    PrintInfo(a.Plain()[1], out);
    return 0;
  } catch (const UsageError& e) {
    err << "wendrel session: " << e.what() << " (see --help)\n";
    return 2;
  } catch (const SessionError& e) {
    err << "wendrel session: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace wendrel
