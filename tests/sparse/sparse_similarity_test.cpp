// Sparse similarities against dense computations, truncation, iteration, the normalising quirk,
// and the matrix operations of the map pipeline (similarity matrix, symmetry, dense table).
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "platform/scripted_host.h"
#include "sparse/sparse_matrix_single.h"
#include "temp_dir.h"

namespace wendrel {
namespace {

SparseVectorSingle FromDense(std::vector<float> values) {
  values.insert(values.begin(), 0.0f);
  SparseVectorSingle v;
  v.SetVector(values, static_cast<int32_t>(values.size()) - 1);
  return v;
}

TEST(SparseVectorSingle, ProductsMatchDense) {
  std::mt19937 random(3);
  for (int round = 0; round < 30; ++round) {
    std::vector<float> a(1 + random() % 23), b(a.size());
    for (size_t k = 0; k < a.size(); ++k) {
      a[k] = random() % 3 ? 0.0f : static_cast<float>(random() % 100) / 10;
      b[k] = static_cast<float>(random() % 100) / 10;
    }
    double dot = 0;
    for (size_t k = 0; k < a.size(); ++k) dot += static_cast<double>(a[k]) * b[k];
    std::vector<float> dense(b);
    dense.insert(dense.begin(), 0.0f);
    SparseVectorSingle v = FromDense(a);
    EXPECT_NEAR(v.GetSimilarityDX8(dense, 1, 1), dot, 1e-3);
    EXPECT_NEAR(v.GetSimilarity(dense, 1, 1), dot, 1e-3);
    EXPECT_NEAR(v.GetSimilarity_old(FromDense(b), dense, 1), dot, 1e-3);
  }
  // A zero magnitude on the other side gives -1, not a division by zero.
  EXPECT_EQ(FromDense({1, 0, 2}).GetSimilarity({0, 2, 5, 1}, 2, 0), -1);
}

TEST(SparseVectorSingle, TruncateIterateNormalise) {
  SparseVectorSingle v = FromDense({3, 1, 3, 2});
  v.TruncateLocal(2);
  EXPECT_EQ(v.Indexes(), (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(v.FirstElementIndex(), 1);
  EXPECT_EQ(v.NextElementIndex(), 3);
  EXPECT_EQ(v.NextElementIndex(), -1);
  EXPECT_EQ(v.NextElementIndex(), -1);
  EXPECT_EQ(v.LastElementIndex(), 3);
  SparseVectorSingle empty;
  EXPECT_EQ(empty.FirstElementIndex(), -1);
  EXPECT_THROW(empty.LastElementIndex(), std::out_of_range);
  // The second value is divided by the magnitude of (1, 4): sqrt(17), not 5.
  SparseVectorSingle n = FromDense({3, 4});
  n.Normalise();
  EXPECT_FLOAT_EQ(n.Values()[0], 0.6f);
  EXPECT_FLOAT_EQ(n.Values()[1], 4 / std::sqrt(0.36f + 16));
}

// A random terms x documents matrix, and its dense columns.
SparseMatrixSingle RandomMatrix(std::mt19937& random, int32_t terms, int32_t documents,
                                std::vector<std::vector<double>>& dense) {
  SparseMatrixSingle m;
  m.Reset(terms, documents);
  dense.assign(static_cast<size_t>(documents) + 1, std::vector<double>(static_cast<size_t>(terms) + 1, 0.0));
  for (int32_t d = 1; d <= documents; ++d) {
    for (int32_t t = 1; t <= terms; ++t) {
      if (random() % 4 == 0) {
        float w = 0.01f + static_cast<float>(random() % 100000) / 33333.0f;  // sums that round
        m.SetValue(t, d, w);
        dense[static_cast<size_t>(d)][static_cast<size_t>(t)] = w;
      }
    }
  }
  return m;
}

TEST(CosineRows, EveryRowHasTheBitsOfTheSymmetricCosineMatrix) {
  std::mt19937 random(17);
  for (int round = 0; round < 12; ++round) {
    std::vector<std::vector<double>> dense;
    const int32_t documents = 1 + static_cast<int32_t>(random() % 14);
    SparseMatrixSingle m = RandomMatrix(random, 1 + static_cast<int32_t>(random() % 15), documents, dense);
    if (round % 3 == 0) m.Vector(documents) = SparseVectorSingle();  // a document without terms
    SparseMatrixSingle similarities = m.GetSimilarityMatrix(m, 2);
    similarities.MakeSymmetric(true);
    const std::vector<float> table = similarities.GetDenseMatrix();
    CosineRows rows(m);
    ASSERT_EQ(rows.ColCount(), documents);
    // Rows asked in any order, each one clean of the one before; then each column retired before
    // its row is asked, as a growing tree asks, which leaves out the columns retired.
    auto check = [&](int32_t c, bool retiring) {
      if (retiring) rows.Retire(c);
      const std::vector<float>& row = rows.Row(c);
      for (int32_t j = 1; j <= documents; ++j) {
        const bool out = j == c || (retiring && j < c);
        const float expected = out ? -1.0f : table[static_cast<size_t>(c - 1) * documents + (j - 1)];
        EXPECT_EQ(row[static_cast<size_t>(j - 1)], expected) << "round " << round << ", " << c << "," << j;
      }
    };
    for (int32_t c = documents; c >= 1; --c) check(c, false);
    for (int32_t c = 1; c <= documents; ++c) check(c, true);
    EXPECT_THROW(rows.Row(0), std::out_of_range);
    EXPECT_THROW(rows.Row(documents + 1), std::out_of_range);
    EXPECT_THROW(rows.Retire(0), std::out_of_range);
  }
}

TEST(SparseMatrixSingle, SimilarityMatrixMatchesDenseCosines) {
  std::mt19937 random(9);
  for (int round = 0; round < 10; ++round) {
    std::vector<std::vector<double>> dense;
    const int32_t documents = 2 + static_cast<int32_t>(random() % 12);
    SparseMatrixSingle m = RandomMatrix(random, 1 + static_cast<int32_t>(random() % 15), documents, dense);
    ScriptedHost host;
    SparseMatrixSingle cosines = m.GetSimilarityMatrix(m, 2, &host);
    EXPECT_EQ(host.DoEventsCount(), documents - 1);  // one turn per row
    SparseMatrixSingle products = m.GetSimilarityMatrix(m, 1);
    for (int32_t measure : {1, 2, 3}) {  // the map's table, built straight or through the sparse matrix
      SparseMatrixSingle similarities = m.GetSimilarityMatrix(m, measure);
      similarities.MakeSymmetric(true);
      EXPECT_EQ(m.GetSymmetricSimilarityTable(m, measure), similarities.GetDenseMatrix()) << measure;
    }
    ASSERT_EQ(cosines.ColCount(), documents);
    for (int32_t i = 1; i <= documents; ++i) {
      for (int32_t j = 1; j <= documents; ++j) {
        double dot = 0, li = 0, lj = 0;
        for (size_t t = 1; t < dense[1].size(); ++t) {
          dot += dense[i][t] * dense[j][t];
          li += dense[i][t] * dense[i][t];
          lj += dense[j][t] * dense[j][t];
        }
        double cosine = i == j ? 1 : (li > 0 && lj > 0 ? dot / std::sqrt(li * lj) : 0);
        // Only the upper triangle (and the diagonal) is written; a zero vector has -1, not stored.
        double expectedCosine = i > j || (i != j && li == 0) ? 0 : cosine;
        EXPECT_NEAR(cosines.Value(i, j), expectedCosine, 1e-5) << i << "," << j;
        double expectedProduct = i > j || (i == documents && j == documents) ? 0 : dot;
        EXPECT_NEAR(products.Value(i, j), expectedProduct, 1e-3) << i << "," << j;
        if (i != j) {
          EXPECT_NEAR(m.GetSimilarity(i, j, 2), li > 0 && lj > 0 ? cosine : (lj > 0 ? 0 : -1), 1e-5);
        }
      }
    }
  }
  SparseMatrixSingle m;
  m.Reset(3, 2);
  EXPECT_EQ(m.GetSimilarityMatrix(m, 3).ColCount(), 0);
}

TEST(SparseMatrixSingle, MakeSymmetricAndDenseTable) {
  // Random square matrices against the entry-by-entry copy of the upper triangle (an empty
  // upper entry clears the lower one).
  std::mt19937 random(6);
  for (int round = 0; round < 20; ++round) {
    const int32_t n = 1 + static_cast<int32_t>(random() % 9);
    SparseMatrixSingle r;
    r.Reset(n, n);
    for (int32_t i = 1; i <= n; ++i)
      for (int32_t j = 1; j <= n; ++j)
        if (random() % 2) r.SetValue(i, j, static_cast<float>(1 + random() % 5));
    std::vector<float> expected = r.GetDenseMatrix();
    for (int32_t i = 1; i <= n; ++i)
      for (int32_t j = i + 1; j <= n; ++j) expected[(j - 1) * n + (i - 1)] = expected[(i - 1) * n + (j - 1)];
    r.MakeSymmetric(round % 2 == 0);
    EXPECT_EQ(r.GetDenseMatrix(), expected);
  }

  SparseMatrixSingle wide;  // not square: left as it is
  wide.Reset(3, 4);
  wide.SetValue(1, 2, 0.5f);
  wide.MakeSymmetric(true);
  EXPECT_EQ(wide.Value(2, 1), 0);
  SparseMatrixSingle two;  // a negative value reads as no value
  two.Reset(2, 2);
  two.SetValue(1, 2, 0.7f);
  two.SetValue(2, 1, -0.5f);
  EXPECT_EQ(two.GetDenseMatrix(), (std::vector<float>{-1, 0.7f, -1, -1}));
}

TEST(SparseMatrixSingle, CopiesTransposeAndSelection) {
  std::mt19937 random(4);
  std::vector<std::vector<double>> dense;
  SparseMatrixSingle m = RandomMatrix(random, 5, 4, dense);
  SparseMatrixSingle transposed;
  transposed.SetMatrix(m);
  transposed.Transpose();
  SparseMatrixSingle selected;
  selected.SetMatrixSelective(m, {3, 1});
  ASSERT_EQ(transposed.RowCount(), 4);
  ASSERT_EQ(selected.ColCount(), 2);
  for (int32_t t = 1; t <= 5; ++t) {
    for (int32_t d = 1; d <= 4; ++d) EXPECT_EQ(transposed.Value(d, t), m.Value(t, d));
    EXPECT_EQ(selected.Value(t, 1), m.Value(t, 3));
    EXPECT_EQ(selected.Value(t, 2), m.Value(t, 1));
  }
  SparseMatrixSingle fromTdm;
  fromTdm.SetFromDenseMatrixTDM({0, 0.5f, 2, -1, 0, 3}, 2, 3);  // two documents of three terms
  EXPECT_EQ(fromTdm.Value(3, 1), 2);
  EXPECT_EQ(fromTdm.Value(1, 2), 0);
  SparseMatrixSingle fromPm;
  fromPm.SetFromDenseMatrixPM({-1, 0.5f, 0.25f, -1}, 2);
  EXPECT_EQ(fromPm.Value(2, 1), 0.25f);
  EXPECT_TRUE(fromPm.IsEmpty(1, 1));
}

TEST(SparseMatrixSingle, DenseTextRoundTrip) {
  test::TempDir dir;
  SparseMatrixSingle m;
  m.Reset(2, 3);
  m.SetValue(1, 1, 0.25f);
  m.SetValue(2, 3, 1.5f);
  m.SaveDenseMatrix(dir.Path("m.txt"), false);
  SparseMatrixSingle back;
  ASSERT_TRUE(back.LoadDenseMatrix(dir.Path("m.txt")));
  EXPECT_EQ(back.GetDenseMatrix(), m.GetDenseMatrix());
  ScriptedHost host;
  m.Matrix2Clip(host);
  EXPECT_EQ(host.ClipboardText(), "0.25\t0\t0\t\r\n0\t0\t1.5\t\r\n");
  m.SaveDenseMatrix(dir.Path("d.txt"), true);
  ASSERT_TRUE(back.LoadDenseMatrix(dir.Path("d.txt")));
  EXPECT_EQ(back.Value(1, 1), 0.75f);
  EXPECT_EQ(back.Value(2, 3), 0);  // 1 - 1.5 is not stored
  EXPECT_FALSE(back.LoadDenseMatrix(dir.Path("missing.txt")));
}

}  // namespace
}  // namespace wendrel
