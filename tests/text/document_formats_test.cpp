// Every input format loads its sample file with the fields in place; the tagged formats also
// read real exports of other tools.
#include <gtest/gtest.h>

#include "platform/scripted_host.h"
#include "test_paths.h"
#include "text/document_set.h"

namespace wendrel {
namespace {

class Formats : public ::testing::Test {
 protected:
  // Loads a file; 16 minimum record bytes keep out the blank tails after the last record.
  bool Load(const std::string& path, int format, const std::string& separator = "") {
    std::string p = path;
    return set.LoadDocuments(p, format, separator, 16, 0, false);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (int f = 0; f < set.FieldCount(); ++f) names.push_back(set.FieldName(f));
    return names;
  }
  ScriptedHost host;
  DocumentSet set{host};
};

TEST_F(Formats, WholeRecordsCutAtTheSeparator) {
  ASSERT_TRUE(Load(test::DataPath("text_format0.txt"), 0, "\n"));
  EXPECT_EQ(Names(), std::vector<std::string>{"All Text"});
  ASSERT_EQ(set.DocumentCount(), 3);  // "short" is under the minimum
  EXPECT_EQ(set.Text(1, 0), "Maps of similar articles show where a field clusters.");
  // One word per space of each stored record, plus one.
  EXPECT_EQ(set.WordCount(), 10 + 9 + 11);
}

TEST_F(Formats, SelfDescribedReadsItsDefinitionsAndKeepsTheDelimiter) {
  set.InitFieldDefs(0, "@@", "");
  ASSERT_TRUE(Load(test::DataPath("text_format1.txt"), 1, "@@"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Title", "Body, with comma"}));
  // The definitions are part of the first record, so they make a document of their own.
  ASSERT_EQ(set.DocumentCount(), 3);
  EXPECT_EQ(set.Text(1, 0), "Pearl growing");
  EXPECT_EQ(set.Text(1, 1), "Start from one  known article.");
  EXPECT_EQ(set.Text(2, 1), "Counts times inversedocument frequency.");
}

TEST_F(Formats, SelfDescribedOnAFreshSetIsOneRecordAndRefused) {
  EXPECT_FALSE(Load(test::DataPath("text_format1.txt"), 1, "@@"));
  EXPECT_EQ(set.DocumentCount(), 0);
  EXPECT_EQ(set.FieldCount(), 2);
}

TEST_F(Formats, NewsCollection) {
  ASSERT_TRUE(Load(test::DataPath("text_format2.txt"), 2));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Document ID", "Profile", "Publication Date", "Headline", "Author",
                                               "Article Text", "Publisher", "Page Number"}));
  ASSERT_EQ(set.DocumentCount(), 2);
  EXPECT_EQ(set.Text(0, 0), "NC-1001");
  EXPECT_EQ(set.Text(0, 2), "930101");
  EXPECT_EQ(set.Text(0, 3), "Canal traffic rises in winter");
  EXPECT_EQ(set.Text(0, 5), "Barge operators reported more trafficthan in any winter before.");
  EXPECT_EQ(set.Text(0, 7), "Page 4");
  EXPECT_EQ(set.Text(1, 1), "");
  EXPECT_EQ(set.Text(1, 4), "");
  EXPECT_EQ(set.Text(1, 6), "The Harbour Gazette");
}

TEST_F(Formats, ShortTaggedRecords) {
  ASSERT_TRUE(Load(test::DataPath("text_format3.txt"), 3));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Article title", "Author(s)", "Publication Year", "Abstract"}));
  ASSERT_EQ(set.DocumentCount(), 2);
  // Continuation lines lose their line feed; their three-space indent shrinks by one pass.
  EXPECT_EQ(set.Text(0, 0), "Growing citation chains  from pearls");
  EXPECT_EQ(set.Text(0, 1), "Lovelace, A  Babbage, C");
  EXPECT_EQ(set.Text(0, 2), "2001");
  EXPECT_EQ(set.Text(1, 3), "A second abstract.");
}

TEST_F(Formats, TaggedRecordsWithCitationCounts) {
  ASSERT_TRUE(Load(test::DataPath("text_format4.txt"), 4));
  ASSERT_EQ(set.DocumentCount(), 2);
  EXPECT_EQ(set.Text(0, 0), "Citation counts in tagged records");
  EXPECT_EQ(set.Text(0, 1), "Lovelace, A");
  EXPECT_EQ(set.Text(0, 2), "2003");
  EXPECT_EQ(set.Text(0, 3), "Counting how often an article is cited.");
  // The record delimiter takes the line feed after the last line, so a field ending there is empty.
  EXPECT_EQ(set.Text(0, 4), "");
  EXPECT_EQ(set.Text(1, 4), "7");
  EXPECT_EQ(set.Text(1, 2), "");  // the year is the file's last line, without a line feed
}

TEST_F(Formats, FullTaggedRecordsSetTheirRoles) {
  ASSERT_TRUE(Load(test::DataPath("text_format5.txt"), 5));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Author(s)", "Publication Year", "Article title", "Source", "Keywords",
                                               "Abstract", "Times Cited", "References", "Pearl Relations"}));
  ASSERT_EQ(set.DocumentCount(), 2);
  EXPECT_EQ(set.Text(0, 0), "Lovelace, A  Babbage, CAF Lovelace, Ada");
  EXPECT_EQ(set.Text(0, 1), "2010");
  EXPECT_EQ(set.Text(0, 2), "Pearl growing for literature searches");
  EXPECT_EQ(set.Text(0, 7), "Babbage C, 1830, J TESTS, V1, P1  Hopper G, 1952, J TESTS, V2, P2");
  EXPECT_EQ(set.Text(0, 8), ";1;");
  EXPECT_EQ(set.Text(1, 7), "");  // no NR line: the references have no end
  EXPECT_EQ(set.Text(1, 6), "0");
  EXPECT_EQ(set.AuthorField(), 0);
  EXPECT_EQ(set.DateTimeField(), 1);
  EXPECT_EQ(set.TitleField(), 2);
  EXPECT_EQ(set.KeyWordField(), 4);
  EXPECT_EQ(set.ContentField(), 5);
  EXPECT_EQ(set.CitedField(), 6);
  EXPECT_EQ(set.RefListField(), 7);
  EXPECT_EQ(set.FieldExpressionPattern(), "111111111");
}

TEST_F(Formats, RisKeepsTheHyphenAndNeedsALineFeedBeforeATag) {
  ASSERT_TRUE(Load(test::DataPath("text_format6.txt"), 6));
  EXPECT_EQ(Names(),
            (std::vector<std::string>{"Publication Type", "Author(s)", "Publication Year", "Title", "Abstract", "Notes"}));
  ASSERT_EQ(set.DocumentCount(), 2);
  EXPECT_EQ(set.Text(0, 0), "");  // the file starts with the tag: no line feed before it
  EXPECT_EQ(set.Text(1, 0), "- JOUR");
  EXPECT_EQ(set.Text(0, 3), "- A title");
  EXPECT_EQ(set.Text(0, 4), "- An abstract about maps.");
  EXPECT_EQ(set.Text(1, 5), "");
  EXPECT_EQ(set.TitleField(), 3);
  EXPECT_EQ(set.ContentField(), 4);
}

TEST_F(Formats, TweetListDetectsItsHeaderAndRepairsColumns) {
  ASSERT_TRUE(Load(test::DataPath("text_format7.txt"), 7));
  EXPECT_EQ(Names(), (std::vector<std::string>{"DateTime", "User", "Tweet", "Sent+", "Sent-", "SentSum"}));
  ASSERT_EQ(set.DocumentCount(), 3);
  // A tweet split by a tab is joined again; leading spaces go; an empty column is dropped.
  EXPECT_EQ(set.Text(0, 1), "joe");
  EXPECT_EQ(set.Text(0, 2), "Great dayat the beach");
  EXPECT_EQ(set.Text(0, 3), "3");
  EXPECT_EQ(set.Text(0, 5), "2");
  EXPECT_EQ(set.Text(1, 2), "Lovely morning");
  EXPECT_EQ(set.Text(1, 4), "0");
  EXPECT_EQ(set.Text(2, 4), "-3");
  EXPECT_GE(host.DoEventsCount(), 1);
}

TEST_F(Formats, TweetExportColumns) {
  ASSERT_TRUE(Load(test::DataPath("text_format8.txt"), 8));
  ASSERT_EQ(set.FieldCount(), 16);
  EXPECT_EQ(set.FieldName(15), "NetSent");
  ASSERT_EQ(set.DocumentCount(), 2);
  EXPECT_EQ(set.Text(0, 2), "Off to the #beach with @ann http://example.org/a");
  EXPECT_EQ(set.Text(0, 9), "");
  EXPECT_EQ(set.Text(1, 9), "48.8,2.3");
  EXPECT_EQ(set.Text(1, 15), "2");
}

TEST_F(Formats, NewsTableSkipsItsHeader) {
  ASSERT_TRUE(Load(test::DataPath("text_format9.txt"), 9));
  EXPECT_EQ(set.FieldName(6), "PUBLISH_DATE");
  ASSERT_EQ(set.DocumentCount(), 2);
  EXPECT_EQ(set.Text(0, 0), "1");
  EXPECT_EQ(set.Text(1, 3), "Barges came back to the canal.");
}

TEST_F(Formats, PublicationListKeepsItsNamesForAFullHeader) {
  ASSERT_TRUE(Load(test::DataPath("text_format10.txt"), 10));
  ASSERT_EQ(set.FieldCount(), 18);
  EXPECT_EQ(set.FieldName(12), "CitationcountWebofScience");
  ASSERT_EQ(set.DocumentCount(), 2);
  EXPECT_EQ(set.Text(0, set.TitleField()), "Article maps");
  EXPECT_EQ(set.Text(1, set.AuthorField()), "Hopper");
  EXPECT_EQ(set.Text(0, set.ContentField()), "Maps of articles.");
  EXPECT_EQ(set.KeyWordField(), 7);
  EXPECT_EQ(set.DateTimeField(), 10);
  EXPECT_EQ(set.CitedField(), 12);
}

TEST_F(Formats, PublicationListTakesAShorterHeadersNamesUnexpressed) {
  ASSERT_TRUE(Load(test::DataPath("text_format10_short_header.txt"), 10));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Id", "Title", "Year", "Abstract", "Keywords"}));
  EXPECT_EQ(set.FieldExpressionPattern(), "00000");
  ASSERT_EQ(set.DocumentCount(), 2);
  EXPECT_EQ(set.Text(1, 4), "graphs");
}

TEST_F(Formats, DiscoveredLinks) {
  ASSERT_TRUE(Load(test::DataPath("text_format11.txt"), 11));
  ASSERT_EQ(set.DocumentCount(), 2);
  EXPECT_EQ(set.Text(1, set.URLField()), "http://example.org/b");
  EXPECT_EQ(set.Text(0, set.DateTimeField()), "2014-03-01");
  EXPECT_EQ(set.Text(0, set.ContentField()), "A page about canals.");
}

TEST_F(Formats, FormatsAbove11KeepTheFieldsAndExpressThemAll) {
  set.InitFieldDefs(3, "", "");
  set.SetFieldExpressed(1, false);
  set.InitFieldDefs(12, "", "");
  EXPECT_EQ(set.FieldCount(), 4);
  EXPECT_EQ(set.FieldExpressionPattern(), "1111");
}

TEST_F(Formats, WebOfScienceExportAsFullTaggedRecords) {
  auto path = test::SharedPath("wos/wosfile_plaintext_50.txt");
  if (!path) GTEST_SKIP() << "shared test data absent";
  ASSERT_TRUE(Load(*path, 5));
  ASSERT_EQ(set.DocumentCount(), 50);
  EXPECT_EQ(set.Text(0, 2),
            "Knowledge networks as channels and conduits: The effects of spillovers  in the Boston biotechnology "
            "community");
  EXPECT_EQ(set.Text(0, 1), "2004");
  EXPECT_EQ(set.Text(0, 3), "ORGANIZATION SCIENCE");
  EXPECT_EQ(set.Text(0, 6), "420");
  EXPECT_EQ(set.Text(0, 5).substr(0, 32), "We contend that two important, n");
  EXPECT_EQ(set.Text(0, 8), "");  // no pearl relations in a foreign export
}

TEST_F(Formats, WebOfScienceExportAsCitationCountRecords) {
  auto path = test::SharedPath("wos/wosfile_plaintext_50.txt");
  if (!path) GTEST_SKIP() << "shared test data absent";
  ASSERT_TRUE(Load(*path, 4));
  ASSERT_EQ(set.DocumentCount(), 50);
  EXPECT_EQ(set.Text(0, 1), "Owen-Smith, J  Powell, WWAF Owen-Smith, J  Powell, WW");
  EXPECT_EQ(set.Text(0, 2), "2004");
  EXPECT_EQ(set.Text(0, 4), "420");
}

TEST_F(Formats, WebOfScienceExportAsShortRecords) {
  auto path = test::SharedPath("wos/jabref_IsiImporterTestWOS.isi");
  if (!path) GTEST_SKIP() << "shared test data absent";
  ASSERT_TRUE(Load(*path, 3));
  ASSERT_GE(set.DocumentCount(), 2);
  // Authors come before the title in these exports, so a title ending at "AU" finds no end.
  EXPECT_EQ(set.Text(0, 0), "");
  EXPECT_EQ(set.Text(0, 1), "Gamernyk, RV  Gnatenko, YP  Bukivskij, PM  Skubenko, PA  Slivka, VYTI Optical and "
                            "photoelectric spectroscopy of photorefractive Sn2P2S6  crystals");
  EXPECT_EQ(set.Text(0, 3).substr(0, 20), "Lorem ipsum abstract");
}

TEST_F(Formats, StandardRisFileWithTwoBlankTags) {
  auto path = test::SharedPath("ris/example_urls.ris");
  if (!path) GTEST_SKIP() << "shared test data absent";
  ASSERT_TRUE(Load(*path, 6));
  ASSERT_EQ(set.DocumentCount(), 4);
  EXPECT_EQ(set.Text(1, 0), "- JOUR");
  EXPECT_EQ(set.Text(1, 1), "- Shannon,Claude E.");
  EXPECT_EQ(set.Text(1, 2), "- 1948/07//");
  EXPECT_EQ(set.Text(3, 3), "- A Mathematical Theory of Communication");
}

}  // namespace
}  // namespace wendrel
