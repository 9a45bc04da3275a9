// The record store: the duplicate rule of FindIndex, the hash indexes against a plain scan, and the
// read operations over the table.
#include <gtest/gtest.h>

#include <random>

#include "platform/text_encoding.h"
#include "chain_fixture.h"
#include "fake_http_client.h"
#include "platform/scripted_host.h"

namespace wendrel {
namespace {

using test::Article;
using test::Page;

class ChainStore : public ::testing::Test {
 protected:
  ScriptedHost host;
  test::FakeHttpClient http;
  MASCitationChain chain{host, http, "http://127.0.0.1:1"};
  ScriptedCaption caption;
};

TEST_F(ChainStore, FindIndexFollowsTheDuplicateRule) {
  CCRecord withAk = Article("k9", "Keyed");
  withAk.AK = "Cluster7";
  chain.MergePage(
      Page({Article("ABC", "Upper Case Key"), Article("def", "Text Mining: A Survey"), Article("ghi", ""), withAk}), 1,
      PearlRelation::Cited);
  ASSERT_EQ(chain.Count(), 4);
  EXPECT_EQ(chain.IndexSize(), chain.Count());

  struct Case {
    const char* name;
    std::string pk, ak, title;
    int32_t expected;
  } cases[] = {
      {"only the stored side is lower-cased", "ABC", "", "", 0},
      {"lower-case key finds upper-case PK", "abc", "", "", 1},
      {"title ignores case", "", "", "TEXT MINING: a survey", 2},
      {"title is whole-text equality", "", "", "Text Mining: A Survey ", 0},
      {"unknown ID falls back to the title", "zzz", "", "upper case key", 1},
      {"ID wins over title", "def", "", "Upper Case Key", 2},
      {"empty title matches nothing", "zzz", "", "", 0},
      {"AK is exact", "", "Cluster7", "", 4},
      {"AK is case-sensitive", "", "cluster7", "", 0},
      {"all keys empty", "", "", "", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(chain.FindIndex(c.pk, c.ak, c.title), c.expected) << c.name;

  // The empty title is a title for TitleIndex, though FindIndex skips it.
  EXPECT_EQ(chain.TitleIndex(""), 3);
  EXPECT_EQ(chain.TitleIndex("keyed"), 4);
}

TEST_F(ChainStore, HashIndexesAnswerAsAScanFromRecordOne) {
  // Keys that differ only in case, repeated titles and empty titles, merged in random pages, then
  // every look-up compared with a scan over the table.
  std::mt19937 random(20130);
  const std::vector<std::string> pks = {"A1", "a1", "b2", "B2", "c3", "null", "Ω4", "ω4", "d5"};
  const std::vector<std::string> titles = {"",      "Graph Mining", "graph mining", "GRAPH MINING",
                                           "Émile", "émile",        "Ideas",        "ideas "};
  auto pick = [&](const std::vector<std::string>& pool) { return pool[random() % pool.size()]; };
  for (int32_t pearl = 1; pearl <= 40; ++pearl) {
    chain.AgeRelations();
    std::vector<CCRecord> articles;
    for (int k = 0; k < 6; ++k) articles.push_back(Article(pick(pks) + std::to_string(random() % 3), pick(titles)));
    chain.MergePage(Page(articles), pearl, random() % 2 ? PearlRelation::Cited : PearlRelation::Citing);
  }
  ASSERT_GT(chain.Count(), 10);

  auto scan = [&](const std::string& pk, const std::string& title) {
    for (int32_t i = 1; i <= chain.Count(); ++i)
      if (!pk.empty() && LowerCaseText(chain.GetRecord(i).PK) == pk) return i;
    for (int32_t i = 1; i <= chain.Count(); ++i)
      if (!title.empty() && LowerCaseText(chain.GetRecord(i).Title) == LowerCaseText(title)) return i;
    return 0;
  };
  for (const std::string& pk : pks) {
    for (int n = 0; n < 3; ++n) {
      for (const std::string& title : titles) {
        std::string key = pk + std::to_string(n);
        EXPECT_EQ(chain.FindIndex(key, "", title), scan(key, title)) << key << " / " << title;
        EXPECT_EQ(chain.FindIndex("", "", title), scan("", title)) << title;
      }
    }
  }
  for (const std::string& title : titles) {
    int32_t expected = 0;
    for (int32_t i = chain.Count(); i >= 1; --i)
      if (LowerCaseText(chain.GetRecord(i).Title) == LowerCaseText(title)) expected = i;
    EXPECT_EQ(chain.TitleIndex(title), expected) << title;
  }
}

TEST_F(ChainStore, RetrievedPearlMovesToItsNewTitle) {
  chain.MergePage(Page({Article("1", "Fetched Title"), Article("2", "Other")}), 1, PearlRelation::Cited);
  http.QueueBody(R"({"d":{"Result":[{"ID":"77","Title":"Fetched Title","CitationCount":0,"ReferenceCount":0}]}})");
  int32_t index = 0, maxCiting = -1;
  ASSERT_TRUE(chain.AddPearl(index, "77", "", maxCiting, caption));
  EXPECT_EQ(index, 3);
  EXPECT_EQ(maxCiting, 0);
  EXPECT_EQ(chain.GetRecord(3).Title, "Fetched Title");
  EXPECT_EQ(chain.FindIndex("77", "", ""), 3);
  // The earlier record with the same title still comes first; the pearl left the empty title.
  EXPECT_EQ(chain.TitleIndex("fetched title"), 1);
  EXPECT_EQ(chain.TitleIndex(""), 0);
  chain.Clear();
  EXPECT_EQ(chain.TitleIndex("fetched title"), 0);
}

TEST_F(ChainStore, ReadOperations) {
  EXPECT_EQ(chain.GetRecord(1), CCRecord{}) << "empty chain";
  CCRecord full = Article("5", "Trees");
  full.FirstAuthor = "Kowalski, Anna";
  full.Year = "2004";
  CCRecord clustered = Article("6", "Forests");
  clustered.AK = "0042";
  CCRecord wordKey = Article("7", "Leaves");
  wordKey.AK = "x42";
  chain.MergePage(Page({full, clustered, wordKey}), 1, PearlRelation::Cited);

  EXPECT_EQ(chain.GetRecord(-1), CCRecord{});
  EXPECT_EQ(chain.GetRecord(0), CCRecord{});
  EXPECT_EQ(chain.GetRecord(4), CCRecord{});
  EXPECT_EQ(chain.Reference(1), "Kowalski, Anna (2004) Trees ") << "no source: ends with a blank";
  EXPECT_EQ(chain.ClusterIDIndex(42), 2);
  EXPECT_EQ(chain.ClusterIDIndex(0), 0) << "a non-numeric AK is no number";

  chain.SetApplicationID("KEY");
  chain.Clear();
  EXPECT_EQ(chain.Count(), 0);
  EXPECT_EQ(chain.FindIndex("5", "", "Trees"), 0);
  EXPECT_EQ(chain.ApplicationID(), "KEY");
}

TEST(ChainText, FoldingSlicingAndDecoding) {
  EXPECT_EQ(LowerCaseText("ÉCOLE Straße ŁÓDŹ ΣΟΦΙΑ МОСКВА"), "école straße łódź σοφια москва");
  EXPECT_EQ(UpperCaseText("müller, łukasz"), "MÜLLER, ŁUKASZ");
  const std::string invalid = "A\xFF";
  EXPECT_EQ(LowerCaseText(invalid), "a\xFF") << "invalid bytes pass unchanged";
  EXPECT_EQ(FirstCodePoints("ééé", 2), "éé");
  EXPECT_EQ(LastCodePoints("abcé", 2), "cé");
  EXPECT_EQ(LastCodePoints("ab", 16), "ab");
  EXPECT_EQ(DecodeLegacyText("Caf\xE9 \x93quoted\x94 \xE2\x82\xAC"), "Café “quoted” €");
  EXPECT_EQ(DecodeLegacyText("\xC3\xA9"), "é") << "valid UTF-8 is kept";
}

}  // namespace
}  // namespace wendrel
