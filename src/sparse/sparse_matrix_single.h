// SparseMatrixSingle: a RowCount x ColCount matrix of single-precision values held as one
// SparseVectorSingle per column.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sparse/sparse_vector_single.h"

namespace wendrel {

// Rows and columns count from 1. Column c's vector holds that column's non-zero entries indexed
// by row number; a column costs one empty pointer until something is written to it. Writing a
// value <= 0 removes the entry. Reads never fail (0 outside the matrix); Vector and writes
// outside 1..ColCount throw std::out_of_range.
class SparseMatrixSingle {
 public:
  int32_t RowCount() const { return m_rowCount; }
  // Changes only the number.
  void SetRowCount(int32_t rows) { m_rowCount = rows; }
  int32_t ColCount() const { return m_colCount; }

  // New sizes; every entry is gone.
  void Reset(int32_t rows, int32_t cols);

  float Value(int32_t r, int32_t c) const;
  void SetValue(int32_t r, int32_t c, float v);
  bool IsEmpty(int32_t r, int32_t c) const;

  // Column c's vector itself (created empty on first use).
  SparseVectorSingle& Vector(int32_t c);
  // Read-only view of column c: an empty vector for a column not yet created or outside the matrix.
  const SparseVectorSingle& Vector(int32_t c) const;

 private:
  const SparseVectorSingle* Column(int32_t c) const;

  int32_t m_rowCount = 0;
  int32_t m_colCount = 0;
  // Slot 0 unused; slot c is column c.
  std::vector<std::unique_ptr<SparseVectorSingle>> m_columns;
};

}  // namespace wendrel
