// Keeping and matching the user's library.
#include "review/known_papers.h"

#include "chain/duplicate_rule.h"
#include "platform/web_text.h"
#include "review/article_matcher.h"

namespace wendrel {

namespace {

RisReference ReferenceOf(const KnownPaper& paper) {
  RisReference r;
  r.doi = paper.doi;
  r.title = paper.title;
  r.year = paper.year;
  if (!paper.authors.empty()) {
    r.firstAuthor = paper.authors.front();
    r.coAuthors.assign(paper.authors.begin() + 1, paper.authors.end());
  }
  return r;
}

bool SameEntry(const KnownPaper& a, const KnownPaper& b) {
  const std::string doiA = DoiKey(a.doi), doiB = DoiKey(b.doi);
  if (!doiA.empty() || !doiB.empty()) return doiA == doiB;
  return TitleKey(a.title) == TitleKey(b.title) && a.year == b.year && a.authors == b.authors;
}

}  // namespace

KnownPaper KnownPaperOf(const RisReference& reference) {
  KnownPaper paper;
  paper.doi = reference.doi;
  paper.title = reference.title;
  paper.year = reference.year;
  if (!reference.firstAuthor.empty()) paper.authors.push_back(reference.firstAuthor);
  for (const std::string& name : reference.coAuthors) paper.authors.push_back(name);
  return paper;
}

std::vector<size_t> ImportKnownPapers(MASCitationChain& chain, const std::vector<RisReference>& entries) {
  std::vector<KnownPaper> library = chain.Screenings().KnownPapers();
  std::vector<size_t> positions;
  for (const RisReference& entry : entries) {
    KnownPaper paper = KnownPaperOf(entry);
    size_t at = 0;
    while (at < library.size() && !SameEntry(library[at], paper)) ++at;
    if (at == library.size()) library.push_back(std::move(paper));
    positions.push_back(at);
  }
  chain.Screenings().SetKnownPapers(std::move(library));
  MatchKnownPapers(chain);
  return positions;
}

int32_t MatchKnownPapers(MASCitationChain& chain) {
  ScreeningBook& book = chain.Screenings();
  if (book.KnownPapers().empty()) return 0;
  const ArticleMatcher matcher(chain);
  std::vector<KnownPaper> library = book.KnownPapers();
  int32_t marked = 0;
  for (KnownPaper& paper : library) {
    ArticleMatch match = matcher.MatchKnown(ReferenceOf(paper));
    paper.match = !match.matched.empty()    ? KnownMatch::Matched
                  : !match.possible.empty() ? KnownMatch::Possible
                                            : KnownMatch::Unmatched;
    paper.articles = match.matched.empty() ? std::move(match.possible) : std::move(match.matched);
    if (paper.match != KnownMatch::Matched) continue;
    for (int32_t article : paper.articles) {
      if (book.Of(article).known) continue;
      book.SetKnown(article, true);
      ++marked;
    }
  }
  book.SetKnownPapers(std::move(library));
  return marked;
}

KnownImportCounts CountKnownImport(const ScreeningBook& book, const std::vector<size_t>& positions) {
  KnownImportCounts counts;
  for (const size_t position : positions) {
    switch (book.KnownPapers()[position].match) {
      case KnownMatch::Matched: ++counts.matched; break;
      case KnownMatch::Possible: ++counts.possible; break;
      case KnownMatch::Unmatched: ++counts.unmatched; break;
    }
  }
  return counts;
}

}  // namespace wendrel
