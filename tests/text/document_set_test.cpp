// DocumentSet: loading rules (record sizes, counts, subsets, encodings), accessors, removal and
// clearing, and unreadable input.
#include "text/document_set.h"

#include <stdexcept>

#include "text_fixtures.h"

namespace wendrel {
namespace {

using DocumentSetTest = test::TextTest;

TEST_F(DocumentSetTest, LoadNeedsTwoRecordsAndAnEmptySet) {
  std::string one = Write("one.txt", "a single record of text");
  EXPECT_FALSE(set.LoadDocuments(one, 0, "\n", 0, 0, false));
  EXPECT_EQ(set.DocumentCount(), 0);
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
  // "short" is counted (10 bytes > 0) but holds no more than 8 characters, so it is not stored.
  std::string path = Write("short.txt", "first record|short|last record");
  ASSERT_TRUE(set.LoadDocuments(path, 0, "|", 0, 0, false));
  ASSERT_EQ(set.DocumentCount(), 3);
  EXPECT_EQ(set.Text(1, 0), "last record");
  EXPECT_EQ(set.Text(2, 0), "");
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
  std::string path = Write("order.txt", "PT J\nAU Author, A\nTI The title\nSO Source\nER\nPT J\nTI Title two\nAU X\nSO Y\nER\n");
  ASSERT_TRUE(set.LoadDocuments(path, 3, "", 0, 0, false));
  EXPECT_EQ(set.Text(0, 1), "Author, ATI The title");  // AU runs to SO, past the title
  EXPECT_EQ(set.Text(0, 0), "");                       // TI ends at AU, which only comes before it
  EXPECT_EQ(set.Text(1, 0), "Title two");
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
}

}  // namespace
}  // namespace wendrel
