// The report of a session grown from the local service: its per-search counts against counts taken
// straight from the corpus, totals that add up, the screening counted over the records reached,
// and the written forms (JSON layout, escaping in HTML, Markdown and CSV).
#include "review/report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "../chain/chain_fixture.h"
#include "fake_http_client.h"
#include "session/session_file.h"

namespace wendrel {
namespace {

constexpr const char* kSource = "corpus file review.sqlite (1,024 bytes, modified 2026-12-01T08:00:00Z)";

// Seeds 1001 and 1002; 1001 cites 1-30, 501 (the same work as 5) and 999999 (not in the corpus),
// 1002 cites 20-40 and 1001; 25-45 and 1002 cite 1001, 1-10 (but 3) and 1003 cite 1002. Article 3,
// included and grown as a pearl of generation 1, cites 4, 50 and 51 and is cited by 60 and 1001.
std::vector<nlohmann::json> ReviewCorpus() {
  std::vector<nlohmann::json> corpus;
  for (int64_t k = 1; k <= 60; ++k) {
    std::vector<int64_t> references;
    if (k >= 25 && k <= 45) references.push_back(1001);
    if (k <= 10) references.push_back(1002);
    if (k == 3) references = {4, 50, 51};
    if (k == 60) references = {3};
    corpus.push_back(test::Publication(k, "Article " + std::to_string(k), references, "Writer" + std::to_string(k),
                                       "Kim", 1990 + static_cast<int>(k % 30)));
  }
  corpus.push_back(test::Publication(501, "ARTICLE 5", {}, "Writer5", "Kim", 1995));
  std::vector<int64_t> first = {501, 999999};
  for (int64_t k = 1; k <= 30; ++k) first.push_back(k);
  std::vector<int64_t> second = {1001};
  for (int64_t k = 20; k <= 40; ++k) second.push_back(k);
  corpus.push_back(test::Publication(1001, "First seed", first, "Seed", "Ann", 2001));
  corpus.push_back(test::Publication(1002, "<i>Less</i> & more | pipes", second, "Seed", "Bob", 2002));
  corpus.push_back(test::Publication(1003, "Third", {1002}, "Other", "Cy", 2003));
  return corpus;
}

// What the corpus itself says: the references of a work that are in the corpus, and the works
// citing it.
struct CorpusCounts {
  std::map<int64_t, std::vector<int64_t>> references;

  explicit CorpusCounts(const std::vector<nlohmann::json>& corpus) {
    for (const auto& p : corpus) references[p["id"].get<int64_t>()] = p["references"].get<std::vector<int64_t>>();
  }
  std::vector<int64_t> Backward(int64_t work) const {
    std::vector<int64_t> found;
    for (int64_t r : references.at(work))
      if (references.count(r)) found.push_back(r);
    return found;
  }
  std::vector<int64_t> Forward(int64_t work) const {
    std::vector<int64_t> found;
    for (const auto& [id, refs] : references)
      if (std::find(refs.begin(), refs.end(), work) != refs.end()) found.push_back(id);
    return found;
  }
};

class ReportTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { s_corpus = new test::ServedCorpus(ReviewCorpus()); }
  static void TearDownTestSuite() { delete s_corpus; }

  // A chain that asks no service: the report comes from the file alone.
  struct Offline {
    ScriptedHost host;
    test::FakeHttpClient http;
    MASCitationChain chain{host, http, "http://127.0.0.1:1"};
  };

  // Grows the seeds, then article 3 as a pearl of generation 1, into a session file.
  std::string GrowSession(int32_t citingLimit = 500) {
    const std::string path = dir.Path("review.wendrel");
    chain.SetLargeCitationLimit(citingLimit);
    auto session = SessionFile::Create(path, chain, kSource);
    session->Attach(chain);
    EXPECT_NE(test::AddPearl(chain, "1001"), 0);
    EXPECT_NE(test::AddPearl(chain, "1002"), 0);
    chain.SetNewPearlGeneration(1);
    EXPECT_NE(test::AddPearl(chain, "3"), 0);
    EXPECT_EQ(session->WriteError(), "");
    return path;
  }

  static int32_t Record(const MASCitationChain& chain, const std::string& pk) { return chain.FindIndex(pk, "", ""); }

  static inline test::ServedCorpus* s_corpus = nullptr;
  test::TempDir dir;
  ScriptedHost host;
  test::RecordingHttpClient http;
  MASCitationChain chain{host, http, s_corpus->BaseAddress()};
};

TEST_F(ReportTest, SearchesAndTotalsMatchTheCorpusAndTheScreening) {
  const std::string path = GrowSession();
  Offline reader;
  auto session = SessionFile::Open(path);
  session->Restore(reader.chain);
  MASCitationChain& restored = reader.chain;
  ScreeningBook& book = restored.Screenings();
  book.Decide(Record(restored, "3"), Verdict::Included);
  book.Decide(Record(restored, "4"), Verdict::Excluded, "wrong outcome");
  book.Decide(Record(restored, "6"), Verdict::Excluded, "wrong population");
  book.Decide(Record(restored, "7"), Verdict::Excluded, "wrong outcome");
  book.Decide(Record(restored, "8"), Verdict::Excluded, "not in our list");
  book.Decide(Record(restored, "9"), Verdict::Maybe);
  book.SetKnown(Record(restored, "10"), true);
  // An article no search reached (here one put in the book by hand) is no record of the citation
  // searching: its decision is not counted.
  book.Decide(restored.Count() + 1, Verdict::Included);

  const Report report = MakeReport(*session, restored);
  const CorpusCounts corpus(ReviewCorpus());
  ASSERT_EQ(report.searches.size(), 6u);
  std::set<int64_t> reached;  // corpus works, the same work under two IDs once
  for (const ReportSearch& s : report.searches) {
    const int64_t pearl = std::stoll(s.pearl);
    const std::vector<int64_t> expected =
        s.relation == PearlRelation::Cited ? corpus.Backward(pearl) : corpus.Forward(pearl);
    SCOPED_TRACE(s.pearl + " " + SearchDirectionName(s.relation));
    EXPECT_EQ(s.retrieved, static_cast<int32_t>(expected.size()));
    EXPECT_EQ(s.expected, static_cast<int64_t>(expected.size()));
    EXPECT_EQ(s.generation, s.pearl == "3" ? 1 : 0);
    EXPECT_EQ(s.source, kSource);
    EXPECT_EQ(s.status, "complete");
    EXPECT_EQ(s.date.size(), 20u) << s.date;
    for (int64_t work : expected) reached.insert(work == 501 ? 5 : work);
  }
  EXPECT_EQ(report.searches[0].pearl, "1001");
  EXPECT_EQ(report.searches[0].relation, PearlRelation::Cited);
  EXPECT_EQ(report.searches[1].relation, PearlRelation::Citing);
  EXPECT_EQ(report.seeds, 2);

  const ReportTotals& t = report.totals;
  int64_t identified = 0;
  for (const ReportSearch& s : report.searches) identified += s.retrieved;
  EXPECT_EQ(t.identified, identified);
  EXPECT_EQ(t.unique, static_cast<int64_t>(reached.size()));
  EXPECT_EQ(t.identified - t.duplicatesRemoved, t.unique);
  EXPECT_GT(t.duplicatesRemoved, 0);
  EXPECT_EQ(t.included, 1);
  EXPECT_EQ(t.excluded, 4);
  const std::vector<std::pair<std::string, int64_t>> reasons = {
      {"wrong population", 1}, {"wrong outcome", 2}, {"not in our list", 1}};
  EXPECT_EQ(t.excludedByReason, reasons) << "the session's reasons in their order, then the others";
  EXPECT_EQ(t.maybe, 1);
  EXPECT_EQ(t.known, 1);
  EXPECT_EQ(t.screened, 6);
  EXPECT_EQ(t.screened + t.undecided, t.unique);

  // Generation 1 brought what article 3's growth reached first: 50, 51 and 60 (4 was there).
  ASSERT_EQ(report.generations.size(), 2u);
  EXPECT_EQ(report.generations[0].pearls, 2);
  EXPECT_EQ(report.generations[1].pearls, 1);
  EXPECT_EQ(report.generations[1].records, 3);
  EXPECT_EQ(report.generations[0].records + report.generations[1].records, t.unique);
  EXPECT_EQ(report.generations[0].included, 1);
  EXPECT_EQ(report.generations[1].included, 0);
  EXPECT_EQ(report.stoppedAfter, 1);
  EXPECT_EQ(report.stoppingPoint, "Growing stopped after generation 1: its 3 new records are not yet screened.");

  // One edge per relation the file holds, each reached by its pearl in its direction.
  EXPECT_EQ(static_cast<int64_t>(report.edges.size()), session->RelationCount());
  std::set<std::tuple<std::string, PearlRelation, std::string>> distinct;
  for (const ReportEdge& e : report.edges) {
    distinct.insert({e.pearl, e.relation, e.article});
    const std::vector<int64_t> related =
        e.relation == PearlRelation::Cited ? corpus.Backward(std::stoll(e.pearl)) : corpus.Forward(std::stoll(e.pearl));
    EXPECT_NE(std::find(related.begin(), related.end(), std::stoll(e.article)), related.end())
        << e.pearl << " " << SearchDirectionName(e.relation) << " " << e.article;
    EXPECT_EQ(e.generation, e.pearl == "3" ? 1 : 0);
    EXPECT_FALSE(e.date.empty());
  }
  EXPECT_EQ(distinct.size(), report.edges.size());

  EXPECT_NE(report.methods.find("Backward and forward citation searching was performed on "), std::string::npos);
  EXPECT_NE(report.methods.find(" on 2 seed references using the local corpus review.sqlite (1,024 bytes"),
            std::string::npos)
      << report.methods;
  EXPECT_NE(report.methods.find("with Wendrel Search " + ProgramVersion()), std::string::npos);
  EXPECT_NE(report.methods.find("in 1 further iteration (1 record)"), std::string::npos) << report.methods;
}

TEST_F(ReportTest, ACappedSearchIsIncompleteWithTheCountTheSourceGave) {
  host.QueueAnswer(MessageResult::Yes);  // 1001's 22 citing articles: only the 5 most cited
  const std::string path = GrowSession(5);
  Offline reader;
  auto session = SessionFile::Open(path);
  session->Restore(reader.chain);
  const Report report = MakeReport(*session, reader.chain);
  ASSERT_FALSE(report.searches.empty());
  const ReportSearch& capped = report.searches[1];
  EXPECT_EQ(capped.relation, PearlRelation::Citing);
  EXPECT_EQ(capped.expected, 22);
  EXPECT_EQ(capped.retrieved, 5);
  EXPECT_EQ(capped.status, "capped");
  EXPECT_FALSE(capped.Complete());
  EXPECT_NE(report.methods.find("In 1 search only the most cited of the citing articles were retrieved"),
            std::string::npos)
      << report.methods;
  EXPECT_EQ(report.totals.identified - report.totals.duplicatesRemoved, report.totals.unique);
}

// A session saved from a chain grown without a file records no page counts: a search counts the
// relations it left instead of none.
TEST_F(ReportTest, ASessionSavedAfterGrowingCountsItsRelations) {
  ASSERT_NE(test::AddPearl(chain, "1001"), 0);
  auto session = SessionFile::Create(dir.Path("later.wendrel"), chain, kSource);
  const Report report = MakeReport(*session, chain);
  ASSERT_EQ(report.searches.size(), 2u);
  EXPECT_EQ(report.searches[0].retrieved, 30) << "31 named, 501 and 5 one article";
  EXPECT_EQ(report.searches[1].retrieved, 22);
  EXPECT_EQ(report.totals.unique, 30 + 22 - 6) << "25-30 are both cited and citing";
  EXPECT_EQ(report.totals.identified - report.totals.duplicatesRemoved, report.totals.unique);
}

TEST_F(ReportTest, WrittenFormsKeepTheirLayoutAndEscapeTitles) {
  const std::string path = GrowSession();
  Offline reader;
  auto session = SessionFile::Open(path);
  session->Restore(reader.chain);
  reader.chain.Screenings().Decide(Record(reader.chain, "4"), Verdict::Excluded, "wrong outcome");
  const Report report = MakeReport(*session, reader.chain);

  const nlohmann::json json = nlohmann::json::parse(ReportJson(report));
  std::vector<std::string> keys;
  for (const auto& [key, value] : json.items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"generations", "searches", "totals"}));
  const nlohmann::json& search = json["searches"][0];
  EXPECT_EQ(search["pearl"], "1001");
  EXPECT_EQ(search["direction"], "backward");
  EXPECT_EQ(search["generation"], 0);
  EXPECT_EQ(search["expected"], 31);
  EXPECT_EQ(search["retrieved"], 31);
  EXPECT_EQ(search["complete"], true);
  EXPECT_EQ(search.size(), 8u);
  EXPECT_EQ(json["searches"][1]["direction"], "forward");
  const nlohmann::json& totals = json["totals"];
  EXPECT_EQ(totals["identified"].get<int64_t>() - totals["duplicates_removed"].get<int64_t>(),
            totals["unique"].get<int64_t>());
  EXPECT_EQ(totals["excluded_by_reason"], nlohmann::json({{"wrong outcome", 1}}));
  EXPECT_EQ(totals.size(), 9u);
  ASSERT_EQ(json["generations"].size(), 2u);
  EXPECT_EQ(json["generations"][1], nlohmann::json({{"generation", 1}, {"pearls", 1}, {"new", 3}, {"included", 0}}));

  const std::string html = ReportHtml(report);
  EXPECT_NE(html.find("&lt;i&gt;Less&lt;/i&gt; &amp; more | pipes"), std::string::npos);
  EXPECT_EQ(html.find("<i>Less"), std::string::npos);
  const std::string md = ReportMarkdown(report);
  EXPECT_NE(md.find("| \\<i\\>Less\\</i\\> \\& more \\| pipes |"), std::string::npos);
  const std::string csv = ReportSearchesCsv(report);
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
            "Pearl,Title,Direction,Generation,Source,Date (UTC),Expected,Retrieved,Status");
  EXPECT_NE(csv.find(",\"corpus file review.sqlite (1,024 bytes, modified 2026-12-01T08:00:00Z)\","),
            std::string::npos);
  const std::string edges = ReportEdgesCsv(report);
  EXPECT_EQ(std::count(edges.begin(), edges.end(), '\n'), static_cast<std::ptrdiff_t>(report.edges.size()) + 1);
}

}  // namespace
}  // namespace wendrel
