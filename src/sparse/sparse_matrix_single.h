// SparseMatrixSingle: a RowCount x ColCount matrix of single-precision values held as one
// SparseVectorSingle per column.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sparse/sparse_vector_single.h"

namespace wendrel {

class Host;

// Rows and columns count from 1. Column c's vector holds that column's non-zero entries indexed
// by row number; a column costs one empty pointer until something is written to it. Writing a
// value <= 0 removes the entry. Reads never fail (0 outside the matrix); Vector and writes
// outside 1..ColCount throw std::out_of_range. Dense tables handed in and out are row-major
// vectors of singles, entry (r, c) at (r - 1) * ColCount + (c - 1).
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

 float Magnitude(int32_t c) const { return Vector(c).Magnitude(); }
  // Columns a and b: the cosine (measure 2) or inner product (1) of two different columns; for
  // a == b the squared magnitude (1), 1 (2) or 0 (other measures).
  float GetSimilarity(int32_t a, int32_t b, int32_t measure) const;

  // ColCount x ColCount similarities of this matrix's columns with other's columns: measure 1
  // (inner product) fills the diagonal and the upper triangle of rows 1..ColCount - 1; measure 2
  // (cosine) the upper triangle, with 1 on the whole diagonal. Values <= 0 are not stored. Any
  // other measure gives an empty 0 x 0 matrix. The host's event loop turns after each row.
  SparseMatrixSingle GetSimilarityMatrix(const SparseMatrixSingle& other, int32_t measure, Host* host = nullptr) const;
  // The same similarities made symmetric as a dense table: what GetSimilarityMatrix, MakeSymmetric
  // and GetDenseMatrix give (ColCount x ColCount, -1 where no entry; empty for another measure),
  // written straight into the table. The sparse matrix, nearly full when the documents share words,
  // never exists beside it, which halves the memory the map needs at its peak.
  std::vector<float> GetSymmetricSimilarityTable(const SparseMatrixSingle& other, int32_t measure,
                                                 Host* host = nullptr) const;
  // Similarities of column c with every column of other (similarities[j] for column j, index 0
  // unused) and the k most similar of them, most similar first (k capped at other.ColCount()).
  std::vector<int32_t> GetSimilarityVector(int32_t c, const SparseMatrixSingle& other, int32_t measure, int32_t& k,
                                           std::vector<float>& similarities) const;

  // A copy of source's positive entries and column dimension counts.
  void SetMatrix(const SparseMatrixSingle& source);
  // Copies the upper triangle over the lower one (a copied 0 clears the target) when the matrix
  // is square; the argument has never had an effect and callers pass either value.
  void MakeSymmetric(bool lowerToUpper);
  // RowCount x ColCount table with -1 for every absent entry.
  std::vector<float> GetDenseMatrix() const;

  // From a dense table of rows x cols (entries <= 0 absent): TDM takes one document per table row
  // (table row d becomes column d + 1, table column t becomes row t + 1), PM a proximity table
  // (table cell (i, j) becomes entry (i + 1, j + 1)).
  void SetFromDenseMatrixTDM(const std::vector<float>& table, int32_t documents, int32_t terms);
  void SetFromDenseMatrixPM(const std::vector<float>& table, int32_t nodes);

  // Tab-separated text: one line per row, each value followed by a tab, lines ended by CR LF,
  // numbers with a full stop. Load returns false when the file cannot be read or is empty; save
  // can write 1 - value instead of each value (absent entries are 0) and throws std::runtime_error
  // when the file cannot be written; Matrix2Clip puts the same text on the clipboard.
  bool LoadDenseMatrix(const std::string& path);
  void SaveDenseMatrix(const std::string& path, bool oneMinusValue) const;
  void Matrix2Clip(Host& host) const;

  // TruncateLocal(keep) of every column.
  void TruncateLocal(int32_t keep);
  // Exchanges rows and columns.
  void Transpose();
  // Becomes source's RowCount x columns.size() matrix whose column k + 1 is source's column columns[k].
  void SetMatrixSelective(const SparseMatrixSingle& source, const std::vector<int32_t>& columns);
  // Normalise of every column vector.
  void Normalise();

 private:
  std::string DenseText(bool oneMinusValue) const;
  const SparseVectorSingle* Column(int32_t c) const;

  int32_t m_rowCount = 0;
  int32_t m_colCount = 0;
  // Slot 0 unused; slot c is column c.
  std::vector<std::unique_ptr<SparseVectorSingle>> m_columns;
};

// The cosines of one column of a matrix with all of its columns, one column at a time, gathered
// through the columns that hold each of its rows (an index of the rows), so that only pairs sharing
// a row cost anything and no table of all pairs is ever kept. Each cosine has the bits that
// GetSimilarityMatrix with measure 2 gives the pair, whichever of the two columns asks: the same
// products summed in the same ascending row order, divided by the same product of magnitudes.
class CosineRows {
 public:
  // The matrix must outlive this object and stay unchanged.
  explicit CosineRows(const SparseMatrixSingle& matrix);
  int32_t ColCount() const { return static_cast<int32_t>(m_magnitudes.size()) - 1; }
  // Column c's cosines: position j - 1 for column j, -1 where GetSimilarityMatrix stores no entry
  // (no common row, a sum that is not positive, c's magnitude 0), at c itself and at retired
  // columns. Valid until the next call; throws std::out_of_range for c outside 1..ColCount.
  const std::vector<float>& Row(int32_t c);
  // Column c is no longer asked about: later rows leave it out (-1) and skip its work, as a
  // spanning tree needs no cosines with the nodes already in it. Throws as Row.
  void Retire(int32_t c);

 private:
  struct Posting {
    int32_t column;
    float value;
  };
  const SparseMatrixSingle& m_matrix;
  std::vector<std::vector<Posting>> m_postings;  // by row: the columns holding it, ascending
  std::vector<float> m_magnitudes;               // by column, slot 0 unused
  std::vector<float> m_sums;                     // by column, 0 between rows
  std::vector<char> m_retired;                   // by column
  std::vector<size_t> m_retiredInRow;            // by row: retired columns still in its list
  std::vector<float> m_row;
};

}  // namespace wendrel
