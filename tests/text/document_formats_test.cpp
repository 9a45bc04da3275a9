// Every input format loads its sample file with the key fields in place; the tagged formats also
// read real exports of other tools.
#include <optional>

#include "text_fixtures.h"

namespace wendrel {
namespace {

// A text of document `doc` in `field`; doc -1 means the name of the field.
struct Cell {
  int doc;
  int field;
  const char* text;
};

struct FormatCase {
  int format;
  const char* file;
  int docs;
  int fields;
  const char* names;  // all field names joined by "|", or "" when not checked
  std::vector<Cell> cells;
  std::vector<int> roles = {};  // author, date, title, keywords, content, cited, references, URL
  const char* pattern = nullptr;
};

// Loads with 16 minimum record bytes, which keep out the blank tails after the last record.
void LoadAndCheck(DocumentSet& set, const std::string& file, const FormatCase& c, const std::string& separator = "") {
  std::string path = file;
  ASSERT_TRUE(set.LoadDocuments(path, c.format, separator, 16, 0, false));
  ASSERT_EQ(set.DocumentCount(), c.docs);
  EXPECT_EQ(set.FieldCount(), c.fields);
  std::string names;
  for (int f = 0; f < set.FieldCount(); ++f) names += (f ? "|" : "") + set.FieldName(f);
  if (*c.names) { EXPECT_EQ(names, c.names); }
  for (const Cell& cell : c.cells)
    EXPECT_EQ(cell.doc < 0 ? set.FieldName(cell.field) : set.Text(cell.doc, cell.field), cell.text)
        << "document " << cell.doc << ", field " << cell.field;
  std::vector<int> roles = {set.AuthorField(),  set.DateTimeField(), set.TitleField(),   set.KeyWordField(),
                            set.ContentField(), set.CitedField(),    set.RefListField(), set.URLField()};
  if (!c.roles.empty()) { EXPECT_EQ(roles, c.roles); }
  if (c.pattern) { EXPECT_EQ(set.FieldExpressionPattern(), c.pattern); }
}

const FormatCase kSamples[] = {
    {0, "text_format0.txt", 3, 1, "All Text",  // "short" is under the minimum
     {{1, 0, "Maps of similar articles show where a field clusters."}}},
    // The definitions are part of the first record, so they make a document of their own.
    {1, "text_format1.txt", 3, 2, "Title|Body, with comma",
     {{1, 0, "Pearl growing"}, {1, 1, "Start from one  known article."}, {2, 1, "Counts times inversedocument frequency."}}},
    {2, "text_format2.txt", 2, 8, "Document ID|Profile|Publication Date|Headline|Author|Article Text|Publisher|Page Number",
     {{0, 2, "930101"}, {0, 5, "Barge operators reported more trafficthan in any winter before."}, {0, 7, "Page 4"},
      {1, 1, ""}, {1, 6, "The Harbour Gazette"}}},
    // Continuation lines lose their line feed; their three-space indent shrinks by one pass.
    {3, "text_format3.txt", 2, 4, "Article title|Author(s)|Publication Year|Abstract",
     {{0, 0, "Growing citation chains  from pearls"}, {0, 1, "Lovelace, A  Babbage, C"}, {0, 2, "2001"},
      {1, 3, "A second abstract."}}},
    // The record delimiter takes the line feed after the last line, so a field ending there is
    // empty; the last record's year is the file's last line, without a line feed.
    {4, "text_format4.txt", 2, 5, "",
     {{0, 0, "Citation counts in tagged records"}, {0, 1, "Lovelace, A"}, {0, 2, "2003"},
      {0, 3, "Counting how often an article is cited."}, {0, 4, ""}, {1, 4, "7"}, {1, 2, ""}}},
    {5, "text_format5.txt", 2, 9,
     "Author(s)|Publication Year|Article title|Source|Keywords|Abstract|Times Cited|References|Pearl Relations",
     {{0, 0, "Lovelace, A  Babbage, CAF Lovelace, Ada"}, {0, 1, "2010"}, {0, 2, "Pearl growing for literature searches"},
      {0, 7, "Babbage C, 1830, J TESTS, V1, P1  Hopper G, 1952, J TESTS, V2, P2"}, {0, 8, ";1;"},
      {1, 7, ""}, {1, 6, "0"}},  // no NR line: the references have no end
     {0, 1, 2, 4, 5, 6, 7, 0}, "111111111"},
    // RIS keeps the hyphen; a tag needs a line feed before it, which the file's first lacks.
    {6, "text_format6.txt", 2, 6, "Publication Type|Author(s)|Publication Year|Title|Abstract|Notes",
     {{0, 0, ""}, {1, 0, "- JOUR"}, {0, 3, "- A title"}, {0, 4, "- An abstract about maps."}, {1, 5, ""}},
     {1, 2, 3, 0, 4, 0, 0, 0}},
    // A tweet split by a tab is joined again; leading spaces go; an empty column is dropped.
    {7, "text_format7.txt", 3, 6, "DateTime|User|Tweet|Sent+|Sent-|SentSum",
     {{0, 1, "joe"}, {0, 2, "Great dayat the beach"}, {0, 5, "2"}, {1, 2, "Lovely morning"}, {2, 4, "-3"}}},
    {8, "text_format8.txt", 2, 16, "",
     {{-1, 15, "NetSent"}, {0, 2, "Off to the #beach with @ann http://example.org/a"}, {0, 9, ""},
      {1, 9, "48.8,2.3"}, {1, 15, "2"}}},
    {9, "text_format9.txt", 2, 7, "",
     {{-1, 6, "PUBLISH_DATE"}, {0, 0, "1"}, {1, 3, "Barges came back to the canal."}}},
    {10, "text_format10.txt", 2, 18, "",
     {{-1, 12, "CitationcountWebofScience"}, {0, 11, "Article maps"}, {1, 1, "Hopper"}, {0, 3, "Maps of articles."}},
     {1, 10, 11, 7, 3, 12, 0, 0}},
    // A shorter header gives its own names, unexpressed.
    {10, "text_format10_short_header.txt", 2, 5, "Id|Title|Year|Abstract|Keywords", {{1, 4, "graphs"}}, {}, "00000"},
    // The header row is not a document.
    {11, "text_format11.txt", 2, 3, "", {{1, 0, "http://example.org/b"}, {0, 1, "2014-03-01"}, {0, 2, "A page about canals."}},
     {0, 1, 0, 0, 2, 0, 0, 0}},
};

TEST(Formats, EachLoadsItsSample) {
  for (const FormatCase& c : kSamples) {
    SCOPED_TRACE(c.file);
    ScriptedHost host;
    DocumentSet set(host);
    // A self-described file is cut at the delimiter set beforehand.
    if (c.format == 1) set.InitFieldDefs(0, "@@", "");
    LoadAndCheck(set, test::DataPath(c.file), c, c.format <= 1 ? (c.format ? "@@" : "\n") : "");
    if (c.format == 0) { EXPECT_EQ(set.WordCount(), 10 + 9 + 11); }  // per stored record, spaces plus one
  }
}

// Real exports of other tools; skipped when the shared data is absent.
const std::pair<const char*, FormatCase> kExports[] = {
    {"wos/wosfile_plaintext_50.txt",
     {5, "", 50, 9, "",
      {{0, 2, "Knowledge networks as channels and conduits: The effects of spillovers  in the Boston biotechnology "
              "community"},
       {0, 1, "2004"}, {0, 3, "ORGANIZATION SCIENCE"}, {0, 6, "420"}, {0, 8, ""}}}},  // no pearl relations
    {"wos/wosfile_plaintext_50.txt",
     {4, "", 50, 5, "", {{0, 1, "Owen-Smith, J  Powell, WWAF Owen-Smith, J  Powell, WW"}, {0, 2, "2004"}, {0, 4, "420"}}}},
    // Authors come before the title in these exports, so a title ending at "AU" finds no end.
    {"wos/jabref_IsiImporterTestWOS.isi",
     {3, "", 2, 4, "",
      {{0, 0, ""},
       {0, 1, "Gamernyk, RV  Gnatenko, YP  Bukivskij, PM  Skubenko, PA  Slivka, VYTI Optical and photoelectric "
              "spectroscopy of photorefractive Sn2P2S6  crystals"}}}},
    {"ris/example_urls.ris",
     {6, "", 4, 6, "",
      {{1, 0, "- JOUR"}, {1, 1, "- Shannon,Claude E."}, {1, 2, "- 1948/07//"}, {3, 3, "- A Mathematical Theory of Communication"}}}},
};

TEST(Formats, RealExports) {
  for (const auto& [file, c] : kExports) {
    SCOPED_TRACE(file);
    std::optional<std::string> path = test::SharedPath(file);
    if (!path) GTEST_SKIP() << "shared test data absent";
    ScriptedHost host;
    DocumentSet set(host);
    LoadAndCheck(set, *path, c);
  }
}

}  // namespace
}  // namespace wendrel
