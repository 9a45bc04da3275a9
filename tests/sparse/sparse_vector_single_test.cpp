// SparseVectorSingle and SparseMatrixSingle: element access and dense conversion, checked
// against dense arrays.
#include "sparse/sparse_vector_single.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "sparse/sparse_matrix_single.h"

namespace wendrel {
namespace {

std::vector<int32_t> Indexes(const SparseVectorSingle& v) {
  std::vector<int32_t> out;
  for (int32_t k = 1; k <= v.NZElementCount(); ++k) out.push_back(static_cast<int32_t>(v.ElementByListIndex(k)));
  return out;
}

std::vector<float> Values(const SparseVectorSingle& v) {
  std::vector<float> out;
  for (int32_t k = 1; k <= v.NZElementCount(); ++k) out.push_back(v.ValueByListIndex(k));
  return out;
}

TEST(SparseVectorSingle, WritesKeepDimensionOrder) {
  SparseVectorSingle v;
  v.SetValue(5, 2);
  v.SetValue(3, 1);
  v.SetValue(9, 4);
  EXPECT_EQ(Indexes(v), (std::vector<int32_t>{3, 5, 9}));
  EXPECT_EQ(Values(v), (std::vector<float>{1, 2, 4}));
  v.SetValue(5, 7);
  EXPECT_EQ(v.Value(5), 7);
  EXPECT_EQ(v.Value(4), 0);
  EXPECT_TRUE(v.IsEmpty(4));
  EXPECT_FALSE(v.IsEmpty(9));
  // Filled only by writes: the dimension count is the largest stored dimension.
  EXPECT_EQ(v.DimensionCount(), 9);
}

TEST(SparseVectorSingle, ZeroOrNegativeWritesRemove) {
  SparseVectorSingle v;
  v.SetValue(5, 2);
  v.SetValue(7, 1);
  v.SetValue(5, 0);
  EXPECT_EQ(Indexes(v), (std::vector<int32_t>{7}));
  v.SetValue(7, -1);
  EXPECT_EQ(v.NZElementCount(), 0);
  v.SetValue(2, -1);  // absent: nothing changes
  v.DeleteElement(2);
  EXPECT_EQ(v.NZElementCount(), 0);
}

TEST(SparseVectorSingle, ListPositionsAreCheckedAndStoreAnyValue) {
  SparseVectorSingle v;
  v.SetValue(4, 1);
  v.SetValueByListIndex(1, -3);  // by position, negative values are stored as given
  EXPECT_EQ(v.Value(4), -3);
  EXPECT_THROW(v.ValueByListIndex(0), std::out_of_range);
  EXPECT_THROW(v.ElementByListIndex(2), std::out_of_range);
  EXPECT_THROW(v.SetValueByListIndex(2, 1), std::out_of_range);
  SparseVectorSingle empty;
  EXPECT_THROW(empty.DimensionCount(), std::out_of_range);
}

TEST(SparseVectorSingle, DenseRoundTripMatchesRandomArrays) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> pick(-2, 3);
  for (int round = 0; round < 20; ++round) {
    int32_t n = 1 + round * 3;
    std::vector<float> dense(static_cast<size_t>(n) + 1, 0);
    for (int32_t i = 1; i <= n; ++i) dense[static_cast<size_t>(i)] = pick(random) > 0 ? static_cast<float>(pick(random)) : 0;
    SparseVectorSingle v;
    v.SetVector(dense, n);
    EXPECT_EQ(v.DimensionCount(), n);
    int32_t dim = 0;
    EXPECT_EQ(v.GetVectorArr(dim), dense);
    EXPECT_EQ(dim, n);
    for (int32_t i = 1; i <= n; ++i) EXPECT_EQ(v.Value(i), dense[static_cast<size_t>(i)]);

    // The same content handed over as sorted lists.
    std::vector<int32_t> indexes;
    std::vector<float> values;
    for (int32_t i = 1; i <= n; ++i)
      if (dense[static_cast<size_t>(i)] != 0) indexes.push_back(i), values.push_back(dense[static_cast<size_t>(i)]);
    SparseVectorSingle w;
    w.SetElements(indexes, values, n);
    EXPECT_EQ(Indexes(w), Indexes(v));
    EXPECT_EQ(Values(w), Values(v));
    EXPECT_EQ(w.DimensionCount(), n);
  }
}

TEST(SparseVectorSingle, GetVectorArrCutsAtTheGivenDimension) {
  SparseVectorSingle v;
  v.SetValue(2, 1);
  v.SetValue(6, 5);
  int32_t dim = 4;
  EXPECT_EQ(v.GetVectorArr(dim), (std::vector<float>{0, 0, 1, 0, 0}));
  SparseVectorSingle none;
  none.SetVector({0, 0, 0}, 2);
  EXPECT_EQ(none.NZElementCount(), 0);
  EXPECT_TRUE(none.IsEmpty(1));
}

TEST(SparseVectorSingle, GetVectorArrCopiesBeyondSixteenBitPositions) {
  SparseVectorSingle v;
  std::vector<float> dense(40001, 1.0f);
  v.SetVector(dense, 40000);
  int32_t dim = 0;
  std::vector<float> back = v.GetVectorArr(dim);
  EXPECT_EQ(back[40000], 1.0f);
  EXPECT_EQ(v.NZElementCount(), 40000);
}

TEST(SparseMatrixSingle, ReadsNeverFailAndWritesFollowTheVectorRule) {
  SparseMatrixSingle m;
  m.Reset(10, 10);
  EXPECT_EQ(m.Value(3, 5), 0);
  EXPECT_EQ(m.Value(3, 11), 0);
  EXPECT_EQ(m.Value(3, 0), 0);
  EXPECT_TRUE(m.IsEmpty(3, 5));
  EXPECT_EQ(m.Vector(5).NZElementCount(), 0);
  m.SetValue(2, 1, -0.5f);
  EXPECT_TRUE(m.IsEmpty(2, 1));
  m.SetValue(2, 1, 0.5f);
  EXPECT_EQ(m.Value(2, 1), 0.5f);
  EXPECT_EQ(m.Vector(1).Value(2), 0.5f);
  EXPECT_THROW(m.SetValue(1, 11, 1), std::out_of_range);
  EXPECT_THROW(m.Vector(0), std::out_of_range);
  const SparseMatrixSingle& view = m;
  EXPECT_EQ(view.Vector(7).NZElementCount(), 0);
  EXPECT_EQ(view.Vector(1).Value(2), 0.5f);
}

TEST(SparseMatrixSingle, ResetDropsEntriesAndRowCountOnlyChangesTheNumber) {
  SparseMatrixSingle m;
  m.Reset(3, 2);
  m.SetValue(3, 2, 4);
  m.SetRowCount(1);
  EXPECT_EQ(m.RowCount(), 1);
  EXPECT_EQ(m.Value(3, 2), 4);
  m.Reset(5, 4);
  EXPECT_EQ(m.ColCount(), 4);
  EXPECT_EQ(m.RowCount(), 5);
  EXPECT_EQ(m.Value(3, 2), 0);
}

}  // namespace
}  // namespace wendrel
