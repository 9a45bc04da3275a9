// OpenAlex works read into publications (names, real replies) and imported from a gzipped snapshot
// file into a corpus the corpus service serves.
#include "service/openalex_work.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <nlohmann/json.hpp>

#include "service/corpus_import.h"
#include "service/corpus_reader.h"
#include "service_fixtures.h"
#include "test_paths.h"

namespace wendrel {
namespace {

// Other names are checked where the gateway maps whole works.
TEST(OpenAlexWorkTest, AOneWordNameIsTheLastName) {
  const PublicationAuthor a = SplitAuthorName("  Plato ");
  EXPECT_EQ(a.firstName, "");
  EXPECT_EQ(a.lastName, "Plato");
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
  EXPECT_EQ(c.authors.at(2).lastName, "Şener");
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

}  // namespace
}  // namespace wendrel
