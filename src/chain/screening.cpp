#include "chain/screening.h"

#include <algorithm>

#include "platform/text_encoding.h"
#include "platform/utc_time.h"

namespace wendrel {

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::Included:
      return "included";
    case Verdict::Excluded:
      return "excluded";
    case Verdict::Maybe:
      return "maybe";
    case Verdict::Undecided:
      break;
  }
  return "undecided";
}

std::optional<Verdict> ParseVerdict(std::string_view name) {
  const std::string word = LowerCaseText(Trimmed(name));
  for (Verdict v : {Verdict::Undecided, Verdict::Included, Verdict::Excluded, Verdict::Maybe}) {
    if (word == VerdictName(v)) return v;
  }
  return std::nullopt;
}

const std::vector<std::string>& DefaultExclusionReasons() {
  static const std::vector<std::string> reasons = {
      "wrong population",       "wrong intervention or exposure", "wrong outcome",
      "wrong study design",     "wrong publication type",         "wrong language",
      "duplicate",              "not retrievable",                "other"};
  return reasons;
}

namespace {

// The texts trimmed, the empty ones and repeats left out, in their order.
std::vector<std::string> TrimmedOnce(const std::vector<std::string>& texts) {
  std::vector<std::string> kept;
  for (const std::string& text : texts) {
    std::string trimmed = Trimmed(text);
    if (!trimmed.empty() && std::find(kept.begin(), kept.end(), trimmed) == kept.end()) kept.push_back(trimmed);
  }
  return kept;
}

}  // namespace

ScreeningBook::ScreeningBook() : m_articles(1), m_reasons(DefaultExclusionReasons()) {}

const Screening& ScreeningBook::Of(int32_t article) const {
  static const Screening none;
  if (article <= 0 || static_cast<size_t>(article) >= m_articles.size()) return none;
  return m_articles[static_cast<size_t>(article)];
}

Screening& ScreeningBook::At(int32_t article) {
  if (static_cast<size_t>(article) >= m_articles.size()) m_articles.resize(static_cast<size_t>(article) + 1);
  return m_articles[static_cast<size_t>(article)];
}

void ScreeningBook::Tell(Change change, int32_t article) const {
  if (m_listener) m_listener(change, article);
}

void ScreeningBook::Decide(int32_t article, Verdict verdict, std::string reason, std::string utc) {
  if (article <= 0) return;
  if (verdict != Verdict::Excluded) reason.clear();
  else if (Trimmed(reason).empty()) reason = "other";
  else reason = Trimmed(reason);
  Screening& s = At(article);
  if (s.verdict == verdict && s.reason == reason) return;
  s.verdict = verdict;
  s.reason = reason;
  if (verdict == Verdict::Excluded) m_lastReason = reason;
  m_history.push_back({article, utc.empty() ? UtcNow() : std::move(utc), verdict, std::move(reason)});
  Tell(Change::Decision, article);
}

void ScreeningBook::SetLabels(int32_t article, std::vector<std::string> labels) {
  if (article <= 0) return;
  std::vector<std::string> kept = TrimmedOnce(labels);
  Screening& s = At(article);
  if (s.labels == kept) return;
  s.labels = std::move(kept);
  Tell(Change::Labels, article);
}

void ScreeningBook::SetNote(int32_t article, std::string note) {
  if (article <= 0) return;
  Screening& s = At(article);
  if (s.note == note) return;
  s.note = std::move(note);
  Tell(Change::Note, article);
}

void ScreeningBook::SetKnown(int32_t article, bool known) {
  if (article <= 0) return;
  Screening& s = At(article);
  if (s.known == known) return;
  s.known = known;
  Tell(Change::Known, article);
}

void ScreeningBook::SetGeneration(int32_t article, int32_t generation) {
  if (article <= 0 || generation < 0) return;
  Screening& s = At(article);
  if (s.generation >= 0) return;
  s.generation = generation;
  Tell(Change::Generation, article);
}

void ScreeningBook::SetFirstRun(int32_t article, int32_t run) {
  if (article <= 0 || run <= 0) return;
  Screening& s = At(article);
  if (s.firstRun <= 0) s.firstRun = run;
}

int32_t ScreeningBook::PearlGeneration(int32_t pearl) const {
  auto found = m_pearlGenerations.find(pearl);
  return found == m_pearlGenerations.end() ? -1 : found->second;
}

void ScreeningBook::SetPearlGeneration(int32_t pearl, int32_t generation) {
  if (pearl > 0 && generation >= 0) m_pearlGenerations[pearl] = generation;
}

std::vector<GenerationYield> ScreeningBook::Yields() const {
  std::vector<GenerationYield> yields;
  for (const Screening& s : m_articles) {
    if (s.generation < 0) continue;
    while (static_cast<int32_t>(yields.size()) <= s.generation)
      yields.push_back({static_cast<int32_t>(yields.size()), 0, 0});
    GenerationYield& y = yields[static_cast<size_t>(s.generation)];
    ++y.articles;
    if (s.verdict == Verdict::Included) ++y.included;
  }
  return yields;
}

void ScreeningBook::SetReasons(std::vector<std::string> reasons) {
  std::vector<std::string> kept = TrimmedOnce(reasons);
  if (kept == m_reasons) return;
  m_reasons = std::move(kept);
  Tell(Change::Reasons, 0);
}

void ScreeningBook::SetKnownPapers(std::vector<KnownPaper> papers) {
  if (papers == m_knownPapers) return;
  m_knownPapers = std::move(papers);
  Tell(Change::KnownPapers, 0);
}

void ScreeningBook::Clear() {
  m_articles.assign(1, Screening{});
  m_knownPapers.clear();
  m_history.clear();
  m_reasons = DefaultExclusionReasons();
  m_lastReason.clear();
  m_pearlGenerations.clear();
  m_run = 1;
}

void ScreeningBook::Restore(std::vector<Screening> byArticle, std::vector<DecisionChange> history,
                            std::vector<std::string> reasons, std::map<int32_t, int32_t> pearlGenerations) {
  m_pearlGenerations = std::move(pearlGenerations);
  m_articles = std::move(byArticle);
  if (m_articles.empty()) m_articles.resize(1);
  m_history = std::move(history);
  m_reasons = reasons.empty() ? DefaultExclusionReasons() : std::move(reasons);
  m_lastReason.clear();
  for (auto change = m_history.rbegin(); change != m_history.rend(); ++change) {
    if (change->verdict == Verdict::Excluded) {
      m_lastReason = change->reason;
      break;
    }
  }
}

}  // namespace wendrel
