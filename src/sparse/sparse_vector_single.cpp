// SparseVectorSingle: element access, dense conversion, similarities, truncation and iteration.
#include "sparse/sparse_vector_single.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "sparse/misc_functions.h"

namespace wendrel {

size_t SparseVectorSingle::LowerBound(int32_t dim) const {
  return static_cast<size_t>(std::lower_bound(m_indexes.begin(), m_indexes.end(), dim) - m_indexes.begin());
}

size_t SparseVectorSingle::CheckedPosition(int32_t k) const {
  if (k < 1 || k > NZElementCount())
    throw std::out_of_range("sparse vector list position " + std::to_string(k) + " outside 1.." +
                            std::to_string(NZElementCount()));
  return static_cast<size_t>(k - 1);
}

int32_t SparseVectorSingle::DimensionCount() const {
  if (m_dimensionCount != 0) return m_dimensionCount;
  if (m_indexes.empty()) throw std::out_of_range("sparse vector without dimension count or elements");
  return m_indexes.back();
}

float SparseVectorSingle::Value(int32_t dim) const {
  size_t p = LowerBound(dim);
  return p < m_indexes.size() && m_indexes[p] == dim ? m_values[p] : 0.0f;
}

void SparseVectorSingle::SetValue(int32_t dim, float v) {
  if (!(v > 0)) {
    DeleteElement(dim);
    return;
  }
  size_t p = LowerBound(dim);
  if (p < m_indexes.size() && m_indexes[p] == dim) {
    m_values[p] = v;
    return;
  }
  m_indexes.insert(m_indexes.begin() + static_cast<std::ptrdiff_t>(p), dim);
  m_values.insert(m_values.begin() + static_cast<std::ptrdiff_t>(p), v);
}

void SparseVectorSingle::DeleteElement(int32_t dim) {
  size_t p = LowerBound(dim);
  if (p == m_indexes.size() || m_indexes[p] != dim) return;
  m_indexes.erase(m_indexes.begin() + static_cast<std::ptrdiff_t>(p));
  m_values.erase(m_values.begin() + static_cast<std::ptrdiff_t>(p));
}

bool SparseVectorSingle::IsEmpty(int32_t dim) const {
  size_t p = LowerBound(dim);
  return p == m_indexes.size() || m_indexes[p] != dim;
}

float SparseVectorSingle::ValueByListIndex(int32_t k) const { return m_values[CheckedPosition(k)]; }

void SparseVectorSingle::SetValueByListIndex(int32_t k, float v) { m_values[CheckedPosition(k)] = v; }

float SparseVectorSingle::ElementByListIndex(int32_t k) const {
  return static_cast<float>(m_indexes[CheckedPosition(k)]);
}

std::vector<float> SparseVectorSingle::GetVectorArr(int32_t& dim) const {
  if (dim == 0) dim = DimensionCount();
  std::vector<float> dense(static_cast<size_t>(std::max(dim, 0)) + 1, 0.0f);
  // Every stored element is copied (a 16-bit position counter once limited this to 32767).
  for (size_t k = 0; k < m_indexes.size() && m_indexes[k] <= dim; ++k) dense[static_cast<size_t>(m_indexes[k])] = m_values[k];
  return dense;
}

void SparseVectorSingle::SetVector(const std::vector<float>& dense, int32_t dim) {
  m_dimensionCount = dim;
  m_indexes.clear();
  m_values.clear();
  int32_t last = std::min<int32_t>(dim, static_cast<int32_t>(dense.size()) - 1);
  for (int32_t i = 1; i <= last; ++i) {
    float v = dense[static_cast<size_t>(i)];
    if (v != 0) {
      m_indexes.push_back(i);
      m_values.push_back(v);
    }
  }
  m_indexes.shrink_to_fit();
  m_values.shrink_to_fit();
}

void SparseVectorSingle::SetElements(std::vector<int32_t> indexes, std::vector<float> values, int32_t dim) {
  if (indexes.size() != values.size()) throw std::invalid_argument("SetElements: lists of different lengths");
  m_dimensionCount = dim;
  m_indexes = std::move(indexes);
  m_values = std::move(values);
}

float SparseVectorSingle::Magnitude() const {
  float sum = 0;
  for (float v : m_values) sum += v * v;
  return std::sqrt(sum);
}

namespace {

// The cosine step shared by both similarity forms: only a positive inner product is divided.
float FinishSimilarity(float sum, int32_t measure, float magnitude, float otherMagnitude) {
  if (measure == 2 && sum > 0) return sum / (magnitude * otherMagnitude);
  return sum;
}

float DenseAt(const std::vector<float>& dense, int32_t dim) {
  return static_cast<size_t>(dim) < dense.size() ? dense[static_cast<size_t>(dim)] : 0.0f;
}

}  // namespace

float SparseVectorSingle::GetSimilarity(const std::vector<float>& dense, int32_t measure, float otherMagnitude) const {
  float sum = 0;
  for (size_t k = 0; k < m_indexes.size(); ++k) sum += DenseAt(dense, m_indexes[k]) * m_values[k];
  if (measure == 2 && !(otherMagnitude > 0)) return -1;
  return FinishSimilarity(sum, measure, Magnitude(), otherMagnitude);
}

float SparseVectorSingle::GetSimilarityDX8(const std::vector<float>& dense, int32_t measure,
                                           float otherMagnitude) const {
  float sum = 0;
  const size_t n = m_indexes.size();
  size_t k = 0;
  for (; k + 4 <= n; k += 4) {
    float block = DenseAt(dense, m_indexes[k]) * m_values[k] + DenseAt(dense, m_indexes[k + 1]) * m_values[k + 1] +
                  DenseAt(dense, m_indexes[k + 2]) * m_values[k + 2] + DenseAt(dense, m_indexes[k + 3]) * m_values[k + 3];
    sum += block;
  }
  for (; k < n; ++k) sum += DenseAt(dense, m_indexes[k]) * m_values[k];
  return FinishSimilarity(sum, measure, Magnitude(), otherMagnitude);
}

float SparseVectorSingle::GetSimilarity_old(const SparseVectorSingle& other, const std::vector<float>& dense,
                                            int32_t measure) const {
  float sum = 0;
  for (size_t k = 0; k < m_indexes.size(); ++k) sum += DenseAt(dense, m_indexes[k]) * m_values[k];
  return FinishSimilarity(sum, measure, Magnitude(), other.Magnitude());
}

float SparseVectorSingle::GetSimilarityDX8_old(const SparseVectorSingle& other, const std::vector<float>& dense,
                                               int32_t measure) const {
  return GetSimilarityDX8(dense, measure, other.Magnitude());
}

void SparseVectorSingle::TruncateLocal(int32_t keep) {
  if (m_indexes.empty()) return;
  int32_t length = 0;
  std::vector<float> dense = GetVectorArr(length);
  std::vector<int32_t> chosen = RankIndices(dense, -1, keep, true, 1);
  std::vector<float> kept(dense.size(), 0.0f);
  for (int32_t i : chosen) kept[static_cast<size_t>(i)] = dense[static_cast<size_t>(i)];
  SetVector(kept, length);
}

void SparseVectorSingle::Normalise() {
  for (float& v : m_values) v /= Magnitude();
}

int32_t SparseVectorSingle::FirstElementIndex() {
  m_cursor = 1;
  return m_indexes.empty() ? -1 : m_indexes.front();
}

int32_t SparseVectorSingle::LastElementIndex() {
  m_cursor = NZElementCount();
  return m_indexes[CheckedPosition(m_cursor)];
}

int32_t SparseVectorSingle::NextElementIndex() {
  if (m_cursor <= NZElementCount()) ++m_cursor;
  return m_cursor <= NZElementCount() ? m_indexes[static_cast<size_t>(m_cursor - 1)] : -1;
}

}  // namespace wendrel
