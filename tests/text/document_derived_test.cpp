// Derived fields, sorting, selection and exports of a DocumentSet, and the date reading behind
// elapsed times.
#include <stdexcept>

#include "text/date_time.h"
#include "text_fixtures.h"

namespace wendrel {
namespace {

using Derived = test::TextTest;
using Texts = std::vector<std::string>;

TEST_F(Derived, TwitterDateVariants) {
  Fill({"20110827 13:08:45", "20110827 130845"});
  set.ConvertTwitterDateTimeField("Twitter", 0);
  EXPECT_EQ(Column(0), (Texts{"27/08/11 13:08:45", "27/08/11 13:08:45"}));
  Fill({"Wed Aug 27 13:08:45 +0000 2008", "Wed AUG 27 13:08:45 +0000 2008"});
  set.ConvertTwitterDateTimeField("Twitter1.1", 0);
  EXPECT_EQ(Column(0), (Texts{"27/08/08 13:08:45", "27//08 13:08:45"}));
  set.ConvertTwitterDateTimeField("Other", 0);
  EXPECT_EQ(set.Text(0, 0), "27/08/08 13:08:45");
}

TEST_F(Derived, ElapsedTimeCountsFromTheEarliestDocument) {
  // Non-dates leave their cell empty and do not count in the minimum.
  Fill({"\"04/01/12 10:00:00\"", "02/01/12 23:59:59", "2012-01-07T00:00:00", "no date"});
  EXPECT_TRUE(set.DeriveElapsedTimeField(0, "d", "01/01/12 12:00:00"));
  EXPECT_EQ(set.FieldName(1), "Elapsed_Days");
  EXPECT_FALSE(set.FieldExpressed(1));
  EXPECT_EQ(Column(1), (Texts{"2", "0", "5", ""}));
  EXPECT_EQ(set.DateTimeField(), 0);
  // Dates before the reference give negative differences until the minimum is subtracted.
  Fill({"30/12/11 00:00:00", "01/01/12 00:00:00", "03/01/12 00:00:00"});
  set.DeriveElapsedTimeField(0, "h", "01/01/12 00:00:00");
  EXPECT_EQ(set.FieldName(1), "Elapsed_Hours");
  EXPECT_EQ(Column(1), (Texts{"0", "48", "96"}));
  EXPECT_THROW(set.DeriveElapsedTimeField(0, "q", "01/01/12"), TextError);
  EXPECT_THROW(set.DeriveElapsedTimeField(0, "d", "yesterday"), TextError);
  EXPECT_EQ(set.FieldCount(), 2);
}

TEST(DateTime, FixedFormatsOnlyAndCalendarDifferences) {
  for (const char* epoch : {"01/01/70 00:00:00", "1970-01-01T01:00:00+01:00", "1/1/1970"}) EXPECT_EQ(ParseDateTime(epoch), 0);
  EXPECT_EQ(ParseDateTime("02/01/70 00:00:01"), 86401);
  EXPECT_EQ(ParseDateTime("31/12/29"), ParseDateTime("2029-12-31"));
  EXPECT_EQ(ParseDateTime("01/01/30"), ParseDateTime("1930-01-01"));
  for (const char* none : {"31/02/12", "Aug 27 2008", "12/13/2012", ""}) EXPECT_FALSE(ParseDateTime(none)) << none;
  // Calendar differences count the boundaries crossed.
  int64_t sat = *ParseDateTime("2012-01-07T23:59:59");  // a Saturday
  int64_t sun = *ParseDateTime("2012-01-08T00:00:00");
  for (const char* unit : {"s", "n", "h", "d", "ww"}) EXPECT_EQ(CalendarDifference(unit, sat, sun), 1) << unit;
  int64_t mon = *ParseDateTime("2012-01-09");
  EXPECT_EQ(CalendarDifference("ww", sun, mon), 0);
  EXPECT_EQ(CalendarDifference("d", mon, sat), -2);
  EXPECT_FALSE(CalendarDifference("m", sat, sun));
}

TEST_F(Derived, LinksMoveToANewOrExistingField) {
  Fill({"see http://example.org/one and http://example.org/two now", "short http://a", "no links"});
  set.DeriveLinksField(0, "Links", 0);
  EXPECT_EQ(set.FieldName(1), "Links");
  EXPECT_EQ(Column(1), (Texts{" http://example.org/one", "", ""}));
  EXPECT_EQ(Column(0), (Texts{"see  and  now", "short ", "no links"}));
  set.SetDocuments({{"x", "http://example.org/long", "kept"}, {"y", "http://example.org/other", ""}}, 11, 2);
  set.DeriveLinksField(1, "unused", 2);
  EXPECT_EQ(set.FieldCount(), 3);
  EXPECT_EQ(Column(2), (Texts{"kept", " http://example.org/other"}));
}

TEST_F(Derived, HashtagsAndMentions) {
  Fill({"#one two #three", "it#039s #fine", "@ann meets @bob today", "plain"});
  set.DeriveTwitterHashField(0, "Tags");
  EXPECT_EQ(Column(1), (Texts{" one three", " fine", "", ""}));
  set.DeriveTwitterMentionField(0, "Mentions");
  EXPECT_EQ(Column(2), (Texts{"", "", " ann bob", ""}));
  EXPECT_EQ(Column(0), (Texts{"[#] two [#]", "it's [#]", "[@] meets [@] today", "plain"}));
  EXPECT_EQ(set.FieldExpressionPattern(), "100");
}

TEST_F(Derived, SortReversesQuietlyOtherwiseWarnsAndMovesWholeRows) {
  Fill({"4", "3", "2", "1"});
  set.SortByInt(0, false);
  EXPECT_EQ(Column(0), (Texts{"1", "2", "3", "4"}));
  set.SortByInt(0, true);
  EXPECT_EQ(Column(0), (Texts{"4", "3", "2", "1"}));
  EXPECT_TRUE(host.Messages().empty());
  set.SetDocuments({{"b", "10 points"}, {"a", "2.5"}, {"c", "x"}, {"d", "2"}, {"e", "2.5"}}, 11, 5);
  set.SortByInt(1, false);
  // Values 10, 2 (2.5 rounds to even), 0, 2, 2: ties keep a valid order.
  EXPECT_EQ(Column(0), (Texts{"c", "a", "d", "e", "b"}));
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].title, "Ascending sort");
  EXPECT_EQ(host.Messages()[0].text, "Documents need to be sorted. This might take a moment...");
  Fill({"a"});  // fields outside the set are refused
  EXPECT_THROW(set.SortByInt(3, false), std::out_of_range);
  EXPECT_THROW(set.DeriveTwitterHashField(4, "x"), std::out_of_range);
  EXPECT_EQ(set.FieldCount(), 1);
}

TEST_F(Derived, SubsetHoldsTheContainingDocuments) {
  set.SetDocuments({{"x", "maps of science", ""}, {"y", "pearls", ""}, {"z", "science maps", ""}}, 11, 3);
  DocumentSet subset = set.SelectSubSetByString(1, "maps");
  EXPECT_EQ(subset.DocumentCount(), 2);
  EXPECT_EQ(subset.Text(1, 0), "z");
  EXPECT_EQ(subset.ContentField(), 2);  // same definitions and roles
  EXPECT_EQ(set.SelectSubSetByString(1, "absent").DocumentCount(), 0);
}

TEST_F(Derived, ExportsTsvAndRis) {
  set.SetDocuments({{"l1", "d1", "c1"}, {"l2", "d2", "c2"}}, 11, 2);
  std::string tsv = dir.Path("export.tsv");
  set.ExportTSV(tsv, true);
  EXPECT_EQ(test::ReadFile(tsv), "Link\tDiscovered\tContent\t\r\nl1\td1\tc1\r\nl2\td2\tc2\r\n");
  set.ExportTSV(tsv, false);
  EXPECT_EQ(test::ReadFile(tsv), "l1\td1\tc1\r\nl2\td2\tc2\r\n");
  EXPECT_THROW(set.ExportTSV("/nonexistent/folder/x.tsv", true), TextError);
  DocumentSet ris(host);
  ris.SetDocuments({{"JOUR", "Lovelace, A", "1843", "Notes", "On engines.", ""}}, 6, 1);
  ris.ExportRIS(dir.Path("export.ris"));
  EXPECT_EQ(test::ReadFile(dir.Path("export.ris")),
            "TY - \r\nAN - \r\nAU - Lovelace, A\r\nPY - 1843\r\nTI - Notes\r\nT2 - \r\nAB - On engines.\r\nDO - \r\n"
            "UR - \r\nER - \r\n\r\n");
}

}  // namespace
}  // namespace wendrel
