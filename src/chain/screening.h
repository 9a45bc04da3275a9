// Screening of a chain's articles: each article's decision (included, excluded with a reason,
// maybe, or none), its labels and note, whether it is a paper the user already knows, and the
// generation in which it first appeared; with the history of every decision and the session's
// list of exclusion reasons.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wendrel {

enum class Verdict { Undecided, Included, Excluded, Maybe };

// "undecided", "included", "excluded", "maybe".
const char* VerdictName(Verdict verdict);
// The names above in any case; none for any other word.
std::optional<Verdict> ParseVerdict(std::string_view name);

// One article's screening as it stands.
struct Screening {
  Verdict verdict = Verdict::Undecided;
  std::string reason;               // with Excluded only
  std::vector<std::string> labels;  // free labels, in the order given, each once
  std::string note;
  bool known = false;               // matched to a paper of the user's library
  int32_t generation = -1;          // the generation in which it first appeared; -1 unknown
  int32_t firstRun = 0;             // the run (of a session's run log) in which it first appeared; 0 unknown
};

// One change of a decision, kept for the history ("when was it excluded").
struct DecisionChange {
  int32_t article = 0;  // record number, from 1
  std::string utc;      // ISO 8601, "2026-12-07T14:02:11Z"
  Verdict verdict = Verdict::Undecided;
  std::string reason;
};

// What one generation brought: the articles that first appeared in it and how many of them were
// included (its yield). A generation that brought nothing new ends the growing.
struct GenerationYield {
  int32_t generation = 0;
  int32_t articles = 0;
  int32_t included = 0;
};

// How an entry of the user's library stands against the session's articles: matched (its articles
// are known papers), possibly matched (a title alike whose year or authors differ, for the user to
// confirm; never marked known), or not matched.
enum class KnownMatch { Unmatched, Possible, Matched };

// One entry of the user's library, kept with the session so that articles arriving later are
// matched against it too.
struct KnownPaper {
  std::string doi;
  std::string title;
  std::string year;
  std::vector<std::string> authors;  // "Last, First", the first author first
  KnownMatch match = KnownMatch::Unmatched;
  std::vector<int32_t> articles;  // the record numbers matched, or possibly matched, ascending

  bool operator==(const KnownPaper&) const = default;
};

// The reasons a reviewer recognises, offered until the session's own list is edited.
const std::vector<std::string>& DefaultExclusionReasons();

// The screening of every article of a chain, by record number (from 1). Changes are told to a
// listener (the session file writes them at once).
class ScreeningBook {
 public:
  enum class Change { Decision, Labels, Note, Known, Generation, Reasons, KnownPapers };
  using Listener = std::function<void(Change change, int32_t article)>;  // article 0 for Reasons, KnownPapers

  ScreeningBook();

  // The article's screening; an article never screened is undecided with no labels.
  const Screening& Of(int32_t article) const;

  // Sets the decision and adds it to the history with the current time (or `utc` when given, for a
  // decision read back from a file). The reason is kept with Excluded only; an exclusion without
  // a reason takes "other". Deciding the same as before (verdict and reason) changes nothing.
  void Decide(int32_t article, Verdict verdict, std::string reason = {}, std::string utc = {});
  void SetLabels(int32_t article, std::vector<std::string> labels);
  void SetNote(int32_t article, std::string note);
  void SetKnown(int32_t article, bool known);
  // Keeps the first generation given: an article appears once.
  void SetGeneration(int32_t article, int32_t generation);
  // The generation a pearl was grown in (its new articles are of it); -1 for an article never
  // grown as a pearl. Kept by the chain as it grows (the session writes it with the pearl's row),
  // so the listener is not told.
  int32_t PearlGeneration(int32_t pearl) const;
  void SetPearlGeneration(int32_t pearl, int32_t generation);

  // The run the chain grows in now: 1 (the first growth) until a session opens a later one
  // (a refresh). Articles take it as their first run when they first appear; the listener is not
  // told, as the session writes it with the article's row.
  int32_t Run() const { return m_run; }
  void SetRun(int32_t run) { m_run = run > 0 ? run : 1; }
  // Keeps the first run given, like SetGeneration.
  void SetFirstRun(int32_t article, int32_t run);
  // True for an article that first appeared in the latest run, when that run is a later one: new
  // since the run before it.
  bool IsNew(int32_t article) const { return m_run > 1 && Of(article).firstRun == m_run; }

  // Per generation, in order, what it brought (articles of unknown generation are left out).
  std::vector<GenerationYield> Yields() const;

  // The history, oldest first.
  const std::vector<DecisionChange>& History() const { return m_history; }

  // The session's exclusion reasons (the defaults until edited) and the reason last used, which
  // the reason picker offers first.
  const std::vector<std::string>& Reasons() const { return m_reasons; }
  void SetReasons(std::vector<std::string> reasons);
  const std::string& LastReason() const { return m_lastReason; }

  // The entries of the user's library with their match state, in the order imported.
  const std::vector<KnownPaper>& KnownPapers() const { return m_knownPapers; }
  void SetKnownPapers(std::vector<KnownPaper> papers);
  // Puts back the library a file held, without telling the listener.
  void RestoreKnownPapers(std::vector<KnownPaper> papers) { m_knownPapers = std::move(papers); }

  // Drops everything (a new session, back to run 1), without telling the listener.
  void Clear();
  // Puts back what a file held, without telling the listener.
  void Restore(std::vector<Screening> byArticle, std::vector<DecisionChange> history,
               std::vector<std::string> reasons, std::map<int32_t, int32_t> pearlGenerations = {});
  // Record numbers 1 to n with their screening (index 0 unused), for saving.
  const std::vector<Screening>& All() const { return m_articles; }

  void SetListener(Listener listener) { m_listener = std::move(listener); }

 private:
  Screening& At(int32_t article);
  void Tell(Change change, int32_t article) const;

  std::vector<Screening> m_articles;  // by record number; index 0 unused
  std::vector<DecisionChange> m_history;
  std::vector<std::string> m_reasons;
  std::string m_lastReason;
  std::vector<KnownPaper> m_knownPapers;
  std::map<int32_t, int32_t> m_pearlGenerations;  // by pearl
  int32_t m_run = 1;
  Listener m_listener;
};

}  // namespace wendrel
