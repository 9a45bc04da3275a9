// SparseMatrixSingle: sizes and element access over lazily created column vectors.
#include "sparse/sparse_matrix_single.h"

#include <stdexcept>
#include <string>

namespace wendrel {

void SparseMatrixSingle::Reset(int32_t rows, int32_t cols) {
  if (cols < 0) throw std::out_of_range("sparse matrix with " + std::to_string(cols) + " columns");
  m_rowCount = rows;
  m_colCount = cols;
  m_columns.clear();
  m_columns.resize(static_cast<size_t>(cols) + 1);
}

const SparseVectorSingle* SparseMatrixSingle::Column(int32_t c) const {
  if (c < 1 || c > m_colCount) return nullptr;
  return m_columns[static_cast<size_t>(c)].get();
}

float SparseMatrixSingle::Value(int32_t r, int32_t c) const {
  const SparseVectorSingle* column = Column(c);
  return column ? column->Value(r) : 0.0f;
}

void SparseMatrixSingle::SetValue(int32_t r, int32_t c, float v) { Vector(c).SetValue(r, v); }

bool SparseMatrixSingle::IsEmpty(int32_t r, int32_t c) const {
  const SparseVectorSingle* column = Column(c);
  return !column || column->IsEmpty(r);
}

SparseVectorSingle& SparseMatrixSingle::Vector(int32_t c) {
  if (c < 1 || c > m_colCount)
    throw std::out_of_range("sparse matrix column " + std::to_string(c) + " outside 1.." + std::to_string(m_colCount));
  auto& column = m_columns[static_cast<size_t>(c)];
  if (!column) column = std::make_unique<SparseVectorSingle>();
  return *column;
}

const SparseVectorSingle& SparseMatrixSingle::Vector(int32_t c) const {
  static const SparseVectorSingle kEmpty;
  const SparseVectorSingle* column = Column(c);
  return column ? *column : kEmpty;
}

}  // namespace wendrel
