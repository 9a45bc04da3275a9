// The papers of the user's library among the session's articles: the library kept in the chain's
// screening book, each entry matched against the articles now and whenever more arrive.
#pragma once

#include <cstdint>
#include <vector>

#include "chain/citation_chain.h"
#include "chain/ris_reader.h"

namespace wendrel {

// The library entry a reference stands for, not yet matched.
KnownPaper KnownPaperOf(const RisReference& reference);

// Adds the entries to the book's library (an entry the library holds already, by DOI or else by
// title, year and authors, is not added again), matches the whole library against the chain and
// marks the matched articles known. Gives the positions in KnownPapers() of the entries given, in
// their order (an entry held already gives the position of the one held).
std::vector<size_t> ImportKnownPapers(MASCitationChain& chain, const std::vector<RisReference>& entries);

// Matches every entry of the book's library against the chain's articles (ArticleMatcher's rule
// for library entries), stores each entry's match state and marks every matched article known;
// possible matches are only stored. A known mark is never taken away. Gives the number of articles
// newly marked known. Call it after growing: articles that arrived may be papers of the library.
int32_t MatchKnownPapers(MASCitationChain& chain);

// How the entries of one import matched, by the positions ImportKnownPapers gave for them.
struct KnownImportCounts {
  int32_t matched = 0;
  int32_t possible = 0;
  int32_t unmatched = 0;
};
KnownImportCounts CountKnownImport(const ScreeningBook& book, const std::vector<size_t>& positions);

}  // namespace wendrel
