// Shared pieces of the session tests: a corpus whose pearls need several pages each way, and the
// comparison of two chains as a session must keep them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "../chain/chain_fixture.h"
#include "fake_http_client.h"
#include "session/session_file.h"

namespace wendrel::test {

// Pearls: 1001 cites articles 1-230 (three pages) and the duplicate 501 of article 5; 1002 cites
// 100-180 and 1001; 1003 is cited by articles 1-350 (four pages); 1004 cites the other three and
// is cited by 1-50. Articles 200-260 cite 1001 too, so lists and counts overlap.
inline std::vector<nlohmann::json> SessionCorpus() {
  std::vector<nlohmann::json> corpus;
  for (int64_t k = 1; k <= 400; ++k) {
    std::vector<int64_t> references;
    if (k <= 350) references.push_back(1003);
    if (k >= 200 && k <= 260) references.push_back(1001);
    if (k <= 50) references.push_back(1004);
    corpus.push_back(Publication(k, "Article " + std::to_string(k), references, "Writer" + std::to_string(k % 7),
                                 "Kim", 1990 + static_cast<int>(k % 30)));
  }
  corpus.push_back(Publication(501, "ARTICLE 5", {1003}, "Writer5", "Kim", 1995));
  std::vector<int64_t> first;
  for (int64_t k = 1; k <= 230; ++k) first.push_back(k);
  first.push_back(501);
  std::vector<int64_t> second = {1001};
  for (int64_t k = 100; k <= 180; ++k) second.push_back(k);
  corpus.push_back(Publication(1001, "First pearl", first, "Pearl", "Ann", 2001));
  corpus.push_back(Publication(1002, "Second pearl", second, "Pearl", "Bob", 2002));
  corpus.push_back(Publication(1003, "Third pearl", {}, "Pearl", "Cy", 2003));
  corpus.push_back(Publication(1004, "Fourth pearl", {1001, 1002, 1003}, "Pearl", "Di", 2004));
  return corpus;
}

// A test of sessions grown from SessionCorpus, served for the whole suite: a chain grown from it,
// and Offline chains that take only what a file holds.
class SessionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { s_corpus = new ServedCorpus(SessionCorpus()); }
  static void TearDownTestSuite() { delete s_corpus; }

  // A chain that answers no request.
  struct Offline {
    ScriptedHost host;
    FakeHttpClient http;
    MASCitationChain chain{host, http, "http://127.0.0.1:1"};
  };

  static inline ServedCorpus* s_corpus = nullptr;
  TempDir dir;
  ScriptedHost host;
  RecordingHttpClient http;
  MASCitationChain chain{host, http, s_corpus->BaseAddress()};
  ScriptedCaption caption;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Two books hold the same screening: each article's decision, labels, note, known mark and
// generation; the history with its times; the reasons.
inline void ExpectSameBook(const ScreeningBook& expected, const ScreeningBook& actual) {
  const size_t articles = std::max(expected.All().size(), actual.All().size());
  for (size_t k = 1; k < articles; ++k) {
    const auto i = static_cast<int32_t>(k);
    const Screening &e = expected.Of(i), &a = actual.Of(i);
    EXPECT_EQ(VerdictName(e.verdict), VerdictName(a.verdict)) << "article " << i;
    EXPECT_EQ(e.reason, a.reason) << "article " << i;
    EXPECT_EQ(e.labels, a.labels) << "article " << i;
    EXPECT_EQ(e.note, a.note) << "article " << i;
    EXPECT_EQ(e.known, a.known) << "article " << i;
    EXPECT_EQ(e.generation, a.generation) << "generation of article " << i;
  }
  ASSERT_EQ(expected.History().size(), actual.History().size());
  for (size_t k = 0; k < expected.History().size(); ++k) {
    const DecisionChange &e = expected.History()[k], &a = actual.History()[k];
    EXPECT_EQ(std::tie(e.article, e.utc, e.reason), std::tie(a.article, a.utc, a.reason)) << "change " << k;
    EXPECT_EQ(e.verdict, a.verdict) << "change " << k;
  }
  EXPECT_EQ(expected.Reasons(), actual.Reasons());
  EXPECT_EQ(expected.LastReason(), actual.LastReason());
}

// Two chains hold the same session: records (ages too when asked), pearl order, marks, pages and
// screening.
inline void ExpectSameChain(const MASCitationChain& expected, const MASCitationChain& actual, bool withAges = true) {
  ASSERT_EQ(expected.Count(), actual.Count());
  for (int32_t i = 1; i <= expected.Count(); ++i) {
    CCRecord e = expected.GetRecord(i), a = actual.GetRecord(i);
    if (!withAges) e.CitedAge = e.CitingAge = a.CitedAge = a.CitingAge = 0;
    EXPECT_EQ(e, a) << "record " << i << " (" << e.PK << "): counts " << e.CitedByPearls << "/" << e.CitesPearls
                    << " and " << a.CitedByPearls << "/" << a.CitesPearls;
    EXPECT_EQ(expected.PartlyGrown(i), actual.PartlyGrown(i)) << "record " << i;
    EXPECT_EQ(expected.Unresolved(i), actual.Unresolved(i)) << "record " << i;
    EXPECT_EQ(expected.Capped(i), actual.Capped(i)) << "record " << i;
    const GrownPages none;
    const GrownPages* e1 = expected.Grown(i);
    const GrownPages* a1 = actual.Grown(i);
    EXPECT_EQ(e1 ? *e1 : none, a1 ? *a1 : none) << "pages of record " << i;
  }
  EXPECT_EQ(expected.PearlOrder(), actual.PearlOrder());
  ExpectSameBook(expected.Screenings(), actual.Screenings());
}

}  // namespace wendrel::test
