// Three pearls of a generated corpus grown through the local service: every record's relation
// counts and lists must equal those computed straight from the corpus file, where articles that
// share a title are one work only when their years are at most one apart and their first authors'
// last names agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <set>
#include <sstream>

#include "chain_fixture.h"
#include "platform/text_encoding.h"
#include "corpus/corpus_generator.h"

namespace wendrel {
namespace {

using nlohmann::json;

struct Listed {
  std::string title;  // lower-cased
  int year = 0;       // 0: unknown
  std::string lastName;
};

bool SameWork(const Listed& a, const Listed& b) {
  return a.title == b.title && (a.year == 0 || b.year == 0 || std::abs(a.year - b.year) <= 1) &&
         (a.lastName.empty() || b.lastName.empty() || a.lastName == b.lastName);
}

// The works among a set of IDs: groups of IDs that are the same work. Empty when the grouping
// depends on the order the articles arrive in (a listing that agrees with two that disagree).
std::vector<std::set<int64_t>> Works(const std::set<int64_t>& ids, std::map<int64_t, Listed>& listed) {
  std::map<std::string, std::vector<int64_t>> byTitle;
  for (int64_t id : ids) byTitle[listed[id].title].push_back(id);
  std::vector<std::set<int64_t>> works;
  for (const auto& [title, group] : byTitle) {
    std::vector<bool> placed(group.size());
    for (size_t a = 0; a < group.size(); ++a) {
      if (placed[a]) continue;
      std::set<int64_t> work = {group[a]};
      placed[a] = true;
      for (size_t b = a + 1; b < group.size(); ++b)
        if (!placed[b] && SameWork(listed[group[a]], listed[group[b]])) work.insert(group[b]), placed[b] = true;
      for (int64_t x : work)
        for (int64_t y : group)
          if (SameWork(listed[x], listed[y]) != (work.count(y) == 1)) return {};
      works.push_back(std::move(work));
    }
  }
  return works;
}

TEST(PearlOracle, CountsMatchTheCorpus) {
  std::vector<json> corpus;
  std::stringstream lines;
  GenerateCorpus(1500, 77, lines);
  for (std::string line; std::getline(lines, line);) corpus.push_back(json::parse(line));
  test::ServedCorpus served(corpus);

  // What the service serves: references inside the corpus, without self-references.
  std::map<int64_t, Listed> listed;
  for (const json& p : corpus) {
    Listed& l = listed[p["id"].get<int64_t>()];
    l.title = LowerCaseText(p["title"].get<std::string>());
    l.year = p["year"].get<int>();
    if (!p["authors"].empty()) l.lastName = p["authors"][0]["last"].get<std::string>();
  }
  std::map<int64_t, std::set<int64_t>> references, citing;
  for (const json& p : corpus) {
    int64_t id = p["id"].get<int64_t>();
    for (const json& r : p["references"]) {
      int64_t ref = r.get<int64_t>();
      if (ref == id || !listed.count(ref)) continue;
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

  // Both sides of the rule among a set of works: a work listed under two IDs, and namesakes.
  auto sides = [&](const std::vector<std::set<int64_t>>& works) {
    std::map<std::string, int> worksPerTitle;
    for (const auto& work : works) ++worksPerTitle[listed[*work.begin()].title];
    const bool twice = std::any_of(works.begin(), works.end(), [](const auto& work) { return work.size() > 1; });
    const bool namesakes =
        std::any_of(worksPerTitle.begin(), worksPerTitle.end(), [](const auto& t) { return t.second > 1; });
    return 2 * namesakes + twice;
  };

  // Three pearls with plenty of relations whose articles group into works whatever their order,
  // each pearl a work listed once; those whose articles meet the rule's two sides come first.
  std::vector<int64_t> candidates;
  std::map<int64_t, int> score;
  for (const auto& [id, l] : listed) {
    if (references[id].size() < 5 || citing[id].size() < 5 || citing[id].size() > 400) continue;
    candidates.push_back(id);
    score[id] = sides(Works(related(id), listed));
  }
  std::stable_sort(candidates.begin(), candidates.end(), [&](int64_t a, int64_t b) {
    if (score[a] != score[b]) return score[a] > score[b];
    return related(a).size() > related(b).size();
  });
  std::vector<int64_t> pearls;
  std::set<int64_t> chainIds;
  std::vector<std::set<int64_t>> works;
  for (auto candidate = candidates.begin(); candidate != candidates.end() && pearls.size() < 3; ++candidate) {
    std::set<int64_t> ids = chainIds;
    for (int64_t id : related(*candidate)) ids.insert(id);
    std::vector<std::set<int64_t>> grouped = Works(ids, listed);
    std::vector<int64_t> withCandidate = pearls;
    withCandidate.push_back(*candidate);
    const bool pearlsListedOnce = std::all_of(grouped.begin(), grouped.end(), [&](const std::set<int64_t>& work) {
      return work.size() == 1 ||
             std::none_of(withCandidate.begin(), withCandidate.end(), [&](int64_t p) { return work.count(p); });
    });
    if (grouped.empty() || !pearlsListedOnce) continue;
    pearls = withCandidate;
    chainIds = ids;
    works = std::move(grouped);
  }
  ASSERT_EQ(pearls.size(), 3u);
  EXPECT_EQ(sides(works), 3) << "the chain meets namesakes and a work listed under two IDs";

  ScriptedHost host;
  CurlHttpClient http;
  MASCitationChain chain(host, http, served.BaseAddress());
  std::vector<int32_t> pearlIndex;
  for (int64_t pearl : pearls) pearlIndex.push_back(test::AddPearl(chain, std::to_string(pearl)));
  EXPECT_TRUE(host.Messages().empty());
  ASSERT_EQ(chain.Count(), static_cast<int32_t>(works.size()));

  std::map<int64_t, size_t> workOf;
  for (size_t w = 0; w < works.size(); ++w)
    for (int64_t id : works[w]) workOf[id] = w;
  std::set<size_t> seen;
  int sharedRelations = 0;
  for (int32_t i = 1; i <= chain.Count(); ++i) {
    const CCRecord r = chain.GetRecord(i);
    const int64_t id = std::stoll(r.PK);
    ASSERT_TRUE(workOf.count(id)) << id;
    const std::set<int64_t>& work = works[workOf[id]];
    EXPECT_TRUE(seen.insert(workOf[id]).second) << id << ": one record per work";
    auto touches = [&](const std::set<int64_t>& of) {
      return std::any_of(work.begin(), work.end(), [&](int64_t x) { return of.count(x) == 1; });
    };
    std::string citedBy, cites;
    int16_t citedByCount = 0, citesCount = 0;
    for (size_t k = 0; k < pearls.size(); ++k) {
      const std::string token = ";" + std::to_string(pearlIndex[k]) + ";";
      if (touches(references[pearls[k]])) citedBy += token, ++citedByCount;
      if (touches(citing[pearls[k]])) cites += token, ++citesCount;
    }
    EXPECT_EQ(LowerCaseText(r.Title), listed[id].title);
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
