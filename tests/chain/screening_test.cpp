#include "chain/screening.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace wendrel {
namespace {

TEST(ScreeningBook, DecisionsKeepTheirHistoryAndTellTheListenerOfRealChangesOnly) {
  ScreeningBook book;
  std::vector<std::pair<ScreeningBook::Change, int32_t>> told;
  book.SetListener([&](ScreeningBook::Change change, int32_t article) { told.emplace_back(change, article); });

  book.Decide(3, Verdict::Excluded, "  wrong outcome ");
  book.Decide(3, Verdict::Excluded, "wrong outcome");  // the same again: nothing
  book.Decide(3, Verdict::Excluded);                   // no reason: "other"
  book.Decide(3, Verdict::Included, "ignored");
  book.Decide(0, Verdict::Included);  // no article

  EXPECT_EQ(book.Of(3).verdict, Verdict::Included);
  EXPECT_EQ(book.Of(3).reason, "");
  ASSERT_EQ(book.History().size(), 3u);
  EXPECT_EQ(book.History()[0].reason, "wrong outcome");
  EXPECT_EQ(book.History()[1].reason, "other");
  EXPECT_EQ(book.LastReason(), "other");
  EXPECT_EQ(told.size(), 3u);
  EXPECT_EQ(book.Of(99).verdict, Verdict::Undecided);  // never screened, never grown

  book.SetLabels(3, {"rct", " rct", "", "adults"});
  EXPECT_EQ(book.Of(3).labels, (std::vector<std::string>{"rct", "adults"}));
  book.SetGeneration(3, 2);
  book.SetGeneration(3, 1);  // it appeared in generation 2 first
  EXPECT_EQ(book.Of(3).generation, 2);

  // Generation 1 brought nothing: it is listed with nothing, not left out.
  book.SetGeneration(1, 0);
  book.SetGeneration(2, 0);
  book.Decide(2, Verdict::Included);
  const std::vector<GenerationYield> yields = book.Yields();
  ASSERT_EQ(yields.size(), 3u);
  EXPECT_EQ(yields[0].articles, 2);
  EXPECT_EQ(yields[0].included, 1);
  EXPECT_EQ(yields[1].articles, 0);
  EXPECT_EQ(yields[2].articles, 1);
  EXPECT_EQ(yields[2].included, 1);
}

TEST(ScreeningBook, RestoreTakesTheLastExclusionReasonAndClearGivesTheDefaultsBack) {
  ScreeningBook book;
  book.SetReasons({"off topic", "off topic", " "});
  EXPECT_EQ(book.Reasons(), (std::vector<std::string>{"off topic"}));
  std::vector<Screening> articles(3);
  articles[2].verdict = Verdict::Maybe;
  book.Restore(articles,
               {{1, "2026-01-01T00:00:00Z", Verdict::Excluded, "duplicate"},
                {2, "2026-01-02T00:00:00Z", Verdict::Maybe, ""}},
               {});
  EXPECT_EQ(book.LastReason(), "duplicate");
  EXPECT_EQ(book.Reasons(), DefaultExclusionReasons());
  EXPECT_EQ(book.Of(2).verdict, Verdict::Maybe);
  book.Clear();
  EXPECT_EQ(book.Of(2).verdict, Verdict::Undecided);
  EXPECT_TRUE(book.History().empty());
}

TEST(Verdict, NamesReadBackInAnyCase) {
  for (Verdict v : {Verdict::Undecided, Verdict::Included, Verdict::Excluded, Verdict::Maybe})
    EXPECT_EQ(ParseVerdict(VerdictName(v)), v);
  EXPECT_EQ(ParseVerdict(" Excluded "), Verdict::Excluded);
  EXPECT_FALSE(ParseVerdict("exclude").has_value());
}

}  // namespace
}  // namespace wendrel
