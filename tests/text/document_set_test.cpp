// DocumentSet: loading rules (record sizes, counts, subsets, encodings), accessors, removal and
// clearing, and unreadable input.
#include "text/document_set.h"

#include <stdexcept>

#include "text_fixtures.h"

namespace wendrel {
namespace {

using DocumentSetTest = test::TextTest;

TEST_F(DocumentSetTest, LoadNeedsARecordAndAnEmptySet) {
  for (const char* content : {"", "\n\n", "short\nrecords\nonly\n"}) {
    std::string none = Write("none.txt", content);
    EXPECT_FALSE(set.LoadDocuments(none, 0, "\n", 0, 0, false)) << content;
    EXPECT_EQ(set.DocumentCount(), 0);
  }
  DocumentSet single(host);
  std::string one = Write("one.txt", "a single record of text\n");
  ASSERT_TRUE(single.LoadDocuments(one, 0, "\n", 16, 0, false));
  EXPECT_EQ(single.DocumentCount(), 1);
  EXPECT_EQ(single.Text(0, 0), "a single record of text");
  std::string two = Write("two.txt", "first record here\r\nsecond record here\r\n");
  ASSERT_TRUE(set.LoadDocuments(two, 0, "\n", 0, 0, false));
  EXPECT_EQ(set.Text(1, 0), "second record here");  // carriage returns removed
  EXPECT_EQ(set.FilePath(), two);
  EXPECT_FALSE(set.LoadDocuments(two, 0, "\n", 0, 0, false));
  set.InitFieldDefs(5, "", "");
  set.SetFieldExpressed(0, false);
  set.Clear();  // keeps roles and expressed flags
  EXPECT_EQ(set.FieldCount(), 0);
  EXPECT_EQ(set.DocumentCount(), 0);
  EXPECT_EQ(set.WordCount(), 0);
  EXPECT_EQ(set.TitleField(), 2);
  EXPECT_FALSE(set.FieldExpressed(0));
  EXPECT_TRUE(set.FieldExpressed(1));
  EXPECT_TRUE(set.LoadDocuments(two, 0, "\n", 0, 0, false));
}

TEST_F(DocumentSetTest, MinimumRecordBytesCountTwoPerCharacter) {
  // With 16, a record needs 9 characters: "eightchr" (8) is dropped, "ninechars" (9) counts;
  // eight "é" are eight characters of two bytes each.
  for (const char* first : {"eightchr", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"}) {
    DocumentSet sized(host);
    std::string path = Write("sizes.txt", std::string(first) + "|ninechars|another record");
    ASSERT_TRUE(sized.LoadDocuments(path, 0, "|", 16, 0, false));
    EXPECT_EQ(sized.DocumentCount(), 2);
    EXPECT_EQ(sized.Text(0, 0), "ninechars");
  }
  // Below 16 the minimum lets "short" through, but a record of 8 characters or fewer is still
  // neither counted nor stored, so no empty document is left at the end.
  std::string path = Write("short.txt", "first record|short|last record");
  ASSERT_TRUE(set.LoadDocuments(path, 0, "|", 0, 0, false));
  EXPECT_EQ(Column(0), (std::vector<std::string>{"first record", "last record"}));
}

TEST_F(DocumentSetTest, MaximumDocumentsAndSubsetFileInAFolderWithADot) {
  std::string path = Write("my.data/docs.txt", "first record|second record|third record");
  ASSERT_TRUE(set.LoadDocuments(path, 0, "|", 0, 2, true));
  EXPECT_EQ(set.DocumentCount(), 2);
  // The extension of the file name is replaced; the dot in the folder name stays.
  EXPECT_EQ(path, dir.Path("my.data/docs_2.txt"));
  EXPECT_EQ(set.FilePath(), path);
  EXPECT_EQ(test::ReadFile(path), "first record|\r\nsecond record|\r\nthird record|\r\n");
}

TEST_F(DocumentSetTest, EndPatternOnlyBeforeTheStartLeavesTheFieldEmpty) {
  std::string path = Write("order.txt", "<DOC></DATE><DATE>930101<TEXT>Body</TEXT></DOC><DOC><DATE>930102</DATE></DOC>");
  ASSERT_TRUE(set.LoadDocuments(path, 2, "", 0, 0, false));
  EXPECT_EQ(set.Text(0, 2), "");
  EXPECT_EQ(set.Text(0, 5), "Body");
  EXPECT_EQ(set.Text(1, 2), "930102");
}

// Tagged records: a field ends at the next tag line whichever tag it is, its continuation lines
// join with one blank, and a field on the record's last line is not lost.
TEST_F(DocumentSetTest, TaggedFieldsEndAtTheNextTag) {
  std::string path = Write("order.txt",
                           "PT J\nAU Author, A\n   Other, B\nTI The title\n   wrapped  here\nSO Source\nPY 2001\nER\n"
                           "PT J\nTI Title two\nAU X\nSO Y\nER\n");
  ASSERT_TRUE(set.LoadDocuments(path, 3, "", 0, 0, false));
  EXPECT_EQ(set.Text(0, 1), "Author, A Other, B");
  EXPECT_EQ(set.Text(0, 0), "The title wrapped here");
  EXPECT_EQ(set.Text(0, 2), "2001");
  EXPECT_EQ(set.Text(1, 0), "Title two");
  EXPECT_EQ(set.Text(1, 1), "X");
}

// The program's own Web of Science export: every tag present, empty ones included.
TEST_F(DocumentSetTest, OwnWebOfScienceExportReads) {
  std::string record =
      "PT J\r\nAU Lovelace, A\r\nAF Lovelace, A\r\nTI Pearl growing\r\nSO J TESTS\r\nLA English\r\nDT Article\r\n"
      "DE \r\nID \r\nAB Chains grow from pearls.\r\nC1 \r\nRP \r\nEM \r\nCR \r\nNR  0\r\nTC 12\r\nPR 3\r\n"
      "PY 2010\r\nDI 10.1000/x\r\nUT MAS:7\r\nER\r\n\r\n";
  std::string path = Write("own.txt", "FN Thomson Reuters Web of Knowledge\r\nVR 1.0\r\n" + record + record + "EF\r\n");
  ASSERT_TRUE(set.LoadDocuments(path, 5, "", 16, 0, false));
  ASSERT_EQ(set.DocumentCount(), 2);
  std::vector<std::string> fields;
  for (int f = 0; f < set.FieldCount(); ++f) fields.push_back(set.Text(1, f));
  EXPECT_EQ(fields, (std::vector<std::string>{"Lovelace, A", "2010", "Pearl growing", "J TESTS", "",
                                              "Chains grow from pearls.", "12", "", "3"}));
}

// RIS of the program (one blank before the hyphen, AB for the abstract, CR LF) and of other tools
// (two blanks, A1/T1/Y1, untagged continuation lines, "ER" inside a value).
TEST_F(DocumentSetTest, RisRecordsOfThisAndOtherTools) {
  std::string own =
      "TY - Journal\r\nAN - MAS:7\r\nAU - Lovelace, A\r\nPY - 2010\r\nTI - WATER - FLOW\r\nT2 - J TESTS\r\n"
      "AB - Chains grow.\r\nDO - \r\nUR - \r\nER - \r\n\r\n";
  std::string other =
      "TY  - JOUR\nA1  - Hopper, G\nA1  - Second, S\nT1  - Older tags\nY1  - 1952//\nAB  - Not the abstract\n"
      "N2  - First line,\nER then the second\n   and the last.\nER  -\n";
  std::string path = Write("mixed.ris", own + other);
  ASSERT_TRUE(set.LoadDocuments(path, 6, "", 16, 0, false));
  ASSERT_EQ(set.DocumentCount(), 2);
  std::vector<std::string> first, second;
  for (int f = 0; f < set.FieldCount(); ++f) {
    first.push_back(set.Text(0, f));
    second.push_back(set.Text(1, f));
  }
  EXPECT_EQ(first, (std::vector<std::string>{"Journal", "Lovelace, A", "2010", "WATER - FLOW", "Chains grow.", ""}));
  EXPECT_EQ(second, (std::vector<std::string>{"JOUR", "Hopper, G", "1952//", "Older tags",
                                              "First line, ER then the second and the last.", ""}));
  // Written out and read again, the values come back without a doubled hyphen.
  std::string exported = dir.Path("again.ris");
  set.ExportRIS(exported);
  EXPECT_NE(test::ReadFile(exported).find("TI - WATER - FLOW\r\n"), std::string::npos);
  DocumentSet again(host);
  ASSERT_TRUE(again.LoadDocuments(exported, 6, "", 16, 0, false));
  EXPECT_EQ(again.Text(1, again.ContentField()), "First line, ER then the second and the last.");
  EXPECT_EQ(again.Text(0, again.TitleField()), "WATER - FLOW");
}

// A column header names the fields when its count differs from the format's; it is no record, so
// it counts however short it is, and one of more than 255 names is refused.
TEST_F(DocumentSetTest, ColumnHeaders) {
  std::string links = Write("links.txt", "L\tD\tC\nhttp://a.example\t2014\tOne page\nhttp://b.example\t2015\tTwo pages\n"
                                         "http://c.example\t2016\tThree pages\n");
  ASSERT_TRUE(set.LoadDocuments(links, 11, "", 16, 0, false));
  EXPECT_EQ(set.FieldCount(), 3);
  EXPECT_EQ(Column(2), (std::vector<std::string>{"One page", "Two pages", "Three pages"}));

  DocumentSet news(host);
  std::string shortHeader = Write("news.txt", "A\tB\nfirst\tline of news\nsecond\tline of news\n");
  ASSERT_TRUE(news.LoadDocuments(shortHeader, 9, "", 16, 0, false));
  EXPECT_EQ(news.FieldCount(), 2);
  EXPECT_EQ(news.FieldName(1), "B");
  EXPECT_EQ(news.DocumentCount(), 2);
  EXPECT_EQ(news.Text(0, 0), "first");

  DocumentSet headerOnly(host);
  std::string onlyHeader = Write("header.txt", "ARTICLE_ID\tHEADLINE\tAUTHOR\n");
  EXPECT_FALSE(headerOnly.LoadDocuments(onlyHeader, 9, "", 0, 0, false));

  for (int names : {255, 256}) {
    std::string header, line;
    for (int c = 0; c < names; ++c) {
      header += "column" + std::to_string(c) + "\t";
      line += std::to_string(c) + "\t";
    }
    header.pop_back();
    line.pop_back();
    std::string wide = Write("wide.txt", header + "\n" + line + "\n" + line + "\n");
    DocumentSet table(host);
    if (names > 255) {
      EXPECT_THROW(table.LoadDocuments(wide, 9, "", 16, 0, false), TextError);
      EXPECT_EQ(table.DocumentCount(), 0);
    } else {
      ASSERT_TRUE(table.LoadDocuments(wide, 9, "", 16, 0, false));
      EXPECT_EQ(table.FieldCount(), 255);
      EXPECT_EQ(table.Text(1, 254), "254");
    }
  }
}

TEST_F(DocumentSetTest, AccessorsAndExpressionPattern) {
  set.SetDocuments({{"ty", "au", "py", "ti", "ab", "n1"}, {"1", "2", "3", "4", "5", "6"}}, 6, 2);
  EXPECT_EQ(set.Text(0, set.FieldCount()), "tyaupytiabn1");  // beyond the last field: all joined
  set.SetText(1, 2, "x");
  set.SetText(9, 2, "ignored");
  EXPECT_EQ(set.Text(1, 6), "12x456");
  EXPECT_EQ(set.Text(2, 0), "Error (Index exceeds upperbound)");
  set.SetFieldExpressionPattern("1010");
  EXPECT_EQ(set.FieldExpressionPattern(), "101000");  // missing characters mean not expressed
  EXPECT_FALSE(set.FieldExpressed(1));
  set.InitFieldDefs(12, "", "");  // above 11: the fields stay, all expressed
  EXPECT_EQ(set.FieldName(5), "Notes");
  EXPECT_EQ(set.FieldExpressionPattern(), "111111");
}

TEST_F(DocumentSetTest, RemoveDocumentKeepsTheOthersInOrder) {
  Fill({"zero", "one", "two"});
  set.RemoveDocument(1);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"zero", "two"}));
  EXPECT_THROW(set.RemoveDocument(2), std::out_of_range);
}

TEST_F(DocumentSetTest, UnreadableFilesAndDefinitionsAreReported) {
  std::string missing = "/nonexistent/folder/docs.txt";
  EXPECT_THROW(set.LoadDocuments(missing, 0, "\n", 0, 0, false), TextError);
  EXPECT_THROW(set.InitFieldDefs(1, "", missing), TextError);
  EXPECT_THROW(set.InitFieldDefs(1, "", Write("defs0.txt", "0\n")), TextError);
  EXPECT_THROW(set.InitFieldDefs(1, "", Write("defs_short.txt", "3\n\"<a>\",\"</a>\",A\n")), TextError);
}

TEST_F(DocumentSetTest, Windows1252FilesAreDecoded) {
  // "café" and curly quotes in Windows-1252, then the same in UTF-8 behind a byte-order mark.
  std::string legacy = Write("legacy.txt", "caf\xE9 au lait\n\x93quoted\x94 text\n");
  ASSERT_TRUE(set.LoadDocuments(legacy, 0, "\n", 0, 0, false));
  EXPECT_EQ(set.Text(0, 0), "caf\xC3\xA9 au lait");
  EXPECT_EQ(set.Text(1, 0), "\xE2\x80\x9Cquoted\xE2\x80\x9D text");
  DocumentSet utf8(host);
  std::string modern = Write("modern.txt", "\xEF\xBB\xBF" "caf\xC3\xA9 au lait\nsecond line\n");
  ASSERT_TRUE(utf8.LoadDocuments(modern, 0, "\n", 0, 0, false));
  EXPECT_EQ(utf8.Text(0, 0), "caf\xC3\xA9 au lait");
  // A mark before Windows-1252 text is dropped too, so the first RIS tag is found.
  DocumentSet mixed(host);
  std::string marked = Write("marked.ris", "\xEF\xBB\xBFTY  - JOUR\nTI  - Caf\xE9 society\nER  - \n");
  ASSERT_TRUE(mixed.LoadDocuments(marked, 6, "", 16, 0, false));
  EXPECT_EQ(mixed.Text(0, 0), "JOUR");
  EXPECT_EQ(mixed.Text(0, 3), "Caf\xC3\xA9 society");
}

}  // namespace
}  // namespace wendrel
