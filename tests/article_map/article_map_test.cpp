// The article map build on small generated chains: nodes, tree, labels, node weights, second-order
// similarity, and layouts that fail in the ways a layout program can fail.
#include "article_map/article_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <set>

#include <nlohmann/json.hpp>
#include <sstream>

#include "layout_fixtures.h"
#include "platform/scripted_host.h"
#include "proximity/proximity_matrix.h"
#include "corpus/corpus_generator.h"

namespace wendrel {
namespace {

// Three topics of three articles; one bridge word joins topics 0 and 1, another 1 and 2, so the
// similarities connect every article. Article 4 repeats "zebra" three times and "quokka" twice.
std::vector<MapArticle> SmallChain() {
  const std::vector<std::vector<std::string>> topics = {
      {"quartz", "crystal", "mineral", "granite"}, {"violin", "orchestra", "melody", "concert"},
      {"harbor", "vessel", "anchor", "lighthouse"}};
  std::vector<MapArticle> articles;
  for (size_t t = 0; t < topics.size(); ++t) {
    for (size_t k = 0; k < 3; ++k) {
      const auto& w = topics[t];
      MapArticle article{"On " + w[k] + " and " + w[k + 1], "Studies " + w[0] + " with " + w[(k + 2) % 4] + "."};
      if (t == 0 && k == 2) article.Abstract += " Also bridgeword.";
      if (t == 1 && k == 0) article.Abstract += " Also bridgeword and linkage.";
      if (t == 2 && k == 0) article.Abstract += " Also linkage.";
      articles.push_back(article);
    }
  }
  articles[4].Abstract += " zebra zebra zebra quokka quokka";
  articles[5].Abstract += " zebra quokka";
  return articles;
}

class ArticleMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_settings.StopWordPath = WENDREL_STOP_WORDS;
    m_settings.WorkFolder = m_work.Root().string();
    m_settings.GraphvizFolder = DefaultGraphvizFolder();
  }
  bool HaveGraphviz() const { return !m_settings.GraphvizFolder.empty(); }

  ScriptedHost m_host;
  PosixProcessRunner m_runner;
  test::TempDir m_work;
  MapBuildSettings m_settings;
};

// Edges as pairs of nodes, and whether they join all nodes into one tree.
bool IsSpanningTree(const Spatial& graph) {
  const int32_t n = graph.NodeCount();
  if (graph.EdgeCount() != n - 1) return false;
  std::vector<int32_t> parent(static_cast<size_t>(n));
  std::iota(parent.begin(), parent.end(), 0);
  auto root = [&](int32_t v) {
    while (parent[v] != v) v = parent[v];
    return v;
  };
  for (int32_t e = 0; e < graph.EdgeCount(); ++e) {
    const int32_t a = root(graph.Edge(e).FromNode), b = root(graph.Edge(e).ToNode);
    if (a == b) return false;
    parent[a] = b;
  }
  return true;
}

TEST_F(ArticleMapTest, SmallChainBecomesALaidOutSpanningTree) {
  if (!HaveGraphviz()) GTEST_SKIP() << "sfdp is not on PATH";
  const auto articles = SmallChain();
  std::vector<std::pair<MapStage, double>> reports;
  const ArticleMap map = BuildArticleMap(articles, m_host, m_runner, m_settings,
                                         [&](MapStage s, double f) { reports.emplace_back(s, f); });

  EXPECT_TRUE(m_host.Messages().empty());
  EXPECT_EQ(map.LayoutFailure, "");
  ASSERT_EQ(map.MapGraph->NodeCount(), 9);
  EXPECT_TRUE(IsSpanningTree(*map.MapGraph));
  std::set<std::pair<float, float>> positions;
  for (int32_t n = 0; n < 9; ++n) positions.emplace(map.MapGraph->X(n), map.MapGraph->Y(n));
  EXPECT_EQ(positions.size(), 9u) << "every node has a place of its own";

  // Stages report in order, each ending complete.
  std::vector<std::pair<MapStage, double>> ends;
  for (size_t k = 0; k < reports.size(); ++k)
    if (k + 1 == reports.size() || reports[k + 1].first != reports[k].first) ends.push_back(reports[k]);
  EXPECT_EQ(ends, (std::vector<std::pair<MapStage, double>>{{MapStage::Documents, 1.0}, {MapStage::Matrix, 1.0},
                                                             {MapStage::Similarity, 1.0}, {MapStage::Tree, 1.0},
                                                             {MapStage::Layout, 1.0}}));
}

TEST_F(ArticleMapTest, HubsAreLabelledWithTheirTwoStrongestTerms) {
  if (!HaveGraphviz()) GTEST_SKIP() << "sfdp is not on PATH";
  const ArticleMap map = BuildArticleMap(SmallChain(), m_host, m_runner, m_settings);
  std::vector<int32_t> degrees;
  for (int32_t n = 0; n < 9; ++n) degrees.push_back(map.MapGraph->NodeDegree(n));
  EXPECT_EQ(TreeDegrees(map), degrees);
  const int largest = *std::max_element(degrees.begin(), degrees.end());
  EXPECT_EQ(LargestDegree(map), largest);

  // Oracle: the term vector copied, truncated to its two largest values, first and last term.
  const std::vector<std::string> all = HubLabels(map, 0);
  for (int32_t n = 0; n < 9; ++n) {
    int32_t dim = 0;
    SparseVectorSingle copy;
    std::vector<float> dense = map.MapTDM->Matrix().Vector(n + 1).GetVectorArr(dim);
    copy.SetVector(dense, dim);
    copy.TruncateLocal(2);
    const std::string first = map.MapTDM->Term(copy.FirstElementIndex());
    const std::string last = map.MapTDM->Term(copy.LastElementIndex());
    EXPECT_EQ(all[n], first == last ? first : first + "," + last) << "node " << n;
  }
  // "zebra" weighs most in article 5, "quokka" next; the label goes in term order.
  EXPECT_EQ(all[4], "quokka,zebra");

  const std::vector<std::string> hubs = HubLabels(map, largest);
  for (int32_t n = 0; n < 9; ++n) EXPECT_EQ(hubs[n].empty(), degrees[n] < largest) << "node " << n;
  for (const std::string& label : HubLabels(map, largest + 1)) EXPECT_EQ(label, "");
}

// The dot text of the trees as the whole similarity table gives them: the cosine matrix (of the
// cosines again for the second order) made symmetric, as a dense table, reduced by Transform2MST
// from every node not yet in a tree, and written by Matrix2Dot.
std::string TableTreesDot(const SparseMatrixSingle& documents, bool secondOrder, Host& host) {
  SparseMatrixSingle similarity;
  similarity.SetMatrix(documents.GetSimilarityMatrix(documents, 2));
  similarity.MakeSymmetric(true);
  if (secondOrder) {
    similarity.SetMatrix(similarity.GetSimilarityMatrix(similarity, 2));
    similarity.MakeSymmetric(true);
  }
  const int32_t n = similarity.ColCount();
  ProximityMatrix proximity(host);
  proximity.SetFromDense(similarity.GetDenseMatrix(), n, 1);
  ProximityMatrix trees(host);
  trees.InitMatrix(n, 1);
  std::vector<bool> inTree(static_cast<size_t>(n), false);
  for (int32_t node = 0; node < n; ++node) {
    int32_t start = node;
    if (inTree[node]) continue;
    const ProximityMatrix tree = proximity.Transform2MST(start);
    if (start != node) continue;  // a node without links: the tree of the strongest link instead
    for (int32_t i = 0; i < n; ++i)
      for (int32_t j = i + 1; j < n; ++j)
        if (const float v = tree.Value(i, j); v != -1) {
          trees.SetValue(i, j, v), trees.SetValue(j, i, v);
          inTree[i] = inTree[j] = true;
        }
  }
  uint8_t firstNode = 1;
  return trees.Matrix2Dot(1.0f, firstNode, "", 0.0f, 1.0f);
}

// Chains whose similarities tie a lot: copies of a few articles (every copy of one article is as
// similar to the others as to itself) and articles that differ only in words of equal weight.
std::vector<MapArticle> TiedChain() {
  std::vector<MapArticle> articles;
  for (int copy = 0; copy < 4; ++copy) {
    articles.push_back({"Granite and quartz", "Crystal growth in granite."});
    articles.push_back({"Violin and orchestra", "Melody of the violin."});
  }
  for (const char* word : {"anchor", "vessel", "harbor", "beacon"})
    articles.push_back({std::string("Quartz ") + word, std::string("The violin ") + word + "."});
  articles.push_back({"Unrelated", "Nothing shared here."});
  return articles;
}

TEST_F(ArticleMapTest, TreesAndLabelsAreThoseOfTheWholeSimilarityTable) {
  // The layout is not needed: a folder without sfdp leaves the tree and its text as they are.
  test::TempDir noPrograms;
  m_settings.GraphvizFolder = noPrograms.Root().string();
  std::vector<std::pair<std::string, std::vector<MapArticle>>> chains = {{"small", SmallChain()},
                                                                         {"tied", TiedChain()}};
  for (bool realistic : {false, true}) {
    std::ostringstream lines;
    GenerateCorpus(160, 7, lines, {realistic});
    std::istringstream in(lines.str());
    std::vector<MapArticle> generated;
    for (std::string line; std::getline(in, line);) {
      const auto publication = nlohmann::json::parse(line);
      generated.push_back({publication.at("title"), publication.at("abstract")});
    }
    chains.emplace_back(realistic ? "generated, realistic words" : "generated", std::move(generated));
  }
  for (const auto& [name, articles] : chains) {
    for (bool secondOrder : {false, true}) {
      SCOPED_TRACE(name + (secondOrder ? ", second order" : ""));
      m_settings.SecondOrder = secondOrder;
      ScriptedHost host;
      const ArticleMap map = BuildArticleMap(articles, host, m_runner, m_settings);
      const std::string expected = TableTreesDot(map.MapTDM->Matrix(), secondOrder, host);
      // The same text gives the same trees, so the same degrees and labels.
      ASSERT_EQ(map.DotText, expected);
      EXPECT_GT(std::count(expected.begin(), expected.end(), '\n'), 6);
    }
  }
}

TEST_F(ArticleMapTest, EveryGroupOfArticlesGetsItsTree) {
  test::TempDir noPrograms;
  m_settings.GraphvizFolder = noPrograms.Root().string();
  // Two editorials without abstracts are identical (cosine 1, the strongest link of all) and share
  // no word with the nine articles of the chain, which must keep their tree all the same.
  std::vector<MapArticle> articles = SmallChain();
  articles.insert(articles.begin() + 3, {"Editorial", ""});
  articles.push_back({"Editorial", ""});
  const ArticleMap map = BuildArticleMap(articles, m_host, m_runner, m_settings);
  EXPECT_EQ(std::count(map.DotText.begin(), map.DotText.end(), '\n'), 3 + 8 + 1) << map.DotText;
  EXPECT_NE(map.DotText.find("\t4 -- 11 [len=0.00000];"), std::string::npos) << map.DotText;
}

TEST_F(ArticleMapTest, SecondOrderJoinsArticlesSimilarToTheSameArticles) {
  // A ring: neighbours share one word, opposite articles (1 and 3, 2 and 4) share none; only the
  // second order links them, each pair as strongly as its neighbours.
  const std::vector<MapArticle> ring = {
      {"quartz meadow", ""}, {"meadow violin", ""}, {"violin harbor", ""}, {"harbor quartz", ""}};
  test::TempDir noPrograms;
  m_settings.GraphvizFolder = noPrograms.Root().string();
  const ArticleMap first = BuildArticleMap(ring, m_host, m_runner, m_settings);
  EXPECT_EQ(first.DotText.find("1 -- 3"), std::string::npos);
  EXPECT_NE(first.DotText.find("1 -- 2 [len=0.50000]"), std::string::npos) << first.DotText;
  m_settings.SecondOrder = true;
  const ArticleMap second = BuildArticleMap(ring, m_host, m_runner, m_settings);
  EXPECT_NE(second.DotText.find("1 -- 2 [len=0.33333]"), std::string::npos) << second.DotText;
}

TEST_F(ArticleMapTest, EmptyListAndSingleArticle) {
  const ArticleMap empty = BuildArticleMap({}, m_host, m_runner, m_settings);
  EXPECT_EQ(empty.MapGraph->NodeCount(), 0);
  EXPECT_EQ(empty.LayoutFailure, "");
  EXPECT_EQ(LargestDegree(empty), 0);
  EXPECT_TRUE(HubLabels(empty, 0).empty());
  EXPECT_EQ(empty.DotText.substr(empty.DotText.size() - 3), "\r\n}");

  if (!HaveGraphviz()) GTEST_SKIP() << "sfdp is not on PATH";
  const ArticleMap one =
      BuildArticleMap({{"A lonely article", "Nothing to compare with."}}, m_host, m_runner, m_settings);
  EXPECT_EQ(one.LayoutFailure, "");
  EXPECT_EQ(one.MapGraph->NodeCount(), 1);
  EXPECT_EQ(one.MapGraph->EdgeCount(), 0);
  EXPECT_EQ(HubLabels(one, 0).size(), 1u);
  EXPECT_TRUE(m_host.Messages().empty());
  // An article of one word is labelled by it once, not "editorial,editorial".
  const ArticleMap word = BuildArticleMap({{"Editorial", ""}, {"Editorial on mining", ""}, {"Mining networks", ""}},
                                          m_host, m_runner, m_settings);
  ASSERT_EQ(HubLabels(word, 0).size(), 3u);
  EXPECT_FALSE(HubLabels(word, 0)[0].empty());
  EXPECT_EQ(HubLabels(word, 0)[0].find(','), std::string::npos) << HubLabels(word, 0)[0];
}

TEST_F(ArticleMapTest, FailedLayoutIsToldOnceWithItsReason) {
  struct Case {
    const char* name;
    const char* program;  // body of a fake sfdp; null for none at all
    const char* reason;
  };
  const Case cases[] = {
      {"missing", nullptr, "sfdp was not found"},
      {"failing", "exit 3", "sfdp ended with exit status 3"},
      // Ends well but writes nothing: the layout's own message about the output is folded in.
      {"silent", "exit 0", "could not be read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedHost host;
    test::TempDir programs;
    if (c.program) test::WriteProgram(programs, "sfdp", c.program);
    m_settings.GraphvizFolder = programs.Root().string();
    const ArticleMap map = BuildArticleMap(SmallChain(), host, m_runner, m_settings);
    ASSERT_EQ(host.Messages().size(), 1u);
    const RecordedMessage& message = host.Messages()[0];
    EXPECT_EQ(message.title, "Graph layout failed");
    EXPECT_EQ(message.icon, MessageIcon::Exclamation);
    EXPECT_EQ(message.buttons, MessageButtons::Ok);
    EXPECT_NE(message.text.find(c.reason), std::string::npos) << message.text;
    EXPECT_NE(map.LayoutFailure.find(c.reason), std::string::npos) << map.LayoutFailure;
    EXPECT_EQ(map.MapGraph->NodeCount(), 9);
  }
}

// A layout program that never ends: every wait runs its slice out at once, so the time limit is
// reached in slices, not in seconds, and no Graphviz is needed.
class NeverEndingRunner : public ProcessRunner {
 public:
  std::unique_ptr<RunningProcess> Start(const std::string& program, const std::vector<std::string>&) override {
    started = program;
    return std::make_unique<Process>(waits);
  }
  std::string started;
  int waits = 0;

 private:
  class Process : public RunningProcess {
   public:
    explicit Process(int& waits) : m_waits(waits) {}
    int ProcessId() const override { return 4242; }  // never signalled: the program is left running
    WaitResult Wait(int) override {
      ++m_waits;
      return WaitResult::SliceElapsed;
    }
    int ExitStatus() const override { return -1; }

   private:
    int& m_waits;
  };
};

TEST_F(ArticleMapTest, LayoutThatNeverEndsIsGivenUpAtTheTimeLimit) {
  NeverEndingRunner runner;
  ScriptedHost host;
  m_settings.GraphvizFolder = "/opt/graphviz";
  const ArticleMap map = BuildArticleMap(SmallChain(), host, runner, m_settings);
  EXPECT_EQ(runner.started, "/opt/graphviz/sfdp");
  EXPECT_EQ(runner.waits, Spatial::kLayoutTimeLimitMs / 500 + 1) << "slices of 500 ms until the limit is passed";
  EXPECT_EQ(map.LayoutFailure, "/opt/graphviz/sfdp did not finish within 20 seconds");
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_NE(host.Messages()[0].text.find("did not finish within 20 seconds"), std::string::npos);
  EXPECT_EQ(map.MapGraph->NodeCount(), 9);
}

TEST(NodeSizeWeights, Modes) {
  CCRecord uncited, related;
  related.CitationCount = 10;
  related.CitedByPearls = 4;
  related.CitesPearls = 9;
  const std::vector<CCRecord> records = {uncited, related};
  struct Case {
    NodeSize size;
    float uncited;
    float related;
  };
  const Case cases[] = {{NodeSize::Constant, 1, 1},
                        {NodeSize::LogCitationCount, std::log(1.5f), std::log(11.5f)},
                        {NodeSize::CitedCount, 0, 8},
                        {NodeSize::CitingCount, 0, 27}};
  for (const Case& c : cases) {
    const std::vector<float> weights = NodeSizeWeights(records, c.size);
    ASSERT_EQ(weights.size(), 2u);
    EXPECT_FLOAT_EQ(weights[0], c.uncited) << "size " << static_cast<int>(c.size);
    EXPECT_FLOAT_EQ(weights[1], c.related) << "size " << static_cast<int>(c.size);
  }
  EXPECT_NEAR(NodeSizeWeights(records, NodeSize::LogCitationCount)[0], 0.405f, 0.001f);
  EXPECT_THROW(NodeSizeWeights(records, static_cast<NodeSize>(4)), std::out_of_range);
}

}  // namespace
}  // namespace wendrel
