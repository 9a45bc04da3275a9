// Shared pieces of the session tests: a corpus whose pearls need several pages each way, and the
// comparison of two chains as a session must keep them.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "../chain/chain_fixture.h"
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

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Two chains hold the same session: records (ages too when asked), pearl order, marks and pages.
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
}

}  // namespace wendrel::test
