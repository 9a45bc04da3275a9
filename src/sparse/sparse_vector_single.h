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

  // The square root of the sum of the squared values, summed in single precision in list order.
  float Magnitude() const;
  // The inner product with dense (indexed by dimension, covering every stored dimension), summed in
  // single precision in list order. Measure 2 turns a positive sum into the cosine, dividing by
  // Magnitude() * otherMagnitude (-1 when otherMagnitude <= 0); any other measure keeps the sum.
  float GetSimilarity(const std::vector<float>& dense, int32_t measure, float otherMagnitude) const;
  // The same sum taken four list positions at a time (one 4-component dot product per block, the
  // rest one by one), so the rounding may differ from GetSimilarity; no -1 case.
  float GetSimilarityDX8(const std::vector<float>& dense, int32_t measure, float otherMagnitude) const;
  // As the two above with other's magnitude computed here (no -1 result for the first).
  float GetSimilarity_old(const SparseVectorSingle& other, const std::vector<float>& dense, int32_t measure) const;
  float GetSimilarityDX8_old(const SparseVectorSingle& other, const std::vector<float>& dense, int32_t measure) const;

  // Keeps the keep largest values (lowest dimension first among equals); the dimension count stays.
  void TruncateLocal(int32_t keep);
  // Kept for callers of the full interface; a global cut has no meaning for a single vector.
  void TruncateGlobal(int32_t /*keep*/) {}
  // Divides value k by the magnitude taken anew before each division, so the values after the
  // first are divided by the magnitude of the partly divided vector (a long-standing quirk that
  // stored results depend on).
  void Normalise();

  // Iteration over the stored dimensions: -1 at the end (First on an empty vector, Next past the
  // last element, and again on every later call). LastElementIndex throws on an empty vector.
  int32_t FirstElementIndex();
  int32_t LastElementIndex();
  int32_t NextElementIndex();

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
  int32_t m_cursor = 0;  // list position of the iteration, from 1
  std::vector<int32_t> m_indexes;
  std::vector<float> m_values;
};

}  // namespace wendrel
