// Libraries told by their content: CSL-JSON in its several wrappings, BibTeX under any name and
// after a comment, RIS, lists of DOIs, and files that are none of them.
#include "review/library_reader.h"

#include <gtest/gtest.h>

#include "review/review_error.h"
#include "test_paths.h"

namespace wendrel {
namespace {

TEST(LibraryReader, CslJsonItemsGiveTheirAuthorsYearsAndDois) {
  const Library library = ReadLibrary(test::ReadFile(test::DataPath("review_library.json")));
  EXPECT_EQ(library.format, LibraryFormat::CslJson);
  ASSERT_EQ(library.entries.size(), 3u);  // "not an item" is passed over
  const RisReference& growth = library.entries[0];
  EXPECT_EQ(growth.firstAuthor, "Øberg, Lena");
  EXPECT_EQ(growth.coAuthors, (std::vector<std::string>{"Berg, Ole", "The Pearl Group"}));
  EXPECT_EQ(growth.year, "2019");
  EXPECT_EQ(growth.doi, "10.1000/growth");
  EXPECT_EQ(growth.keywords, (std::vector<std::string>{"networks", "citations"}));
  EXPECT_EQ(library.entries[1].year, "2005");
  EXPECT_EQ(library.entries[2].firstAuthor, "");  // values of the wrong kind are absent
  EXPECT_EQ(library.entries[2].year, "");

  EXPECT_EQ(ReadLibrary(R"({"items": [{"title": "One"}, {"title": "Two"}]})").entries.size(), 2u);
  EXPECT_EQ(ReadLibrary(R"({"type": "book", "title": "Alone"})").entries.at(0).title, "Alone");
}

TEST(LibraryReader, TheContentDecidesTheFormat) {
  const Library bib = ReadLibrary("% Encoding: UTF-8\n\n@article{k, author = {M{\\\"u}ller, J.}, title = {T}, year = 2001}\n");
  EXPECT_EQ(bib.format, LibraryFormat::BibTeX);
  ASSERT_EQ(bib.entries.size(), 1u);
  EXPECT_EQ(bib.entries[0].firstAuthor, "Müller, J.");
  const Library ris = ReadLibrary("TY  - JOUR\r\nAU  - Berg, Ole\r\nTI  - T\r\nER  - \r\n");
  EXPECT_EQ(ris.format, LibraryFormat::Ris);
  const Library dois = ReadLibrary("# my library\nhttps://doi.org/10.1000/A\n10.1000/b\n");
  EXPECT_EQ(dois.format, LibraryFormat::IdentifierList);
  ASSERT_EQ(dois.entries.size(), 2u);
  // Windows-1252 bytes are read as such.
  EXPECT_EQ(ReadLibrary("TY  - JOUR\r\nAU  - M\xFCller, J.\r\nER  - \r\n").entries.at(0).firstAuthor, "Müller, J.");
}

TEST(LibraryReader, FilesThatHoldNoLibraryAreRefusedWithTheReason) {
  auto reason = [](const std::string& text) {
    try {
      ReadLibrary(text);
    } catch (const ReviewError& e) {
      return std::string(e.what());
    }
    return std::string("read");
  };
  EXPECT_EQ(reason("\n \n"), "it is empty");
  EXPECT_EQ(reason("[{\"title\": \"cut off\""), "it is not JSON");
  EXPECT_EQ(reason("{\"results\": []}"), "it is JSON, but holds no CSL-JSON item");
  EXPECT_EQ(reason("[]"), "it holds no entry (read as CSL-JSON)");
  EXPECT_EQ(reason("FN Clarivate Analytics Web of Science\nPT J\nER\n"), "it is a Web of Science file, not RIS");
  EXPECT_EQ(reason("Dear colleague,\nhere are the papers.\n"), "it is no BibTeX, RIS or CSL-JSON file and no list of DOIs");
}

}  // namespace
}  // namespace wendrel
