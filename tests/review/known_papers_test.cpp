// Matching a library to the session's articles: DOI variants, folded titles, namesakes, conflicting
// DOIs, an entry standing for two articles, and articles that arrive after the library.
#include "review/known_papers.h"

#include <gtest/gtest.h>

#include "review/article_matcher.h"
#include "review_fixture.h"

namespace wendrel {
namespace {

using Numbers = std::vector<int32_t>;

RisReference Entry(const std::string& title, const std::string& year, const std::string& firstAuthor,
                   const std::string& doi = "") {
  RisReference r;
  r.title = title;
  r.year = year;
  r.firstAuthor = firstAuthor;
  r.doi = doi;
  return r;
}

class KnownPapers : public ::testing::Test {
 protected:
  test::ReviewChain held;
  MASCitationChain& chain = held.chain;
};

TEST_F(KnownPapers, DoiInAnyCaseAndWithAnyResolverMatchesWhateverTheTitleSays) {
  ASSERT_EQ(chain.Count(), 6);
  const ArticleMatcher matcher(chain);
  for (const char* doi : {"10.1000/growth", "https://doi.org/10.1000/GROWTH", "http://dx.doi.org/10.1000/Growth",
                          "doi:10.1000/growth", " DOI:10.1000/growth "}) {
    const ArticleMatch m = matcher.MatchKnown(Entry("A title nobody else uses", "1970", "Nobody", doi));
    EXPECT_EQ(m.matched, Numbers{1}) << doi;
    EXPECT_TRUE(m.possible.empty()) << doi;
  }
  // Two different DOIs never match, however alike the rest: no match, not even a possible one.
  const ArticleMatch conflict = matcher.MatchKnown(Entry("Screening tools compared", "2018", "Diaz, E.", "10.1000/tools.c"));
  EXPECT_TRUE(conflict.matched.empty());
  EXPECT_TRUE(conflict.possible.empty());
  const ArticleMatch growth = matcher.MatchKnown(Entry("Growth of citation networks", "2019", "Øberg, L.", "10.1000/other"));
  EXPECT_TRUE(growth.matched.empty());
  EXPECT_TRUE(growth.possible.empty());
}

TEST_F(KnownPapers, TitlesMatchFoldedForCaseAccentsPunctuationAndMarkup) {
  const ArticleMatcher matcher(chain);
  // Without a DOI on the entry; years within one, a surname shared (a co-author's does too).
  for (const RisReference& e : {Entry("GROWTH OF CITATION NETWORKS.", "2020", "Oberg, Lena"),
                                Entry("Growth of <i>citation</i> net-works", "2018", "Berg, O."),
                                Entry("  Growth   of “citation” networks ", "2019", "ØBERG")}) {
    const ArticleMatch m = matcher.MatchKnown(e);
    EXPECT_EQ(m.matched, Numbers{1}) << e.title;
  }
  // The main title alone, or with a subtitle the article lacks: possible, never matched.
  EXPECT_EQ(matcher.MatchKnown(Entry("Pearl growing in practice", "2015", "Smith, J.")).possible, Numbers{2});
  EXPECT_EQ(matcher.MatchKnown(Entry("Pearl growing in practice - a field guide", "2015", "Smith")).matched,
            Numbers{2});
  const ArticleMatch sub = matcher.MatchKnown(Entry("Screening tools compared: a survey", "2018", "Diaz"));
  EXPECT_TRUE(sub.matched.empty());
  EXPECT_EQ(sub.possible, (Numbers{5, 6}));
}

TEST_F(KnownPapers, NamesakesAndEntriesWithoutAuthorsArePossibleMatchesOnly) {
  const ArticleMatcher matcher(chain);
  // Within a year of one editorial: that one matches, and the other is not offered besides.
  EXPECT_EQ(matcher.MatchKnown(Entry("Editorial", "2011", "Ng, Al")).matched, Numbers{4});
  const ArticleMatch decade = matcher.MatchKnown(Entry("Editorial", "2005", "Ng, Al"));
  EXPECT_TRUE(decade.matched.empty());
  EXPECT_EQ(decade.possible, (Numbers{3, 4}));
  const ArticleMatch otherAuthor = matcher.MatchKnown(Entry("Editorial", "2000", "Wong, Bo"));
  EXPECT_TRUE(otherAuthor.matched.empty());
  EXPECT_EQ(otherAuthor.possible, (Numbers{3, 4}));
  const ArticleMatch noAuthor = matcher.MatchKnown(Entry("Growth of citation networks", "2019", ""));
  EXPECT_TRUE(noAuthor.matched.empty());
  EXPECT_EQ(noAuthor.possible, Numbers{1});
}

TEST_F(KnownPapers, AnEntryMayStandForTwoArticles) {
  const ArticleMatcher matcher(chain);
  EXPECT_EQ(matcher.MatchKnown(Entry("Screening tools compared", "2019", "Diaz, Eva")).matched, (Numbers{5, 6}));
  // The duplicate rule of screened references agrees, and needs the same first author.
  EXPECT_EQ(matcher.MatchScreened(Entry("Screening tools compared", "2019", "Diaz, Eva")), (Numbers{5, 6}));
  EXPECT_TRUE(matcher.MatchScreened(Entry("Screening tools compared", "2019", "Berg, Ole")).empty());
  EXPECT_TRUE(matcher.MatchScreened(Entry("Editorial", "2005", "Ng, Al")).empty());
}

TEST_F(KnownPapers, TheLibraryIsKeptAndMatchedAgainAsArticlesArrive) {
  std::vector<ScreeningBook::Change> told;
  chain.Screenings().SetListener([&](ScreeningBook::Change change, int32_t) { told.push_back(change); });
  const std::vector<RisReference> library = {Entry("Growth of citation networks", "2019", "Oberg, L."),
                                             Entry("Editorial", "2005", "Ng, Al"),
                                             Entry("Arriving later", "2021", "Kim, Yu", "10.1000/LATER"),
                                             Entry("Growth of Citation Networks", "2019", "Oberg, L.")};
  const std::vector<size_t> at = ImportKnownPapers(chain, library);
  EXPECT_EQ(at, (std::vector<size_t>{0, 1, 2, 0}));  // the last one is held already
  const std::vector<KnownPaper>& papers = chain.Screenings().KnownPapers();
  ASSERT_EQ(papers.size(), 3u);
  EXPECT_EQ(papers[0].match, KnownMatch::Matched);
  EXPECT_EQ(papers[1].match, KnownMatch::Possible);
  EXPECT_EQ(papers[1].articles, (Numbers{3, 4}));
  EXPECT_EQ(papers[2].match, KnownMatch::Unmatched);
  EXPECT_TRUE(chain.Screenings().Of(1).known);
  EXPECT_FALSE(chain.Screenings().Of(3).known);  // possible matches are never marked
  EXPECT_NE(std::find(told.begin(), told.end(), ScreeningBook::Change::KnownPapers), told.end());

  EXPECT_EQ(MatchKnownPapers(chain), 0);  // nothing new
  held.Merge({test::ReviewArticle("107", "Arrived later", "2021", "Kim, Yu", "https://doi.org/10.1000/later")});
  EXPECT_EQ(MatchKnownPapers(chain), 1);
  EXPECT_TRUE(chain.Screenings().Of(7).known);
  EXPECT_EQ(chain.Screenings().KnownPapers()[2].match, KnownMatch::Matched);
  EXPECT_EQ(chain.Screenings().KnownPapers()[2].articles, Numbers{7});

  chain.Clear();
  EXPECT_TRUE(chain.Screenings().KnownPapers().empty());
}

}  // namespace
}  // namespace wendrel
