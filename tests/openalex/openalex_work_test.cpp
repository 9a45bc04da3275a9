// OpenAlex works read into publications (names, real replies) and imported from a gzipped snapshot
// file into a corpus the corpus service serves.
#include "openalex/openalex_work.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <nlohmann/json.hpp>

#include "corpus/corpus_import.h"
#include "openalex/openalex_import.h"
#include "corpus/corpus_reader.h"
#include "service_fixtures.h"
#include "test_paths.h"

namespace wendrel {
namespace {

TEST(OpenAlexWorkTest, NamesSplitIntoLastAndFirst) {
  struct Case {
    const char* name;
    const char* last;
    const char* first;
  } cases[] = {
      {"George A. Akerlof", "Akerlof", "George A."},
      {"Akerlof, George A.", "Akerlof", "George A."},
      {"  Plato ", "Plato", ""},
      // Without blanks the name is a family name whole: a Chinese name is not split between its characters.
      {"王小明", "王小明", ""},
      {"L.V. Nevzgodina", "Nevzgodina", "L.V."},
      // Particles go with the family name, however the name is ordered; capitalised ones are names.
      {"Marc de Perrot", "de Perrot", "Marc"},
      {"Johannes Diderik van der Waals", "van der Waals", "Johannes Diderik"},
      {"Perrot, Marc de", "de Perrot", "Marc"},
      {"van der Waals, Johannes", "van der Waals", "Johannes"},
      {"Nguyen Van Anh", "Anh", "Nguyen Van"},
      // Suffixes stay out of the family name and follow the given names.
      {"Martin Luther King Jr.", "King", "Martin Luther, Jr."},
      {"Martin Luther King, Jr.", "King", "Martin Luther, Jr."},
      {"King, Martin Luther, Jr.", "King", "Martin Luther, Jr."},
      {"Henry Ford II", "Ford", "Henry, II"},
      {"Ford III", "Ford", "III"},
      {" , ", "", ""},
  };
  for (const Case& c : cases) {
    const PublicationAuthor a = SplitAuthorName(c.name);
    EXPECT_EQ(a.lastName, c.last) << c.name;
    EXPECT_EQ(a.firstName, c.first) << c.name;
  }
}

// The fixture's works are modelled on these two.
TEST(OpenAlexWorkTest, RealRepliesReadAsExpected) {
  auto journal = test::SharedPath("openalex/work_W2099326003.json");
  auto conference = test::SharedPath("openalex/work_W2962935454.json");
  if (!journal || !conference) GTEST_SKIP() << "shared OpenAlex replies absent";
  const Publication j = ReadOpenAlexWork(nlohmann::json::parse(test::ReadFile(*journal))).publication;
  EXPECT_EQ(j.id, "w2099326003");
  EXPECT_EQ(j.doi, "10.2307/1885099");
  EXPECT_EQ(j.venueKind, VenueKind::Journal);
  EXPECT_EQ(j.authors.at(0).lastName, "Akerlof");
  EXPECT_EQ(j.abstract.rfind("This paper explains involuntary unemployment", 0), 0u);
  const Publication c = ReadOpenAlexWork(nlohmann::json::parse(test::ReadFile(*conference))).publication;
  EXPECT_EQ(c.venueKind, VenueKind::Conference);
  EXPECT_EQ(c.authors.at(2).lastName, "Sener");  // the byline's spelling; the profile says "Şener"
}

// Names are the byline's: the author profile a byline was matched to may be another person's.
TEST(OpenAlexWorkTest, RealBylinesGiveTheNames) {
  auto many = test::SharedPath("openalex/work_W2101234009.json");
  auto page = test::SharedPath("openalex/list_page_5.json");
  if (!many || !page) GTEST_SKIP() << "shared OpenAlex replies absent";
  const nlohmann::json work = nlohmann::json::parse(test::ReadFile(*many));
  std::vector<std::pair<std::string, std::string>> names;  // first, last
  for (const PublicationAuthor& a : ReadOpenAlexWork(work).publication.authors) names.emplace_back(a.firstName, a.lastName);
  ASSERT_EQ(names.size(), 16u);
  EXPECT_EQ(names[8], (std::pair<std::string, std::string>{"Ron", "Weiss"}));         // profile: "Ron J. Weiss"
  EXPECT_EQ(names[14], (std::pair<std::string, std::string>{"Matthieu", "Perrot"}));  // profile: "Marc de Perrot"
  // Without a byline the profile's name stands in, split with its particle.
  nlohmann::json profileOnly = work;
  for (auto& authorship : profileOnly["authorships"]) authorship.erase("raw_author_name");
  const PublicationAuthor marc = ReadOpenAlexWork(profileOnly).publication.authors.at(14);
  EXPECT_EQ(marc.firstName, "Marc");
  EXPECT_EQ(marc.lastName, "de Perrot");

  // A one-word byline, initials without a blank, a byline whose order differs from the profile's.
  std::vector<std::pair<std::string, std::string>> listed;
  const nlohmann::json results = nlohmann::json::parse(test::ReadFile(*page))["results"];
  for (const nlohmann::json& result : results)
    for (const PublicationAuthor& a : ReadOpenAlexWork(result).publication.authors)
      listed.emplace_back(a.firstName, a.lastName);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"G.", "Wentworth"}, {"Moses John", "Strydom"}, {"Sheryl", "Buckley"}, {"L.V.", "Nevzgodina"},
      {"V.G.", "Kuznetsov"}, {"", "Sychkov"},      {"Pang", "Ying"}};
  EXPECT_EQ(listed, expected);
}

TEST(OpenAlexImportTest, AGzippedFileBecomesACorpus) {
  test::TempDir dir;
  const std::string input = dir.Path("works.jsonl.gz");
  {
    gzFile out = gzopen(input.c_str(), "wb");
    ASSERT_TRUE(out);
    std::string lines = test::ReadFile(test::DataPath("openalex_works.jsonl"));
    lines += "{\"title\":\"no id\"}\n{broken\n";
    gzwrite(out, lines.data(), static_cast<unsigned>(lines.size()));
    gzclose(out);
  }
  std::vector<int64_t> problems;
  int64_t lastDone = 0, lastTotal = -1;
  ImportSummary summary = ImportOpenAlexCorpus(
      input, dir.Path("works.sqlite"), [&](int64_t line, const std::string&) { problems.push_back(line); },
      [&](int64_t done, int64_t total) { lastDone = done, lastTotal = total; });
  EXPECT_EQ(summary.publications, 8);
  EXPECT_EQ(problems, (std::vector<int64_t>{9, 10}));
  EXPECT_EQ(lastDone, lastTotal);
  EXPECT_GT(lastTotal, 0);

  // Counts and lists are those within the file.
  CorpusReader corpus(dir.Path("works.sqlite"));
  std::vector<std::string> references;
  for (const Publication& p : corpus.References("W200", PublicationOrder::CitationCount, 0, 10).items)
    references.push_back(p.id);
  EXPECT_EQ(references, (std::vector<std::string>{"w100", "w10", "w12"}));
  EXPECT_EQ(corpus.Load("W100")->citationCount, 4);
  // A compressed file cut short fails the import and leaves the corpus as it was.
  std::string whole = test::ReadFile(input);
  test::WriteText(dir.Path("cut.jsonl.gz"), whole.substr(0, whole.size() / 2));
  EXPECT_THROW(ImportOpenAlexCorpus(dir.Path("cut.jsonl.gz"), dir.Path("works.sqlite"), nullptr), ServiceError);
  EXPECT_EQ(CorpusReader(dir.Path("works.sqlite")).Load("W302")->referenceCount, 2);
}

// A malformed work is skipped with its reason, as the corpus import skips a malformed line.
TEST(OpenAlexImportTest, MalformedWorksAreReportedAndSkipped) {
  test::TempDir dir;
  test::WriteText(dir.Path("works.jsonl"), "{\"id\":\"W1\",\"cited_by_count\":-1e999}\n{\"id\":\"W2\"}\n");
  std::vector<std::pair<int64_t, std::string>> problems;
  ImportSummary works = ImportOpenAlexCorpus(dir.Path("works.jsonl"), dir.Path("works.sqlite"),
                                             [&problems](int64_t line, const std::string& reason) {
                                               problems.emplace_back(line, reason);
                                             });
  EXPECT_EQ(works.publications, 1);
  EXPECT_EQ(problems, (std::vector<std::pair<int64_t, std::string>>{{1, "not valid JSON (a number out of range)"}}));
}

}  // namespace
}  // namespace wendrel
