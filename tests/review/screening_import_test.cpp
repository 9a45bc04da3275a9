// Decisions read back from screening files: Rayyan's and ASReview's label forms, this program's
// own CSV and RIS exports, and files that hold none.
#include "review/screening_import.h"

#include <gtest/gtest.h>

#include "review/review_error.h"
#include "review_fixture.h"
#include "test_paths.h"

namespace wendrel {
namespace {

using Labels = std::vector<std::string>;

class ScreeningImportTest : public ::testing::Test {
 protected:
  ScreeningImport Import(const std::string& fixture) {
    return ApplyScreening(chain, ReadScreeningFile(test::ReadFile(test::DataPath(fixture))));
  }
  const Screening& Of(int32_t article) const { return chain.Screenings().Of(article); }

  test::ReviewChain held;
  MASCitationChain& chain = held.chain;
};

TEST_F(ScreeningImportTest, RayyanReviewersWhoAgreeDecideAndThoseWhoDisagreeLeaveAMaybe) {
  const ScreeningImport result = Import("review_rayyan.ris");
  EXPECT_EQ(result.references, 4);
  EXPECT_EQ(result.matched, 3);
  EXPECT_EQ(result.decided, 3);
  ASSERT_EQ(result.unmatched.size(), 1u);
  EXPECT_EQ(result.unmatched[0], "Nobody, Ned (1999). A paper the session lacks");

  EXPECT_EQ(Of(1).verdict, Verdict::Excluded);
  EXPECT_EQ(Of(1).reason, "wrong outcome, wrong population");
  EXPECT_EQ(Of(1).labels, (Labels{"networks", "to check"}));
  EXPECT_EQ(Of(1).note, "no outcome, only \"growth\"");
  EXPECT_EQ(Of(5).verdict, Verdict::Maybe);
  EXPECT_EQ(Of(5).note, "Reviewers disagreed: Ann included, Bob maybe");
  EXPECT_EQ(Of(6).verdict, Verdict::Undecided);  // its DOI differs from the file's
  EXPECT_EQ(Of(4).verdict, Verdict::Included);   // the editorial of 2010, not its namesake of 2000
  EXPECT_EQ(Of(3).verdict, Verdict::Undecided);
  EXPECT_EQ(Of(4).labels, Labels{"editorial"});
}

TEST_F(ScreeningImportTest, AsreviewRisNotesAndCsvColumnGiveTheSameDecisions) {
  for (const char* fixture : {"review_asreview.ris", "review_asreview.csv"}) {
    test::ReviewChain fresh;
    const ScreeningImport result =
        ApplyScreening(fresh.chain, ReadScreeningFile(test::ReadFile(test::DataPath(fixture))));
    const ScreeningBook& book = fresh.chain.Screenings();
    EXPECT_EQ(book.Of(2).verdict, Verdict::Included) << fixture;
    EXPECT_EQ(book.Of(3).verdict, Verdict::Excluded) << fixture;
    EXPECT_EQ(book.Of(3).reason, "other") << fixture;
    EXPECT_EQ(book.Of(4).verdict, Verdict::Undecided) << fixture;  // not seen
    EXPECT_EQ(result.decided, 2) << fixture;
    EXPECT_EQ(book.History().size(), 2u) << fixture;
  }
  const ScreeningImport csv = Import("review_asreview.csv");
  EXPECT_EQ(csv.unmatched, Labels{"Diaz, Eva (2018). Screening tools compared, again"});
}

TEST_F(ScreeningImportTest, OwnCsvExportComesBackByIdElseByTitleAndAddsWithoutTakingAway) {
  chain.Screenings().SetNote(6, "Mine");
  chain.Screenings().SetLabels(6, {"adults", "first look"});
  chain.Screenings().Decide(2, Verdict::Included);
  const ScreeningImport result = Import("review_own.csv");
  EXPECT_EQ(result.matched, 3);
  EXPECT_EQ(result.decided, 2);
  EXPECT_EQ(Of(6).verdict, Verdict::Excluded);
  EXPECT_EQ(Of(6).reason, "wrong study design");
  EXPECT_EQ(Of(6).labels, (Labels{"adults", "first look", "rct"}));
  EXPECT_EQ(Of(6).note, "Mine\nRead twice, \"both\" times");
  EXPECT_TRUE(Of(6).known);
  EXPECT_EQ(Of(3).verdict, Verdict::Maybe);     // ID 999 is no article here: found by its title
  EXPECT_EQ(Of(2).verdict, Verdict::Included);  // the file has no decision for it
  // Read again, the same file changes nothing.
  const size_t history = chain.Screenings().History().size();
  Import("review_own.csv");
  EXPECT_EQ(chain.Screenings().History().size(), history);
  EXPECT_EQ(Of(6).note, "Mine\nRead twice, \"both\" times");
}

TEST_F(ScreeningImportTest, OwnRisScreeningLinesAreReadPartByPart) {
  struct Case {
    const char* line;
    std::optional<Verdict> verdict;
    const char* reason;
    Labels labels;
    const char* note;
    bool known;
  };
  const Case cases[] = {
      {"Screening: excluded (wrong outcome); labels: a, b; note: see; also this; known", Verdict::Excluded,
       "wrong outcome", {"a", "b"}, "see; also this", true},
      {"Screening: included", Verdict::Included, "", {}, "", false},
      {"Screening: maybe; note: labels: none here", Verdict::Maybe, "", {}, "labels: none here", false},
      {"Screening: labels: a; known", std::nullopt, "", {"a"}, "", true},
      {"Screening: known", std::nullopt, "", {}, "", true},
      {"Screening: excluded (wrong intervention (or exposure))", Verdict::Excluded, "wrong intervention (or exposure)",
       {}, "", false},
  };
  for (const Case& c : cases) {
    const std::string ris = std::string("TY  - JOUR\r\nTI  - T\r\nN1  - Cited by pearls: 101\r\nN1  - ") + c.line +
                            "\r\nKW  - screening: other\r\nER  - \r\n";
    const std::vector<ScreenedReference> read = ReadScreeningFile(ris);
    ASSERT_EQ(read.size(), 1u) << c.line;
    EXPECT_EQ(read[0].verdict, c.verdict) << c.line;
    EXPECT_EQ(read[0].reason, c.reason) << c.line;
    EXPECT_EQ(read[0].labels, c.labels) << c.line;
    EXPECT_EQ(read[0].note, c.note) << c.line;
    EXPECT_EQ(read[0].known, c.known) << c.line;
  }
}

TEST_F(ScreeningImportTest, FilesWithoutDecisionsAreRefusedWithTheReason) {
  auto reason = [](const std::string& text) {
    try {
      ReadScreeningFile(text);
    } catch (const ReviewError& e) {
      return std::string(e.what());
    }
    return std::string("read");
  };
  EXPECT_EQ(reason(" \r\n"), "it is empty");
  EXPECT_EQ(reason("ID,Title,Year\r\n1,A,2000\r\n"), "it is a CSV file without a Decision or an included column");
  EXPECT_EQ(reason("just some words\n"), "it is neither RIS nor CSV with a Decision or an included column");
}

}  // namespace
}  // namespace wendrel
