// SparseVectorSingle: a vector of single-precision values over dimensions numbered from 1 that
// stores only its non-zero elements, in increasing order of dimension.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wendrel {

class SparseMatrixSingle;

// Two parallel lists (dimension, value), strictly increasing in dimension. List positions
// (ValueByListIndex, ElementByListIndex) count from 1, as do dimensions. Dense arrays handed in
// and out are indexed by dimension: element 0 is unused and element i holds dimension i.
// Writing through SetValue keeps only positive values; SetVector, SetElements and
// SetValueByListIndex store any value they are given. Positions outside 1..NZElementCount throw
// std::out_of_range.
class SparseVectorSingle {
 public:
  int32_t NZElementCount() const { return static_cast<int32_t>(m_indexes.size()); }
  // The dimension count when one was set, otherwise the largest stored dimension (throws
  // std::out_of_range when neither exists).
  int32_t DimensionCount() const;

  float Value(int32_t dim) const;
  // v <= 0 removes the element; otherwise it is stored in its place.
  void SetValue(int32_t dim, float v);
  void DeleteElement(int32_t dim);
  bool IsEmpty(int32_t dim) const;

  float ValueByListIndex(int32_t k) const;
  void SetValueByListIndex(int32_t k, float v);
  // The dimension at list position k, as a single-precision number.
  float ElementByListIndex(int32_t k) const;

  // Dense copy indexed 1..dim; dim 0 means the dimension count (the caller sees the new dim).
  // Stored elements beyond dim are left out.
  std::vector<float> GetVectorArr(int32_t& dim) const;
  // Replaces the content by the non-zero elements of dense[1..dim]; the dimension count becomes dim.
  void SetVector(const std::vector<float>& dense, int32_t dim);
  // The same as SetVector of the dense array holding values[k] at indexes[k] (indexes strictly
  // increasing within 1..dim, values non-zero), without building the dense array.
  void SetElements(std::vector<int32_t> indexes, std::vector<float> values, int32_t dim);

  // The stored lists, for loops over the non-zero elements (position k is element k - 1).
  const std::vector<int32_t>& Indexes() const { return m_indexes; }
  const std::vector<float>& Values() const { return m_values; }

 private:
  friend class SparseMatrixSingle;
  void SetDimension(int32_t count) { m_dimensionCount = count; }
  // Position (0-based) of the first stored dimension >= dim.
  size_t LowerBound(int32_t dim) const;
  size_t CheckedPosition(int32_t k) const;

  int32_t m_dimensionCount = 0;
  std::vector<int32_t> m_indexes;
  std::vector<float> m_values;
};

}  // namespace wendrel
