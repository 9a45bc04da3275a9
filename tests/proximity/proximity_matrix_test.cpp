// ProximityMatrix: loading tab-separated tables, similarity/distance conversion, the operations
// the network code builds on, and cosines from a term-document matrix against a dense computation.
#include "proximity/proximity_matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>

#include "platform/scripted_host.h"
#include "temp_dir.h"
#include "test_paths.h"
#include "text/document_set.h"
#include "text/term_document_matrix.h"

namespace wendrel {
namespace {

ProximityMatrix FromRows(Host& host, const std::vector<std::vector<float>>& rows, int32_t kind) {
  std::vector<float> table;
  for (const auto& row : rows) table.insert(table.end(), row.begin(), row.end());
  ProximityMatrix m(host);
  m.SetFromDense(table, static_cast<int32_t>(rows.size()), kind);
  return m;
}

TEST(ProximityMatrix, LoadMatrixFromFile) {
  ScriptedHost host;
  test::TempDir dir;
  std::ofstream(dir.Path("m.tsv"), std::ios::binary) << "1\t0.5\t0.25\t\r\n9\t1\t0.75\r\n9\t0.125\t1\r\n";
  ProximityMatrix m(host);
  ASSERT_TRUE(m.LoadMatrix(dir.Path("m.tsv"), 0, 1));
  EXPECT_EQ(m.NodeCount(), 3);  // the trailing tab adds no node
  EXPECT_EQ(m.CurrentMatrixType(), 1);
  // Column 0 comes from the first line; between later rows the lower triangle wins.
  EXPECT_EQ(m.Value(1, 0), 0.5f);
  EXPECT_EQ(m.Value(1, 2), 0.125f);
  EXPECT_EQ(m.Value(2, 1), 0.125f);
  // Unreadable pieces count 0, exponents are read, cells of a second block cut short are kept.
  std::ofstream(dir.Path("odd.tsv"), std::ios::binary) << "x\t0.5\t2.5e-1\n0.5\tabc\t0.75\n0\t1\t1\n0\t0.5\n";
  ASSERT_TRUE(m.LoadMatrix(dir.Path("odd.tsv"), 0, 0));
  EXPECT_EQ(m.Value(0, 0), 0);
  EXPECT_EQ(m.Value(0, 2), 0.25f);
  EXPECT_EQ(m.Value(1, 1), 0.5f);
  EXPECT_EQ(m.Value(2, 2), 1);
}

TEST(ProximityMatrix, LoadMatrixFailuresLeaveTheMatrix) {
  ScriptedHost host;
  test::TempDir dir;
  std::ofstream(dir.Path("empty.tsv"), std::ios::binary) << "\r\n1\t2\r\n";
  std::ofstream(dir.Path("ok.tsv"), std::ios::binary) << "0.5\t0.5\r\n0\t0.5\r\n";
  // Fewer rows than columns is no square table: a first line of 30,000 tabs once asked for 3.6 GB.
  std::ofstream(dir.Path("short.tsv"), std::ios::binary) << "1\t0.5\t0.25\r\n0.5\t1\t0.75\r\n";
  std::ofstream(dir.Path("tabs.tsv"), std::ios::binary) << std::string(30000, '\t') << "1\r\n1\r\n";
  ProximityMatrix m = FromRows(host, {{-1, 0.5f}, {0.5f, -1}}, 1);
  for (const char* name : {"empty.tsv", "missing.tsv", "short.tsv", "tabs.tsv"})
    EXPECT_FALSE(m.LoadMatrix(dir.Path(name), 0, 3)) << name;
  EXPECT_FALSE(m.LoadMatrix(dir.Path("ok.tsv"), 1, 3));
  EXPECT_EQ(m.CurrentMatrixType(), 1);
  EXPECT_EQ(m.Value(0, 0), -1);
}

TEST(ProximityMatrix, Sim2DisBothWays) {
  ScriptedHost host;
  ProximityMatrix m = FromRows(host, {{-1, 0.25f, -1}, {0.25f, -1, -1}, {-1, -1, -1}}, 1);
  m.Sim2Dis();
  EXPECT_EQ(m.CurrentMatrixType(), 3);
  EXPECT_EQ(m.Value(1, 0), 0.75f);
  EXPECT_EQ(m.Value(0, 2), -1);
  m.Sim2Dis();
  EXPECT_EQ(m.CurrentMatrixType(), 1);
  EXPECT_EQ(m.Value(0, 1), 0.25f);
  ProximityMatrix unset = FromRows(host, {{-1, 0.25f}, {0.25f, -1}}, 0);
  unset.Sim2Dis();
  EXPECT_EQ(unset.Value(0, 1), 0.25f);  // a table of unknown kind is left alone
}

TEST(ProximityMatrix, PrepareDistancesAndLinkCounts) {
  ScriptedHost host;
  ProximityMatrix m = FromRows(host, {{5, 1, 0.999f}, {1, 5, -1}, {0.999f, -1, 5}}, 3);
  EXPECT_EQ(m.LinkCount(0, 1), 0);  // no link-count table yet
  m.PrepareDistances();
  EXPECT_EQ(m.Value(0, 0), 0);
  EXPECT_EQ(m.Value(0, 1), ProximityMatrix::kNoLink);
  EXPECT_EQ(m.Value(1, 2), ProximityMatrix::kNoLink);
  EXPECT_EQ(m.Value(0, 2), 0.999f);
  m.SetLinkCount(0, 2, 4);
  EXPECT_EQ(m.LinkCount(0, 2), 4);
  EXPECT_EQ(m.LinkCount(2, 0), 0);
  m.InitLinks();
  EXPECT_EQ(m.LinkCount(0, 2), 1);
}

TEST(ProximityMatrix, GetLinksInRangeRowByRow) {
  ScriptedHost host;
  ProximityMatrix m = FromRows(host,
                               {{-1, -1, 0.5f, 1}, {9, -1, 1.5f, 0}, {9, 9, -1, 0.25f}, {9, 9, 9, -1}}, 1);
  EXPECT_EQ(m.GetLinks(0, 1), (std::vector<LinkRecord>{{0.5f, 0, 2}, {1, 0, 3}, {0, 1, 3}, {0.25f, 2, 3}}));
  EXPECT_TRUE(m.GetLinks(2, 3).empty());
}

TEST(ProximityMatrix, AnglesMatchDenseCosines) {
  ScriptedHost host;
  const char* words[] = {"maps", "science", "pearls", "citation", "network", "growth", "graph", "layout"};
  std::mt19937 random(5);
  std::vector<std::vector<std::string>> rows;
  for (int d = 0; d < 12; ++d) {
    std::string text;
    for (int w = 0; w < 4; ++w) text += std::string(words[random() % 8]) + " ";
    rows.push_back({d == 11 ? rows[3][0] : text});  // two identical documents
  }
  DocumentSet set(host);
  set.SetDocuments(rows, 0, static_cast<int32_t>(rows.size()));
  TermDocumentMatrix tdm(host);
  int32_t documents = set.DocumentCount();
  tdm.AssignText(set, documents, false);
  tdm.Preprocess(false, true, 3, test::DataPath("text_stopwords.txt"), false);
  tdm.BuildVocab(0, 999);
  tdm.BuildTDM(1, 1000);

  for (bool terms : {false, true}) {
    ProximityMatrix m(host);
    terms ? m.ComputeTermAngles(tdm, 1, true, true, false) : m.ComputeDocAngles(tdm, 1, true, true, false);
    const int32_t n = terms ? tdm.TermCount() : tdm.DocCount();
    ASSERT_EQ(m.NodeCount(), n);
    EXPECT_EQ(m.CurrentMatrixType(), terms ? 2 : 1);
    auto w = [&](int32_t node, int32_t other) {
      return terms ? tdm.TermWeight(node + 1, other, 1, true) : tdm.TermWeight(other, node + 1, 1, true);
    };
    const int32_t length = terms ? tdm.DocCount() : tdm.TermCount();
    for (int32_t a = 0; a < n; ++a) {
      EXPECT_EQ(m.Value(a, a), -1);
      for (int32_t b = a + 1; b < n; ++b) {
        double dot = 0, la = 0, lb = 0;
        for (int32_t x = 1; x <= length; ++x) {
          dot += w(a, x) * w(b, x);
          la += w(a, x) * w(a, x);
          lb += w(b, x) * w(b, x);
        }
        double expected = la > 0 && lb > 0 ? dot / std::sqrt(la * lb) : 0;
        EXPECT_NEAR(m.Value(a, b), expected, 1e-5) << a << " " << b;
        EXPECT_EQ(m.Value(a, b), m.Value(b, a));
      }
    }
  }
  ProximityMatrix distances(host);
  distances.ComputeDocAngles(tdm, 1, true, true, true);
  EXPECT_EQ(distances.CurrentMatrixType(), 3);
  EXPECT_NEAR(distances.Value(3, 11), 0, 1e-6);  // identical documents
}

}  // namespace
}  // namespace wendrel
