// Derived fields, sorting, selection and exports of a DocumentSet, and the date reading behind
// elapsed times.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/scripted_host.h"
#include "test_paths.h"
#include "text/date_time.h"
#include "text/document_set.h"
#include "text/text_error.h"

namespace wendrel {
namespace {

class Derived : public ::testing::Test {
 protected:
  // A one-field table (format 0) of the given texts.
  void Fill(const std::vector<std::string>& texts) {
    std::vector<std::vector<std::string>> rows;
    for (const auto& t : texts) rows.push_back({t});
    set.SetDocuments(rows, 0, static_cast<int32_t>(rows.size()));
  }
  std::vector<std::string> Column(int field) const {
    std::vector<std::string> out;
    for (int d = 0; d < set.DocumentCount(); ++d) out.push_back(set.Text(d, field));
    return out;
  }
  std::string TempPath(const std::string& name) const {
    return (std::filesystem::path(::testing::TempDir()) / name).string();
  }
  ScriptedHost host;
  DocumentSet set{host};
};

TEST_F(Derived, TwitterDateVariants) {
  Fill({"20110827 13:08:45", "20110827 130845"});
  set.ConvertTwitterDateTimeField("Twitter", 0);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"27/08/11 13:08:45", "27/08/11 13:08:45"}));
  Fill({"Wed Aug 27 13:08:45 +0000 2008", "Wed AUG 27 13:08:45 +0000 2008"});
  set.ConvertTwitterDateTimeField("Twitter1.1", 0);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"27/08/08 13:08:45", "27//08 13:08:45"}));
  set.ConvertTwitterDateTimeField("Other", 0);
  EXPECT_EQ(set.Text(0, 0), "27/08/08 13:08:45");
}

TEST_F(Derived, ElapsedDaysFromTheEarliestDocument) {
  Fill({"\"04/01/12 10:00:00\"", "02/01/12 23:59:59", "2012-01-07T00:00:00", "no date"});
  EXPECT_TRUE(set.DeriveElapsedTimeField(0, "d", "01/01/12 12:00:00"));
  ASSERT_EQ(set.FieldCount(), 2);
  EXPECT_EQ(set.FieldName(1), "Elapsed_Days");
  EXPECT_FALSE(set.FieldExpressed(1));
  EXPECT_EQ(Column(1), (std::vector<std::string>{"2", "0", "5", ""}));
  EXPECT_EQ(set.DateTimeField(), 0);
}

TEST_F(Derived, ElapsedTimeBeforeTheReferenceStaysOrdered) {
  Fill({"30/12/11 00:00:00", "01/01/12 00:00:00", "03/01/12 00:00:00"});
  set.DeriveElapsedTimeField(0, "h", "01/01/12 00:00:00");
  EXPECT_EQ(set.FieldName(1), "Elapsed_Hours");
  EXPECT_EQ(Column(1), (std::vector<std::string>{"0", "48", "96"}));
}

TEST_F(Derived, ElapsedTimeRefusesUnknownUnitsAndReferences) {
  Fill({"01/01/12"});
  EXPECT_THROW(set.DeriveElapsedTimeField(0, "q", "01/01/12"), TextError);
  EXPECT_THROW(set.DeriveElapsedTimeField(0, "d", "yesterday"), TextError);
  EXPECT_EQ(set.FieldCount(), 1);
}

TEST(DateTime, FixedFormatsOnly) {
  EXPECT_EQ(ParseDateTime("01/01/70 00:00:00"), 0);
  EXPECT_EQ(ParseDateTime("1970-01-01T01:00:00+01:00"), 0);
  EXPECT_EQ(ParseDateTime("1/1/1970"), 0);
  EXPECT_EQ(ParseDateTime("02/01/70 00:00:01"), 86401);
  EXPECT_EQ(ParseDateTime("31/12/29"), ParseDateTime("2029-12-31"));
  EXPECT_EQ(ParseDateTime("01/01/30"), ParseDateTime("1930-01-01"));
  EXPECT_FALSE(ParseDateTime("31/02/12"));
  EXPECT_FALSE(ParseDateTime("Aug 27 2008"));
  EXPECT_FALSE(ParseDateTime("12/13/2012"));  // no month 13: never read month-first
  EXPECT_FALSE(ParseDateTime(""));
}

TEST(DateTime, CalendarDifferencesCountBoundaries) {
  int64_t sat = *ParseDateTime("2012-01-07T23:59:59");  // a Saturday
  int64_t sun = *ParseDateTime("2012-01-08T00:00:00");
  EXPECT_EQ(CalendarDifference("s", sat, sun), 1);
  EXPECT_EQ(CalendarDifference("n", sat, sun), 1);
  EXPECT_EQ(CalendarDifference("h", sat, sun), 1);
  EXPECT_EQ(CalendarDifference("d", sat, sun), 1);
  EXPECT_EQ(CalendarDifference("ww", sat, sun), 1);
  int64_t mon = *ParseDateTime("2012-01-09");
  EXPECT_EQ(CalendarDifference("ww", sun, mon), 0);
  EXPECT_EQ(CalendarDifference("d", mon, sat), -2);
  EXPECT_FALSE(CalendarDifference("m", sat, sun));
}

TEST_F(Derived, LinksMoveToANewField) {
  Fill({"see http://example.org/one and http://example.org/two now", "short http://a", "no links"});
  set.DeriveLinksField(0, "Links", 0);
  ASSERT_EQ(set.FieldCount(), 2);
  EXPECT_EQ(set.FieldName(1), "Links");
  EXPECT_EQ(Column(1), (std::vector<std::string>{" http://example.org/one", "", ""}));
  EXPECT_EQ(Column(0), (std::vector<std::string>{"see  and  now", "short ", "no links"}));
  EXPECT_EQ(host.DoEventsCount(), 3);
}

TEST_F(Derived, LinksIntoAnExistingTargetKeepItsText) {
  set.SetDocuments({{"x", "http://example.org/long", "kept"}, {"y", "http://example.org/other", ""}}, 11, 2);
  set.DeriveLinksField(1, "unused", 2);
  EXPECT_EQ(set.FieldCount(), 3);
  EXPECT_EQ(Column(2), (std::vector<std::string>{"kept", " http://example.org/other"}));
}

TEST_F(Derived, HashtagsAndMentions) {
  Fill({"#one two #three", "it#039s #fine", "@ann meets @bob today", "plain"});
  set.DeriveTwitterHashField(0, "Tags");
  EXPECT_EQ(Column(1), (std::vector<std::string>{" one three", " fine", "", ""}));
  EXPECT_EQ(set.Text(0, 0), "[#] two [#]");
  EXPECT_EQ(set.Text(1, 0), "it's [#]");
  set.DeriveTwitterMentionField(0, "Mentions");
  EXPECT_EQ(Column(2), (std::vector<std::string>{"", "", " ann bob", ""}));
  EXPECT_EQ(set.Text(2, 0), "[@] meets [@] today");
  EXPECT_EQ(set.FieldExpressionPattern(), "100");
}

TEST_F(Derived, SortReversesWithoutAskingWhenAlreadyOrderedTheOtherWay) {
  Fill({"4", "3", "2", "1"});
  set.SortByInt(0, false);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "2", "3", "4"}));
  EXPECT_TRUE(host.Messages().empty());
  set.SortByInt(0, true);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"4", "3", "2", "1"}));
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(Derived, FullSortWarnsFirst) {
  Fill({"1", "3", "2"});
  set.SortByInt(0, false);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "2", "3"}));
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].title, "Ascending sort");
  EXPECT_EQ(host.Messages()[0].text, "Documents need to be sorted. This might take a moment...");
  EXPECT_EQ(host.Messages()[0].buttons, MessageButtons::Ok);
  Fill({"1", "3", "2"});
  set.SortByInt(0, true);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"3", "2", "1"}));
  EXPECT_EQ(host.Messages()[1].title, "Descending sort");
}

TEST_F(Derived, SortMovesWholeRowsAndReadsLeadingNumbers) {
  set.SetDocuments({{"b", "10 points"}, {"a", "2.5"}, {"c", "x"}, {"d", "2"}, {"e", "2.5"}}, 11, 5);
  set.SortByInt(1, false);
  // Values 10, 2 (2.5 rounds to even), 0, 2, 2: ties keep a valid order.
  EXPECT_EQ(Column(0), (std::vector<std::string>{"c", "a", "d", "e", "b"}));
  set.SortByInt(1, true);
  EXPECT_EQ(Column(0)[0], "b");
  EXPECT_EQ(Column(0)[4], "c");
}

TEST_F(Derived, SubsetHoldsTheMatchingDocuments) {
  set.SetDocuments({{"x", "maps of science", ""}, {"y", "pearls", ""}, {"z", "science maps", ""}}, 11, 3);
  DocumentSet subset = set.SelectSubSetByString(1, "maps");
  ASSERT_EQ(subset.DocumentCount(), 2);
  EXPECT_EQ(subset.Text(1, 0), "z");
  EXPECT_EQ(subset.FieldName(2), "Content");
  EXPECT_EQ(subset.ContentField(), 2);
  EXPECT_EQ(set.DocumentCount(), 3);
  EXPECT_EQ(set.SelectSubSetByString(1, "absent").DocumentCount(), 0);
}

TEST_F(Derived, ExportTsvWithHeader) {
  set.SetDocuments({{"1", "a b"}, {"2", "c"}}, 0, 2);
  set.InitFieldDefs(11, "", "");
  set.SetDocuments({{"l1", "d1", "c1"}, {"l2", "d2", "c2"}}, 11, 2);
  std::string path = TempPath("export.tsv");
  set.ExportTSV(path, true);
  EXPECT_EQ(test::ReadFile(path), "Link\tDiscovered\tContent\t\r\nl1\td1\tc1\r\nl2\td2\tc2\r\n");
  set.ExportTSV(path, false);
  EXPECT_EQ(test::ReadFile(path), "l1\td1\tc1\r\nl2\td2\tc2\r\n");
  EXPECT_THROW(set.ExportTSV("/nonexistent/folder/x.tsv", true), TextError);
}

TEST_F(Derived, ExportRisFromTheRoles) {
  set.SetDocuments({{"JOUR", "Lovelace, A", "1843", "Notes", "On engines.", ""}}, 6, 1);
  std::string path = TempPath("export.ris");
  set.ExportRIS(path);
  EXPECT_EQ(test::ReadFile(path),
            "TY - \r\nAN - \r\nAU - Lovelace, A\r\nPY - 1843\r\nTI - Notes\r\nT2 - \r\nAB - On engines.\r\nDO - \r\n"
            "UR - \r\nER - \r\n\r\n");
}

TEST_F(Derived, FieldsOutsideTheSetAreRefused) {
  Fill({"a"});
  EXPECT_THROW(set.SortByInt(3, false), std::out_of_range);
  EXPECT_THROW(set.DeriveTwitterHashField(4, "x"), std::out_of_range);
  EXPECT_EQ(set.FieldCount(), 1);
}

}  // namespace
}  // namespace wendrel
