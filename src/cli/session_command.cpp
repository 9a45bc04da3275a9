// wendrel session info: a session file's pearls with their generation and completeness, its
// sources and dates, its counts, its decisions and what each generation brought.
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
    "from with the times of the first and last fetch, the pearls still queued, how many articles\n"
    "and relations it holds, the decisions (included, excluded by reason, maybe, undecided, known),\n"
    "and per generation how many new articles it brought and how many of them were included, saying\n"
    "so when the last generation brought nothing new. Needs no service; a session open in another\n"
    "process is read as it is.\n"
    "Exit status 1 when FILE is not a session file this program reads (the message says what it\n"
    "is), 2 on a usage error.\n";

// The decisions over every article, the exclusions by reason (the session's reasons in their
// order, then any other), and what each generation grown brought.
void PrintScreening(const MASCitationChain& chain, std::ostream& out) {
  const ScreeningBook& book = chain.Screenings();
  std::map<Verdict, int32_t> verdicts;
  std::map<std::string, int32_t> reasons;
  int32_t known = 0;
  for (int32_t i = 1; i <= chain.Count(); ++i) {
    const Screening& s = book.Of(i);
    ++verdicts[s.verdict];
    if (s.verdict == Verdict::Excluded) ++reasons[s.reason];
    known += s.known;
  }
  out << "Decisions: " << verdicts[Verdict::Included] << " included, " << verdicts[Verdict::Excluded] << " excluded, "
      << verdicts[Verdict::Maybe] << " maybe, " << verdicts[Verdict::Undecided] << " undecided; " << known
      << " known\n";
  for (const std::string& reason : book.Reasons()) {
    auto found = reasons.find(reason);
    if (found == reasons.end()) continue;
    out << "  excluded, " << reason << ": " << found->second << "\n";
    reasons.erase(found);
  }
  for (const auto& [reason, count] : reasons) out << "  excluded, " << reason << ": " << count << "\n";

  // Every generation up to the highest grown, those that brought nothing too.
  std::vector<GenerationYield> yields = book.Yields();
  int32_t last = static_cast<int32_t>(yields.size()) - 1;
  for (int32_t pearl : chain.PearlOrder()) last = std::max(last, book.PearlGeneration(pearl));
  if (last < 0) return;
  out << "Generations:\n";
  for (int32_t g = 0; g <= last; ++g) {
    const GenerationYield y = g < static_cast<int32_t>(yields.size()) ? yields[static_cast<size_t>(g)] : GenerationYield{g};
    out << "  generation " << g << ": " << y.articles << " new article" << (y.articles == 1 ? "" : "s") << ", "
        << y.included << " included\n";
    if (g == last && g > 0 && y.articles == 0) out << "  generation " << g << " brought nothing new: the chain has stopped growing\n";
  }
}

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
  PrintScreening(chain, out);
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
