// Three pearls of a generated corpus grown through the local service: every record's relation
// counts and lists must equal those computed straight from the corpus file.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "chain_fixture.h"
#include "platform/text_encoding.h"
#include "service/corpus_generator.h"

namespace wendrel {
namespace {

using nlohmann::json;

TEST(PearlOracle, CountsMatchTheCorpus) {
  std::vector<json> corpus;
  std::stringstream lines;
  GenerateCorpus(1500, 77, lines);
  for (std::string line; std::getline(lines, line);) corpus.push_back(json::parse(line));
  test::ServedCorpus served(corpus);

  // What the service serves: references inside the corpus, without self-references.
  std::map<int64_t, std::string> titleOf;
  for (const json& p : corpus) titleOf[p["id"].get<int64_t>()] = p["title"].get<std::string>();
  std::map<int64_t, std::set<int64_t>> references, citing;
  for (const json& p : corpus) {
    int64_t id = p["id"].get<int64_t>();
    for (const json& r : p["references"]) {
      int64_t ref = r.get<int64_t>();
      if (ref == id || !titleOf.count(ref)) continue;
      references[id].insert(ref);
      citing[ref].insert(id);
    }
  }
  auto related = [&](int64_t pearl) {
    std::set<int64_t> all = references[pearl];
    all.insert(citing[pearl].begin(), citing[pearl].end());
    all.insert(pearl);
    return all;
  };

  // Three pearls with plenty of relations, chosen among articles whose related articles all have
  // distinct titles, so that the title rule merges nothing and the counts follow the corpus alone.
  std::vector<int64_t> candidates;
  for (const auto& [id, title] : titleOf)
    if (references[id].size() >= 5 && citing[id].size() >= 5 && citing[id].size() <= 400) candidates.push_back(id);
  std::stable_sort(candidates.begin(), candidates.end(),
                   [&](int64_t a, int64_t b) { return related(a).size() > related(b).size(); });
  std::vector<int64_t> pearls;
  std::set<int64_t> chainIds;
  for (auto candidate = candidates.begin(); candidate != candidates.end() && pearls.size() < 3; ++candidate) {
    std::set<int64_t> ids = chainIds;
    for (int64_t id : related(*candidate)) ids.insert(id);
    std::set<std::string> titles;
    for (int64_t id : ids) titles.insert(LowerCaseText(titleOf[id]));
    if (titles.size() != ids.size()) continue;
    pearls.push_back(*candidate);
    chainIds = ids;
  }
  ASSERT_EQ(pearls.size(), 3u);

  ScriptedHost host;
  CurlHttpClient http;
  MASCitationChain chain(host, http, served.BaseAddress());
  std::vector<int32_t> pearlIndex;
  for (int64_t pearl : pearls) pearlIndex.push_back(test::AddPearl(chain, std::to_string(pearl)));
  EXPECT_TRUE(host.Messages().empty());
  ASSERT_EQ(chain.Count(), static_cast<int32_t>(chainIds.size()));

  int sharedRelations = 0;
  for (int64_t id : chainIds) {
    const CCRecord r = chain.GetRecord(chain.FindIndex(std::to_string(id), "", ""));
    std::string citedBy, cites;
    int16_t citedByCount = 0, citesCount = 0;
    for (size_t k = 0; k < pearls.size(); ++k) {
      const std::string token = ";" + std::to_string(pearlIndex[k]) + ";";
      if (references[pearls[k]].count(id)) citedBy += token, ++citedByCount;
      if (citing[pearls[k]].count(id)) cites += token, ++citesCount;
    }
    EXPECT_EQ(r.Title, titleOf[id]);
    EXPECT_EQ(r.CitedByPearls, citedByCount) << id;
    EXPECT_EQ(r.CitedPearlList, citedBy) << id;
    EXPECT_EQ(r.IsCited, citedByCount > 0) << id;
    EXPECT_EQ(r.CitesPearls, citesCount) << id;
    EXPECT_EQ(r.CitingPearlList, cites) << id;
    EXPECT_EQ(r.IsCiting, citesCount > 0) << id;
    EXPECT_EQ(r.IsPearl, std::count(pearls.begin(), pearls.end(), id) == 1) << id;
    sharedRelations += citedByCount + citesCount > 1;
  }
  EXPECT_GT(sharedRelations, 0) << "some articles are related to more than one pearl";
}

}  // namespace
}  // namespace wendrel
