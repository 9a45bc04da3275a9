// Exports: dot text, the comma-separated matrix text, the
// upper-triangle list and the clipboard text.
#include "proximity/proximity_matrix.h"

#include <gtest/gtest.h>

#include <clocale>
#include <random>

#include "platform/scripted_host.h"

namespace wendrel {
namespace {

const char* const kHeader = "graph G {\r\n\tnode [shape=plaintext,height=.0,width=.0];\r\n\tedge [weight=1.0];\r\n";

ProximityMatrix Matrix(Host& host, int32_t n, int32_t kind, const std::vector<LinkRecord>& links) {
  ProximityMatrix m(host);
  m.InitMatrix(n, kind);
  for (const auto& l : links) {
    m.SetValue(l.I, l.J, l.Value);
    m.SetValue(l.J, l.I, l.Value);
  }
  return m;
}

TEST(Matrix2Dot, TreeOfSimilarities) {
  ScriptedHost host;
  ProximityMatrix tree = Matrix(host, 3, 1, {{0.5f, 1, 2}, {0.75f, 0, 1}});
  uint8_t firstNode = 1;
  const std::string expected =
      std::string(kHeader) + "\t1 -- 2 [len=0.25000];\r\n\t2 -- 3 [len=0.50000];\r\n}";
  EXPECT_EQ(tree.Matrix2Dot(1, firstNode, "", 0, 1), expected);
  EXPECT_EQ(tree.CurrentMatrixType(), 3);
  EXPECT_EQ(tree.Matrix2Dot(1, firstNode, "", 0, 1), expected);  // already distances: the same graph
}

TEST(Matrix2Dot, PowersRangeAndNumbering) {
  ScriptedHost host;
  ProximityMatrix m = Matrix(host, 3, 3, {{0.5f, 0, 1}, {1, 1, 2}, {1.5f, 0, 2}});
  uint8_t firstNode = 7;
  EXPECT_EQ(m.Matrix2Dot(2, firstNode, "a\tb\tc", 0, 1),
            std::string(kHeader) + "\t1 -- 2 [len=0.25000];\r\n\t2 -- 3 [len=1.00000];\r\n}");
  EXPECT_EQ(firstNode, 1);
  firstNode = 0;
  EXPECT_EQ(m.Matrix2Dot(1, firstNode, "", 2, 3), std::string(kHeader) + "}");  // no link in range
  // Lengths keep a full stop under a locale whose decimal separator is a comma.
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "fr_FR.UTF-8")) {
    EXPECT_NE(m.Matrix2Dot(1, firstNode, "", 0, 1).find("[len=0.50000]"), std::string::npos);
    std::setlocale(LC_ALL, "C");
  }
}

TEST(MatrixExports, TextsAndList) {
  ScriptedHost host;
  ProximityMatrix m = Matrix(host, 2, 1, {{0.25f, 0, 1}});
  EXPECT_EQ(m.Matrix2IVCSparse(), ",2,2\rRowLabels,,\rColumnLabels,,\rData,\r-1,0.25\r0.25,-1\r");
  EXPECT_EQ(m.Matrix2Vector(), (std::vector<float>{0.25f, 0}));
  m.Copy2Clip();
  EXPECT_EQ(host.ClipboardText(), "-1.00000\t0.25000\r\n0.25000\t-1.00000");
  EXPECT_EQ(FixedFive(-0.000001), "0.00000");
  EXPECT_EQ(FixedFive(9999999), "9999999.00000");
}

}  // namespace
}  // namespace wendrel
