// The record store: the first-match rule of FindIndex, the duplicate rule of the merges for
// namesakes and for the same work under two IDs, and the hash indexes against a plain scan.
#include <gtest/gtest.h>

#include <random>

#include "chain/duplicate_rule.h"
#include "chain_fixture.h"
#include "fake_http_client.h"
#include "platform/text_encoding.h"

namespace wendrel {
namespace {

using test::Article;
using test::Page;

class ChainStore : public ::testing::Test {
 protected:
  ScriptedHost host;
  test::FakeHttpClient http;
  MASCitationChain chain{host, http, "http://127.0.0.1:1"};
};

TEST_F(ChainStore, FindIndexFollowsTheFirstMatchRule) {
  CCRecord withAk = Article("k9", "Keyed");
  withAk.AK = "Cluster7";
  CCRecord numbered = Article("n5", "Numbered");
  numbered.AK = "0042";
  chain.MergePage(Page({Article("ABC", "Upper Case Key"), Article("def", "Text Mining: A Survey"), withAk, numbered}),
                  1, PearlRelation::Cited);
  // Case folding, ID before title and empty titles are left to the scan comparison below.
  struct Case {
    const char* name;
    std::string pk, ak, title;
    int32_t expected;
  } cases[] = {
      {"title is whole-text equality", "", "", "Text Mining: A Survey ", 0},
      {"unknown ID falls back to the title", "zzz", "", "upper case key", 1},
      {"AK is exact", "", "Cluster7", "", 3},
      {"AK is case-sensitive", "", "cluster7", "", 0},
      {"title wins over AK", "", "Cluster7", "upper case key", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(chain.FindIndex(c.pk, c.ak, c.title), c.expected) << c.name;
  EXPECT_EQ(chain.ClusterIDIndex(42), 4);
  EXPECT_EQ(chain.ClusterIDIndex(7), 0) << "an AK that is not wholly a number is none";
}

TEST_F(ChainStore, NamesakesStayApartAndTheSameWorkUnderTwoIDsIsStoredOnce) {
  // A stored "Editorial" (ID e1, 2001, Müller) meets an incoming article of the same title.
  struct Case {
    const char* name;
    CCRecord incoming;
    bool merged;
  } cases[] = {
      {"the same work a year later, name in capitals without its umlaut",
       Article("e2", "EDITORIAL", "2002", "MULLER, A."), true},
      {"the same work a year earlier, name decomposed", Article("e2", "Editorial", "2000", "Mu\u0308ller, Anna"), true},
      {"two years apart", Article("e2", "Editorial", "2003", "Müller, Anna"), false},
      {"another first author", Article("e2", "Editorial", "2001", "Schmidt, Anna"), false},
      {"no year: the author decides", Article("e2", "Editorial", "n/a", "Müller, Anna"), true},
      {"no year, another author", Article("e2", "Editorial", "n/a", "Schmidt, Anna"), false},
      {"no author: the year decides", Article("e2", "Editorial", "2001", ""), true},
      {"no author, another decade", Article("e2", "Editorial", "1990", ""), false},
      {"the same ID, whatever else", Article("e1", "Editorial", "1990", "Schmidt, Anna"), true},
      {"no usable ID: the title alone", Article("null", "Editorial", "1990", "Schmidt, Anna"), true},
      {"years at the ends of the range", Article("e2", "Editorial", "-2147483648", "Müller, Anna"), false},
  };
  for (const Case& c : cases) {
    MASCitationChain fresh(host, http, "http://127.0.0.1:1");
    fresh.MergePage(Page({Article("e1", "Editorial", "2001", "Müller, Anna")}), 1, PearlRelation::Cited);
    fresh.AgeRelations();
    fresh.MergePage(Page({c.incoming}), 2, PearlRelation::Cited);
    ASSERT_EQ(fresh.Count(), c.merged ? 1 : 2) << c.name;
    EXPECT_EQ(fresh.GetRecord(1).CitedPearlList, c.merged ? ";1;;2;" : ";1;") << c.name;
    EXPECT_EQ(fresh.GetRecord(1).PK, "e1") << c.name << ": the stored record keeps its metadata";
  }

  // A stored record without an ID takes any article of its title, as before.
  MASCitationChain noId(host, http, "http://127.0.0.1:1");
  noId.MergePage(Page({Article("null", "Reply", "1980", "Lee, K"), Article("r2", "Reply", "2010", "Kim, J")}), 1,
                 PearlRelation::Citing);
  EXPECT_EQ(noId.Count(), 1);

  // Of several namesakes the first that may be the same work is chosen, not simply the first.
  chain.MergePage(Page({Article("r1", "Reply", "1990", "Smith, J"), Article("r2", "Reply", "2005", "Jones, P"),
                        Article("r3", "Reply", "2006", "Jones, Paul")}),
                  1, PearlRelation::Cited);
  EXPECT_EQ(chain.Count(), 2) << "r3 is r2 listed again";
  EXPECT_EQ(chain.FindArticle(Article("r9", "reply", "2004", "JONES, P")), 2);
  EXPECT_EQ(chain.FindArticle(Article("r9", "Reply", "2010", "Jones, P")), 0);
  EXPECT_EQ(chain.FindIndex("r9", "", "Reply"), 1) << "a look-up by title alone knows no year or author";
}

TEST(DuplicateRule, LastNamesAndYears) {
  struct Case {
    const char* author;
    const char* key;
  } names[] = {{"Müller, Anna", "muller"},     {"MÜLLER", "muller"},          {"Łukasiewicz, J.", "lukasiewicz"},
               {"Øberg, Kari", "oberg"},       {"Straße, Ida", "strasse"},    {"  O'Brien , Pat", "o'brien"},
               {"Gökçe, Ayşe", "gokce"},      {"Wiśniewski, P", "wisniewski"}, {", Ann", ""},
               {"", ""}};
  for (const Case& c : names) EXPECT_EQ(LastNameKey(c.author), c.key) << c.author;
  EXPECT_EQ(YearNumber("1999"), 1999);
  for (const char* none : {"n/a", "", "19x9", "1999 "}) EXPECT_FALSE(YearNumber(none).has_value()) << none;
}

TEST_F(ChainStore, HashIndexesAnswerAsAScanFromRecordOne) {
  // Keys that differ only in case, repeated and empty titles, merged in random pages.
  std::mt19937 random(20130);
  const std::vector<std::string> pks = {"A1", "a1", "b2", "B2", "null", "Ω4", "ω4"};
  const std::vector<std::string> titles = {"", "Graph Mining", "graph mining", "Émile", "émile", "ideas "};
  auto pick = [&](const std::vector<std::string>& pool) { return pool[random() % pool.size()]; };
  for (int32_t pearl = 1; pearl <= 40; ++pearl) {
    chain.AgeRelations();
    std::vector<CCRecord> articles;
    for (int k = 0; k < 6; ++k) articles.push_back(Article(pick(pks) + std::to_string(random() % 3), pick(titles)));
    chain.MergePage(Page(articles), pearl, random() % 2 ? PearlRelation::Cited : PearlRelation::Citing);
  }
  auto scan = [&](const std::string& pk, const std::string& title) {
    for (int32_t i = 1; i <= chain.Count(); ++i)
      if (!pk.empty() && LowerCaseText(chain.GetRecord(i).PK) == pk) return i;
    for (int32_t i = 1; i <= chain.Count(); ++i)
      if (!title.empty() && LowerCaseText(chain.GetRecord(i).Title) == LowerCaseText(title)) return i;
    return 0;
  };
  for (const std::string& pk : pks)
    for (const std::string& title : titles)
      for (const std::string& key : {pk + "0", pk + "1", pk + "2", std::string()})
        EXPECT_EQ(chain.FindIndex(key, "", title), scan(key, title)) << key << " / " << title;
}

TEST_F(ChainStore, RetrievedPearlMovesToItsNewTitle) {
  chain.MergePage(Page({Article("1", "Fetched Title"), Article("2", "Other")}), 1, PearlRelation::Cited);
  http.QueueBody(R"({"d":{"Result":[{"ID":"77","Title":"Fetched Title","CitationCount":0,"ReferenceCount":0}]}})");
  ASSERT_EQ(test::AddPearl(chain, "77"), 3);
  EXPECT_EQ(chain.GetRecord(3).Title, "Fetched Title");
  EXPECT_EQ(chain.FindIndex("77", "", ""), 3);
  EXPECT_EQ(chain.TitleIndex("fetched title"), 1) << "the earlier record with the same title comes first";
  EXPECT_EQ(chain.TitleIndex(""), 0) << "the pearl left the empty title";
  chain.Clear();
  EXPECT_EQ(chain.TitleIndex("fetched title"), 0);
}

}  // namespace
}  // namespace wendrel
