// The look-ups of library entries and screened references among a chain's articles.
#include "review/article_matcher.h"

#include <algorithm>
#include <cstdlib>

#include "chain/duplicate_rule.h"
#include "platform/text_encoding.h"
#include "platform/web_text.h"

namespace wendrel {

namespace {

void AddSurname(std::vector<std::string>& surnames, const std::string& author) {
  std::string key = LastNameKey(author);
  if (!key.empty() && std::find(surnames.begin(), surnames.end(), key) == surnames.end())
    surnames.push_back(std::move(key));
}

bool ShareSurname(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  return std::any_of(a.begin(), a.end(), [&](const std::string& s) { return std::find(b.begin(), b.end(), s) != b.end(); });
}

void Insert(std::vector<int32_t>& into, int32_t article) {
  auto at = std::lower_bound(into.begin(), into.end(), article);
  if (at == into.end() || *at != article) into.insert(at, article);
}

}  // namespace

ArticleMatcher::ArticleMatcher(const MASCitationChain& chain) : m_articles(static_cast<size_t>(chain.Count()) + 1) {
  for (int32_t i = 1; i <= chain.Count(); ++i) {
    const CCRecord r = chain.GetRecord(i);
    if (NamesNoArticle(r)) continue;
    Article& a = m_articles[static_cast<size_t>(i)];
    a.doi = DoiKey(r.DOI);
    a.year = YearNumber(r.Year);
    a.firstAuthor = LastNameKey(r.FirstAuthor);
    AddSurname(a.surnames, r.FirstAuthor);
    for (const std::string& name : CoAuthorNames(r.CoAuthors)) AddSurname(a.surnames, name);
    if (IsUsableID(r.PK)) m_byId[LowerCaseText(r.PK)].push_back(i);
    if (!a.doi.empty()) m_byDoi[a.doi].push_back(i);
    if (std::string key = TitleKey(r.Title); !key.empty()) m_byTitle[key].push_back(i);
    if (std::string key = MainTitleKey(r.Title); !key.empty()) m_byMainTitle[key].push_back(i);
  }
}

ArticleMatcher::Entry ArticleMatcher::EntryOf(const RisReference& reference) {
  Entry e;
  const std::string id = AccessionPublicationID(reference.accession);
  e.id = LowerCaseText(id.empty() ? Trimmed(reference.listedId) : id);
  e.doi = DoiKey(reference.doi);
  e.title = TitleKey(reference.title);
  e.mainTitle = MainTitleKey(reference.title);
  e.year = YearNumber(Trimmed(reference.year));
  e.firstAuthor = LastNameKey(reference.firstAuthor);
  AddSurname(e.surnames, reference.firstAuthor);
  for (const std::string& name : reference.coAuthors) AddSurname(e.surnames, name);
  return e;
}

std::vector<int32_t> ArticleMatcher::ByIdOrDoi(const Entry& entry) const {
  if (!entry.id.empty()) {
    if (auto it = m_byId.find(entry.id); it != m_byId.end()) return it->second;
  }
  if (!entry.doi.empty()) {
    if (auto it = m_byDoi.find(entry.doi); it != m_byDoi.end()) return it->second;
  }
  return {};
}

bool ArticleMatcher::YearsAgree(const Entry& entry, const Article& article) const {
  return !entry.year || !article.year || std::abs(static_cast<int64_t>(*entry.year) - *article.year) <= 1;
}

bool ArticleMatcher::DoisConflict(const Entry& entry, const Article& article) const {
  return !entry.doi.empty() && !article.doi.empty() && entry.doi != article.doi;
}

ArticleMatch ArticleMatcher::MatchKnown(const RisReference& reference) const {
  const Entry entry = EntryOf(reference);
  ArticleMatch match;
  match.matched = ByIdOrDoi(entry);
  if (!match.matched.empty()) return match;
  auto consider = [&](const std::string& key, const std::unordered_map<std::string, std::vector<int32_t>>& index,
                      bool whole) {
    if (key.empty()) return;
    auto it = index.find(key);
    if (it == index.end()) return;
    for (int32_t i : it->second) {
      const Article& a = m_articles[static_cast<size_t>(i)];
      if (DoisConflict(entry, a)) continue;
      const bool agrees = whole && YearsAgree(entry, a) && ShareSurname(entry.surnames, a.surnames);
      Insert(agrees ? match.matched : match.possible, i);
    }
  };
  consider(entry.title, m_byTitle, true);
  // One side with a subtitle the other lacks: the same main title on both, or one's whole title
  // being the other's main title.
  consider(entry.mainTitle, m_byMainTitle, false);
  consider(entry.mainTitle, m_byTitle, false);
  consider(entry.title, m_byMainTitle, false);
  if (!match.matched.empty()) {
    match.possible.clear();
  }
  return match;
}

std::vector<int32_t> ArticleMatcher::MatchScreened(const RisReference& reference) const {
  const Entry entry = EntryOf(reference);
  std::vector<int32_t> matched = ByIdOrDoi(entry);
  if (!matched.empty() || entry.title.empty()) return matched;
  auto it = m_byTitle.find(entry.title);
  if (it == m_byTitle.end()) return matched;
  for (int32_t i : it->second) {
    const Article& a = m_articles[static_cast<size_t>(i)];
    if (DoisConflict(entry, a) || !YearsAgree(entry, a)) continue;
    if (!entry.firstAuthor.empty() && !a.firstAuthor.empty() && entry.firstAuthor != a.firstAuthor) continue;
    matched.push_back(i);
  }
  return matched;
}

}  // namespace wendrel
