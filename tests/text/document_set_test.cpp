// DocumentSet: loading rules (record sizes, counts, headers, subsets), accessors, removal and
// clearing, and the encodings of input files.
#include "text/document_set.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/scripted_host.h"
#include "test_paths.h"
#include "text/text_error.h"

namespace wendrel {
namespace {

namespace fs = std::filesystem;

class DocumentSetTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& content) {
    fs::path folder = fs::path(::testing::TempDir()) / "document_set_test";
    fs::create_directories(folder);
    std::string path = (folder / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  ScriptedHost host;
  DocumentSet set{host};
};

TEST_F(DocumentSetTest, OneRecordIsRefusedTwoAreLoaded) {
  std::string one = Write("one.txt", "a single record of text");
  EXPECT_FALSE(set.LoadDocuments(one, 0, "\n", 0, 0, false));
  EXPECT_EQ(set.DocumentCount(), 0);
  std::string two = Write("two.txt", "first record here|second record here");
  ASSERT_TRUE(set.LoadDocuments(two, 0, "|", 0, 0, false));
  EXPECT_EQ(set.DocumentCount(), 2);
  EXPECT_EQ(set.Text(1, 0), "second record here");
  EXPECT_EQ(set.FilePath(), two);
}

TEST_F(DocumentSetTest, LoadingIntoAFilledSetIsRefusedUntilCleared) {
  std::string path = Write("refill.txt", "first record here|second record here");
  ASSERT_TRUE(set.LoadDocuments(path, 0, "|", 0, 0, false));
  EXPECT_FALSE(set.LoadDocuments(path, 0, "|", 0, 0, false));
  set.Clear();
  EXPECT_EQ(set.FieldCount(), 0);
  EXPECT_EQ(set.DocumentCount(), 0);
  EXPECT_EQ(set.WordCount(), 0);
  EXPECT_TRUE(set.LoadDocuments(path, 0, "|", 0, 0, false));
}

TEST_F(DocumentSetTest, MinimumRecordBytesCountTwoPerCharacter) {
  // With 16, a record needs 9 characters: "eightchr" (8) is dropped, "ninechars" (9) counts.
  std::string path = Write("sizes.txt", "eightchr|ninechars|another record");
  ASSERT_TRUE(set.LoadDocuments(path, 0, "|", 16, 0, false));
  EXPECT_EQ(set.DocumentCount(), 2);
  EXPECT_EQ(set.Text(0, 0), "ninechars");
  // Characters, not bytes: "é" is one character of two bytes.
  set.Clear();
  std::string accented = Write("accented.txt", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9|ninechars|another record");
  ASSERT_TRUE(set.LoadDocuments(accented, 0, "|", 16, 0, false));
  EXPECT_EQ(set.Text(0, 0), "ninechars");
}

TEST_F(DocumentSetTest, ShortRecordsAboveTheMinimumLeaveEmptyRowsAtTheEnd) {
  // "short" is counted (10 bytes > 0) but holds no more than 8 characters, so it is not stored.
  std::string path = Write("short.txt", "first record|short|last record");
  ASSERT_TRUE(set.LoadDocuments(path, 0, "|", 0, 0, false));
  ASSERT_EQ(set.DocumentCount(), 3);
  EXPECT_EQ(set.Text(1, 0), "last record");
  EXPECT_EQ(set.Text(2, 0), "");
}

TEST_F(DocumentSetTest, MaximumDocumentsAndSubsetFile) {
  fs::path folder = fs::path(::testing::TempDir()) / "document_set_test" / "my.data";
  fs::create_directories(folder);
  std::string path = (folder / "docs.txt").string();
  std::ofstream(path, std::ios::binary) << "first record|second record|third record";
  ASSERT_TRUE(set.LoadDocuments(path, 0, "|", 0, 2, true));
  EXPECT_EQ(set.DocumentCount(), 2);
  // The extension of the file name is replaced; the dot in the folder name stays.
  EXPECT_EQ(path, (folder / "docs_2.txt").string());
  EXPECT_EQ(set.FilePath(), path);
  EXPECT_EQ(test::ReadFile(path), "first record|\r\nsecond record|\r\nthird record|\r\n");
}

TEST_F(DocumentSetTest, HeaderRowIsNotADocument) {
  std::string path = Write("links.txt", "Link\tDiscovered\tContent\nhttp://a.org/x\t2014-01-01\tfirst\n"
                                        "http://b.org/y\t2014-01-02\tsecond\n");
  ASSERT_TRUE(set.LoadDocuments(path, 11, "", 0, 0, false));
  EXPECT_EQ(set.DocumentCount(), 2);
  EXPECT_EQ(set.Text(0, 2), "first");
}

TEST_F(DocumentSetTest, EndPatternOnlyBeforeTheStartLeavesTheFieldEmpty) {
  std::string path = Write("order.txt", "PT J\nAU Author, A\nTI The title\nSO Source\nER\nPT J\nTI Title two\nAU X\nSO Y\nER\n");
  ASSERT_TRUE(set.LoadDocuments(path, 3, "", 0, 0, false));
  EXPECT_EQ(set.Text(0, 1), "Author, ATI The title");  // AU runs to SO, past the title
  EXPECT_EQ(set.Text(0, 0), "");                       // TI ends at AU, which only comes before it
  EXPECT_EQ(set.Text(1, 0), "Title two");
}

TEST_F(DocumentSetTest, TextAccessors) {
  set.SetDocuments({{"a", "b", "c"}, {"d", "e", "f"}}, 0, 2);
  // Format 0 has one field; the table is cut to it.
  EXPECT_EQ(set.FieldCount(), 1);
  set.InitFieldDefs(2, "", "");
  EXPECT_EQ(set.Text(5, 0), "Error (Index exceeds upperbound)");
  EXPECT_EQ(set.Text(-1, 0), "Error (Index exceeds upperbound)");
  EXPECT_EQ(set.FieldName(8), "");
  set.SetFieldName(8, "ignored");
  set.SetFieldName(0, "Id");
  EXPECT_EQ(set.FieldName(0), "Id");
}

TEST_F(DocumentSetTest, TextBeyondTheLastFieldJoinsAllFields) {
  set.SetDocuments({{"ty", "au", "py", "ti", "ab", "n1"}, {"1", "2", "3", "4", "5", "6"}}, 6, 2);
  EXPECT_EQ(set.Text(0, set.FieldCount()), "tyaupytiabn1");
  set.SetText(1, 2, "x");
  set.SetText(9, 2, "ignored");
  EXPECT_EQ(set.Text(1, 6), "12x456");
  EXPECT_FALSE(set.SetDocuments({}, 6, 0));
  EXPECT_EQ(set.FilePath(), fs::path(set.FilePath()).string());
  EXPECT_TRUE(fs::is_directory(set.FilePath()));
}

TEST_F(DocumentSetTest, ExpressionPattern) {
  set.InitFieldDefs(3, "", "");
  set.SetFieldExpressionPattern("1010");
  EXPECT_FALSE(set.FieldExpressed(1));
  EXPECT_TRUE(set.FieldExpressed(2));
  EXPECT_EQ(set.FieldExpressionPattern(), "1010");
  set.SetFieldExpressionPattern("1");  // missing characters mean not expressed
  EXPECT_EQ(set.FieldExpressionPattern(), "1000");
  DocumentSet three(host);
  three.InitFieldDefs(11, "", "");
  three.SetFieldExpressed(1, false);
  EXPECT_EQ(three.FieldExpressionPattern(), "101");
}

TEST_F(DocumentSetTest, RemoveDocumentKeepsTheOthersInOrder) {
  set.SetDocuments({{"zero"}, {"one"}, {"two"}}, 0, 3);
  set.RemoveDocument(1);
  EXPECT_EQ(set.DocumentCount(), 2);
  EXPECT_EQ(set.Text(1, 0), "two");
  EXPECT_THROW(set.RemoveDocument(2), std::out_of_range);
}

TEST_F(DocumentSetTest, ClearKeepsRolesAndExpressedFlags) {
  set.InitFieldDefs(5, "", "");
  set.SetFieldExpressed(0, false);
  set.Clear();
  EXPECT_EQ(set.FieldCount(), 0);
  EXPECT_EQ(set.TitleField(), 2);
  EXPECT_FALSE(set.FieldExpressed(0));
  EXPECT_TRUE(set.FieldExpressed(1));
}

TEST_F(DocumentSetTest, MissingFileIsReported) {
  std::string path = "/nonexistent/folder/docs.txt";
  EXPECT_THROW(set.LoadDocuments(path, 0, "\n", 0, 0, false), TextError);
  EXPECT_THROW(set.InitFieldDefs(1, "", path), TextError);
}

TEST_F(DocumentSetTest, MalformedFieldDefinitionsAreReported) {
  std::string zero = Write("defs0.txt", "0\n");
  EXPECT_THROW(set.InitFieldDefs(1, "", zero), TextError);
  std::string shortDefs = Write("defs_short.txt", "3\n\"<a>\",\"</a>\",A\n");
  EXPECT_THROW(set.InitFieldDefs(1, "", shortDefs), TextError);
}

TEST_F(DocumentSetTest, Windows1252FilesAreDecoded) {
  // "café" and a curly quote in Windows-1252, next to a valid UTF-8 file holding the same.
  std::string legacy = Write("legacy.txt", "caf\xE9 au lait\n\x93quoted\x94 text\n");
  ASSERT_TRUE(set.LoadDocuments(legacy, 0, "\n", 0, 0, false));
  EXPECT_EQ(set.Text(0, 0), "caf\xC3\xA9 au lait");
  EXPECT_EQ(set.Text(1, 0), "\xE2\x80\x9Cquoted\xE2\x80\x9D text");
  DocumentSet utf8(host);
  std::string modern = Write("modern.txt", "\xEF\xBB\xBF" "caf\xC3\xA9 au lait\nsecond line\n");
  ASSERT_TRUE(utf8.LoadDocuments(modern, 0, "\n", 0, 0, false));
  EXPECT_EQ(utf8.Text(0, 0), "caf\xC3\xA9 au lait");  // byte-order mark dropped
}

TEST_F(DocumentSetTest, CarriageReturnsAreRemoved) {
  std::string path = Write("crlf.txt", "first record\r\nsecond record\r\n");
  ASSERT_TRUE(set.LoadDocuments(path, 0, "\n", 0, 0, false));
  EXPECT_EQ(set.Text(0, 0), "first record");
}

}  // namespace
}  // namespace wendrel
