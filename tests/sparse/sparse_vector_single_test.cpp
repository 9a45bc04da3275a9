// SparseVectorSingle and SparseMatrixSingle checked against dense arrays fed the same writes.
#include "sparse/sparse_vector_single.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>

#include "sparse/sparse_matrix_single.h"

namespace wendrel {
namespace {

TEST(SparseVectorSingle, MatchesDenseArrays) {
  std::mt19937 random(7);
  for (int32_t n = 1; n <= 60; n += 3) {
    // SetValue keeps only positive values; SetVector and SetElements store any value.
    std::vector<float> written(n + 1, 0), any(written);
    SparseVectorSingle v;
    for (int k = 0; k < 3 * n; ++k) {
      int32_t i = 1 + random() % n;
      float x = static_cast<int>(random() % 6) - 2;
      v.SetValue(i, x);
      written[i] = std::max(x, 0.0f);
      any[i] = x;
    }
    std::vector<int32_t> indexes, anyIndexes;
    std::vector<float> values, anyValues;
    for (int32_t i = 1; i <= n; ++i) {
      EXPECT_EQ(v.Value(i), written[i]);
      if (written[i] != 0) indexes.push_back(i), values.push_back(written[i]);
      if (any[i] != 0) anyIndexes.push_back(i), anyValues.push_back(any[i]);
    }
    EXPECT_EQ(v.Indexes(), indexes);  // in dimension order
    EXPECT_EQ(v.Values(), values);
    if (!indexes.empty()) { EXPECT_EQ(v.DimensionCount(), indexes.back()); }  // the largest stored dimension
    SparseVectorSingle dense, listed;
    dense.SetVector(any, n);
    listed.SetElements(anyIndexes, anyValues, n);
    int32_t dim = 0;
    EXPECT_EQ(dense.GetVectorArr(dim), any);
    EXPECT_EQ(dim, n);
    EXPECT_EQ(dense.Indexes(), anyIndexes);
    EXPECT_EQ(listed.Values(), anyValues);
    EXPECT_EQ(listed.GetVectorArr(dim), any);
  }
}

TEST(SparseVectorSingle, EdgesOfTheLists) {
  SparseVectorSingle v;
  EXPECT_THROW(v.DimensionCount(), std::out_of_range);
  v.SetValue(2, 1);
  v.SetValue(6, 5);
  int32_t dim = 4;
  EXPECT_EQ(v.GetVectorArr(dim), (std::vector<float>{0, 0, 1, 0, 0}));  // cut at the given dimension
  v.SetValueByListIndex(1, -3);  // by position, negative values are stored as given
  EXPECT_EQ(v.Value(2), -3);
  v.DeleteElement(2);
  EXPECT_EQ(v.ElementByListIndex(1), 6.0f);
  EXPECT_THROW(v.ValueByListIndex(0), std::out_of_range);
  EXPECT_THROW(v.SetValueByListIndex(2, 1), std::out_of_range);
  // Positions past 16 bits.
  std::vector<float> ones(40001, 1.0f);
  v.SetVector(ones, 40000);
  dim = 0;
  EXPECT_EQ(v.GetVectorArr(dim), (ones[0] = 0, ones));
  EXPECT_EQ(v.NZElementCount(), 40000);
}

TEST(SparseMatrixSingle, MatchesADenseMatrix) {
  std::mt19937 random(3);
  SparseMatrixSingle m;
  m.Reset(10, 10);
  float dense[11][11] = {};
  for (int k = 0; k < 300; ++k) {
    int32_t r = 1 + random() % 10, c = 1 + random() % 10;
    float x = (static_cast<int>(random() % 5) - 2) / 2.0f;
    m.SetValue(r, c, x);
    dense[r][c] = x > 0 ? x : 0;
  }
  for (int32_t r = 1; r <= 10; ++r)
    for (int32_t c = 1; c <= 10; ++c) {
      EXPECT_EQ(m.Value(r, c), dense[r][c]);
      EXPECT_EQ(m.IsEmpty(r, c), dense[r][c] == 0);
      EXPECT_EQ(static_cast<const SparseMatrixSingle&>(m).Vector(c).Value(r), dense[r][c]);
    }
  // Reads outside never fail; writes and vectors outside throw.
  EXPECT_EQ(m.Value(3, 11), 0);
  EXPECT_EQ(m.Value(3, 0), 0);
  EXPECT_THROW(m.SetValue(1, 11, 1), std::out_of_range);
  EXPECT_THROW(m.Vector(0), std::out_of_range);
  m.Reset(5, 4);  // every entry is gone
  EXPECT_EQ(m.Value(3, 2), 0);
}

}  // namespace
}  // namespace wendrel
