// SparseVectorSingle: element access, dense conversion.
#include "sparse/sparse_vector_single.h"

#include <algorithm>
#include <stdexcept>
#include <string>

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

}  // namespace wendrel
