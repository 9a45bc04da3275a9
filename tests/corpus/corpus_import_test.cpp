// Importing JSON Lines into a corpus file: derived counts against an oracle computed straight from
// the lines, malformed lines, and what is left on disk when an import fails.
#include "corpus/corpus_import.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "corpus/corpus_generator.h"
#include "corpus/corpus_reader.h"
#include "service/service_error.h"
#include "service_fixtures.h"
#include "test_paths.h"

namespace wendrel {
namespace {

using Problems = std::vector<std::pair<int64_t, std::string>>;

ImportSummary Import(const std::string& input, const std::string& output, Problems* problems = nullptr) {
  return ImportCorpus(input, output, [problems](int64_t line, const std::string& reason) {
    if (problems) problems->emplace_back(line, reason);
  });
}

TEST(CorpusImportTest, DerivedCountsAndListsMatchTheLines) {
  test::TempDir dir;
  std::ostringstream lines;
  GenerateCorpus(400, 11, lines);
  // References outside the corpus, repeated ones and a self-reference on top.
  lines << R"({"id":5000001,"title":"Dangling","references":[1,2,3,5000001,5000002,5000002]})" << "\n";
  lines << R"({"id":5000002,"title":"Cites the classics","references":[1009,1009]})" << "\n";
  test::WriteText(dir.Path("corpus.jsonl"), lines.str());
  Problems problems;
  ImportSummary summary = Import(dir.Path("corpus.jsonl"), dir.Path("corpus.sqlite"), &problems);
  EXPECT_TRUE(problems.empty());

  // The oracle: distinct references other than the publication itself; citers by cited.
  std::map<int64_t, std::set<int64_t>> references, citers;
  std::istringstream in(lines.str());
  for (std::string line; std::getline(in, line);) {
    auto json = nlohmann::json::parse(line);
    int64_t id = json["id"];
    references[id];
    for (int64_t r : json["references"])
      if (r != id) references[id].insert(r);
  }
  int64_t total = 0, outside = 0;
  for (const auto& [id, cited] : references)
    for (int64_t r : cited) {
      ++total;
      if (references.count(r))
        citers[r].insert(id);
      else
        ++outside;
    }
  EXPECT_EQ(summary.publications, 402);
  EXPECT_EQ(summary.references, total);
  EXPECT_EQ(summary.outsideReferences, outside);
  EXPECT_GE(outside, 3);

  CorpusReader reader(dir.Path("corpus.sqlite"));
  auto citationCount = [&](int64_t id) { return static_cast<int64_t>(citers[id].size()); };
  // Every list in the oracle's order (most cited first, ties by ID), read in pages of 100.
  auto inOrder = [&](const std::set<int64_t>& ids) {
    std::vector<int64_t> list;
    std::copy_if(ids.begin(), ids.end(), std::back_inserter(list), [&](int64_t id) { return references.count(id); });
    std::sort(list.begin(), list.end(), [&](int64_t a, int64_t b) {
      return citationCount(a) != citationCount(b) ? citationCount(a) > citationCount(b) : a < b;
    });
    return list;
  };
  auto readAll = [&](bool citing, int64_t id) {
    std::vector<int64_t> list;
    for (int64_t offset = 0;; offset += 100) {
      std::string key = std::to_string(id);
      PublicationPage page = citing ? reader.Citing(key, PublicationOrder::CitationCount, offset, 100)
                                    : reader.References(key, PublicationOrder::CitationCount, offset, 100);
      for (const auto& p : page.items) list.push_back(std::stoll(p.id));
      if (page.items.size() < 100) {
        EXPECT_EQ(page.total, static_cast<int64_t>(list.size()));
        return list;
      }
    }
  };
  size_t longest = 0;
  for (const auto& [id, cited] : references) {
    std::optional<Publication> p = reader.Load(std::to_string(id));
    ASSERT_TRUE(p) << id;
    EXPECT_EQ(p->referenceCount, static_cast<int64_t>(cited.size())) << id;
    EXPECT_EQ(p->citationCount, citationCount(id)) << id;
    EXPECT_EQ(readAll(false, id), inOrder(cited)) << id;
    std::vector<int64_t> citing = readAll(true, id);
    EXPECT_EQ(citing, inOrder(citers[id])) << id;
    longest = std::max(longest, citing.size());
  }
  EXPECT_GT(longest, 100u);  // some list really spans pages
}

TEST(CorpusImportTest, MalformedLinesAreReportedWithTheirNumberAndSkipped) {
  test::TempDir dir;
  std::string input = dir.Path("bad.jsonl");
  test::WriteText(input,
                  "\xEF\xBB\xBF{\"id\":1,\"title\":\"Fine\"}\n"                      // 1 (with a BOM)
                  "{not json\n"                                                        // 2
                  "[1,2]\n"                                                            // 3
                  "{\"title\":\"no id\"}\n"                                            // 4
                  "{\"id\":-3,\"title\":\"x\"}\n"                                      // 5
                  "{\"id\":\" \",\"title\":\"x\"}\n"                                   // 6
                  "{\"id\":8}\n"                                                       // 7
                  "{\"id\":9,\"title\":\"x\",\"venue\":{\"kind\":\"book\",\"name\":\"b\"}}\n"  // 8
                  "{\"id\":10,\"title\":\"x\",\"references\":[1,[2]]}\n"              // 9
                  "{\"id\":1,\"title\":\"Twice\"}\n"                                   // 10
                  "\n"                                                                 // 11: blank
                  "{\"id\":11,\"title\":\"Windows line\",\"references\":[1]}\r\n"      // 12
                  "{\"id\":12,\"title\":\"x\",\"year\":\"2001\"}\n"                    // 13
                  "{\"id\":13,\"title\":\"bad \xff byte\"}\n"                          // 14
                  "{\"id\":14,\"title\":\"x\",\"authors\":[\"Smith\"]}\n"              // 15
                  "{\"id\":15,\"title\":\"x\",\"urls\":\"http://a\"}\n"                // 16
                  "{\"id\":16,\"title\":\"Last\",\"abstract\":null,\"venue\":null}");  // 17, no newline
  Problems problems;
  ImportSummary summary = Import(input, dir.Path("bad.sqlite"), &problems);
  std::vector<int64_t> lines;
  for (const auto& [line, reason] : problems) {
    lines.push_back(line);
    EXPECT_FALSE(reason.empty()) << line;
  }
  EXPECT_EQ(lines, (std::vector<int64_t>{2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 14, 15, 16}));
  EXPECT_EQ(summary.skippedLines, 13);
  EXPECT_EQ(summary.publications, 3);
  ASSERT_GE(problems.size(), 9u);
  EXPECT_NE(problems[8].second.find("duplicate"), std::string::npos);

  CorpusReader reader(dir.Path("bad.sqlite"));
  EXPECT_EQ(reader.Load("1")->title, "Fine");  // the first of the two lines with ID 1
  EXPECT_EQ(reader.Load("1")->citationCount, 1);
  EXPECT_TRUE(reader.Load("16"));
  EXPECT_FALSE(reader.Load("9"));
}

// The one-line reading the fuzz target drives is the import's own: the same reasons, the same work.
TEST(CorpusImportTest, OneLineReadsAsTheImportReadsIt) {
  const std::vector<std::string> lines = {
      R"({"id":"P7","title":"Fine","year":2001,"authors":[{"last":"Kowalski"}],"references":[3,"P9",3]})",
      "{not json",
      R"({"id":8})",
      R"({"id":9,"title":"x","venue":{"kind":"book","name":"b"}})",
      R"({"id":12,"title":"x","year":"2001"})",
      // The parser refuses a number beyond double's range; that once ended the whole import.
      R"({"id":13,"title":"x","year":1e400})"};
  test::TempDir dir;
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  test::WriteText(dir.Path("lines.jsonl"), text);
  Problems problems;
  Import(dir.Path("lines.jsonl"), dir.Path("lines.sqlite"), &problems);
  ASSERT_EQ(problems.size(), 5u);
  EXPECT_EQ(problems[4].second, "not valid JSON (a number out of range)");
  for (const auto& [line, reason] : problems) {
    try {
      ReadCorpusLine(lines.at(static_cast<size_t>(line - 1)));
      ADD_FAILURE() << "line " << line << " read";
    } catch (const CorpusLineError& e) {
      EXPECT_EQ(e.what(), reason);
    }
  }
  ImportedWork work = ReadCorpusLine(lines[0]);
  EXPECT_EQ(work.publication.id, "P7");
  EXPECT_EQ(work.publication.year, 2001);
  ASSERT_EQ(work.publication.authors.size(), 1u);
  EXPECT_EQ(work.publication.authors[0].lastName, "Kowalski");
  EXPECT_EQ(work.references, (std::vector<std::string>{"3", "P9", "3"}));

}

TEST(CorpusImportTest, ReplacesTheOldFileWholeOrNotAtAll) {
  test::TempDir dir;
  auto filesInDir = [&] { return std::distance(std::filesystem::directory_iterator(dir.Root()), {}); };
  std::string output = dir.Path("corpus.sqlite");
  test::WriteText(output, "old");
  EXPECT_THROW(Import(dir.Path("missing.jsonl"), output), ServiceError);
  test::WriteText(dir.Path("in.jsonl"), R"({"id":1,"title":"New"})");
  EXPECT_THROW(Import(dir.Path("in.jsonl"), dir.Path("no/such/folder/out.sqlite")), ServiceError);
  // A failure in the middle of the import (the handler gives up) removes the temporary file.
  test::WriteText(dir.Path("bad.jsonl"), "{\"id\":1,\"title\":\"x\"}\nnot json\n");
  EXPECT_THROW(ImportCorpus(dir.Path("bad.jsonl"), output,
                            [](int64_t, const std::string&) { throw ServiceError("stop"); }),
               ServiceError);
  EXPECT_EQ(test::ReadFile(output), "old");
  EXPECT_EQ(filesInDir(), 3);  // corpus.sqlite, in.jsonl, bad.jsonl
  Import(dir.Path("in.jsonl"), output);
  EXPECT_EQ(CorpusReader(output).Load("1")->title, "New");
  EXPECT_EQ(filesInDir(), 3);
}

TEST(CorpusImportTest, TextIdsMeetWithoutRegardToCase) {
  test::TempDir dir;
  Problems problems;
  test::WriteText(dir.Path("text.jsonl"),
                  "{\"id\":\"W10\",\"title\":\"Cited\"}\n"
                  "{\"id\":\"W11\",\"title\":\"Cites\",\"references\":[\"w10\",\"W99\",12,\"12\",\"p-7\"]}\n"
                  "{\"id\":12,\"title\":\"Number\",\"references\":[\"W10\"]}\n"
                  "{\"id\":\"w10\",\"title\":\"Again\"}\n"
                  "{\"id\":\"P-7\",\"title\":\"Neither number nor letter and number\"}\n");
  ImportSummary summary = Import(dir.Path("text.jsonl"), dir.Path("text.sqlite"), &problems);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].first, 4);
  EXPECT_EQ(summary.references, 5);  // W10, W99, 12 and P-7 from W11; W10 from 12
  EXPECT_EQ(summary.outsideReferences, 1);
  CorpusReader reader(dir.Path("text.sqlite"));
  EXPECT_EQ(reader.Load("w10")->id, "W10");
  EXPECT_EQ(reader.Load("W10")->citationCount, 2);
  EXPECT_EQ(reader.Load("W11")->referenceCount, 4);
  std::vector<std::string> cited;
  for (const Publication& p : reader.References("W11", PublicationOrder::CitationCount, 0, 10).items)
    cited.push_back(p.id);
  EXPECT_EQ(cited, (std::vector<std::string>{"W10", "12", "P-7"}));  // 12 and P-7 tie: file order
}

// Corpus files written before IDs were texts: the row number is the ID.
TEST(CorpusReaderTest, ReadsFilesWithNumericIds) {
  test::TempDir dir;
  {
    SqliteDb old(dir.Path("old.sqlite"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    old.Execute(R"sql(
      CREATE TABLE corpus_info(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
      CREATE TABLE venue(id INTEGER PRIMARY KEY, kind INTEGER NOT NULL, name TEXT NOT NULL);
      CREATE TABLE publication(id INTEGER PRIMARY KEY, title TEXT NOT NULL, abstract TEXT NOT NULL,
        year INTEGER NOT NULL, venue_id INTEGER, doi TEXT NOT NULL, authors TEXT NOT NULL, keywords TEXT NOT NULL,
        urls TEXT NOT NULL, citation_count INTEGER NOT NULL, reference_count INTEGER NOT NULL);
      CREATE TABLE reference_edge(citing INTEGER NOT NULL, cited_citations INTEGER NOT NULL, cited INTEGER NOT NULL,
        PRIMARY KEY(citing, cited_citations DESC, cited)) WITHOUT ROWID;
      CREATE TABLE citation_edge(cited INTEGER NOT NULL, citing_citations INTEGER NOT NULL, citing INTEGER NOT NULL,
        PRIMARY KEY(cited, citing_citations DESC, citing)) WITHOUT ROWID;
      CREATE VIRTUAL TABLE publication_text USING fts5(title, abstract, authors, journal, conference,
        content='', tokenize='unicode61 remove_diacritics 0');
      INSERT INTO corpus_info VALUES('format', 'wendrel-corpus-1');
      INSERT INTO publication VALUES(7, 'Old cited', '', 1999, NULL, '', '[[1,"Ada","Byron"]]', '[]', '[]', 1, 0);
      INSERT INTO publication VALUES(12, 'Old citing', '', 2001, NULL, '', '[]', '[]', '[]', 0, 1);
      INSERT INTO reference_edge VALUES(12, 1, 7);
      INSERT INTO citation_edge VALUES(7, 0, 12);
      INSERT INTO publication_text(rowid, title, abstract, authors) VALUES(7, 'Old cited', '', 'Ada Byron');
    )sql");
  }
  CorpusReader reader(dir.Path("old.sqlite"));
  EXPECT_EQ(reader.Load("7")->authors.at(0).lastName, "Byron");
  EXPECT_FALSE(reader.Load("07"));
  EXPECT_FALSE(reader.Load("W7"));
  EXPECT_EQ(reader.References("12", PublicationOrder::CitationCount, 0, 10).items.at(0).id, "7");
  EXPECT_EQ(reader.Citing("7", PublicationOrder::Year, 0, 10).items.at(0).id, "12");
  SearchCriteria criteria;
  criteria.author = "byron";
  EXPECT_EQ(reader.Search(criteria, PublicationOrder::Rank, 0, 10).items.at(0).id, "7");
}

TEST(CorpusReaderTest, RefusesWhatIsNoCorpus) {
  // A missing file and a text file are refused by the serve command's tests; here a foreign database.
  test::TempDir dir;
  {
    SqliteDb other(dir.Path("other.sqlite"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    other.Execute("CREATE TABLE corpus_info(key TEXT, value TEXT); INSERT INTO corpus_info VALUES('format', 'x')");
  }
  EXPECT_THROW(CorpusReader(dir.Path("other.sqlite")), ServiceError);
  test::BuildCorpus(dir, "empty", "");
  SearchCriteria criteria;
  criteria.title = "anything";
  EXPECT_EQ(CorpusReader(dir.Path("empty.sqlite")).Search(criteria, PublicationOrder::Rank, 0, 10).total, 0);
}

}  // namespace
}  // namespace wendrel
