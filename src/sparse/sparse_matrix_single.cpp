// SparseMatrixSingle: element access over lazily created column vectors, similarity matrices,
// dense tables and texts.
#include "sparse/sparse_matrix_single.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/host.h"
#include "platform/replacing_file.h"
#include "sparse/misc_functions.h"

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

float SparseMatrixSingle::GetSimilarity(int32_t a, int32_t b, int32_t measure) const {
  if (a == b) {
    if (measure == 1) {
      float m = Magnitude(a);
      return m * m;
    }
    return measure == 2 ? 1.0f : 0.0f;
  }
  int32_t rows = m_rowCount;
  return Vector(a).GetSimilarity(Vector(b).GetVectorArr(rows), measure, Magnitude(b));
}

namespace {

// The entries of the similarity matrix of self's columns with other's columns (measure 1 or 2), in
// the order they are written: store(i, j, v) as SetValue would take it (v <= 0 leaves no entry).
template <typename Store>
void ComputeSimilarities(const SparseMatrixSingle& self, const SparseMatrixSingle& other, int32_t measure, Host* host,
                         Store store) {
  const int32_t n = self.ColCount();
  const int32_t rowCount = self.RowCount();
  // Each sum runs over the compared column's list in order, and its terms are 0 wherever column i
  // has no value. Adding 0 leaves a single-precision sum as it is, so the sums are gathered through
  // the columns holding each of column i's rows (in ascending row order, as a list is), which
  // touches only pairs that share a row instead of every pair.
  struct Posting {
    int32_t column;
    float value;
  };
  std::vector<std::vector<Posting>> postings(static_cast<size_t>(std::max(rowCount, 0)) + 1);
  std::vector<float> magnitudes(static_cast<size_t>(n) + 1, 0.0f);
  for (int32_t j = 1; j <= n; ++j) {
    const SparseVectorSingle& column = other.Vector(j);
    magnitudes[static_cast<size_t>(j)] = column.Magnitude();
    for (size_t k = 0; k < column.Indexes().size(); ++k) {
      int32_t r = column.Indexes()[k];
      if (r >= 1 && r <= rowCount) postings[static_cast<size_t>(r)].push_back({j, column.Values()[k]});
    }
  }
  std::vector<float> sums(static_cast<size_t>(n) + 1, 0.0f);
  std::vector<char> reached(static_cast<size_t>(n) + 1, 0);
  std::vector<int32_t> touched;
  for (int32_t i = 1; i < n; ++i) {
    const SparseVectorSingle& column = self.Vector(i);
    const float m = column.Magnitude();
    if (measure == 1) {
      // The diagonal first holds 1, then the column's product with itself (0 removes it again).
      store(i, i, 1.0f);
      int32_t rows = rowCount;
      store(i, i, other.Vector(i).GetSimilarity(column.GetVectorArr(rows), 1, m));
    }
    // With measure 2 a column without magnitude gives -1 throughout, and nothing is stored.
    if (measure == 1 || m > 0) {
      for (size_t k = 0; k < column.Indexes().size(); ++k) {
        const int32_t r = column.Indexes()[k];
        const float d = column.Values()[k];
        if (r < 1 || r > rowCount || d == 0) continue;
        const auto& list = postings[static_cast<size_t>(r)];
        auto from = std::lower_bound(list.begin(), list.end(), i + 1,
                                     [](const Posting& p, int32_t c) { return p.column < c; });
        for (; from != list.end(); ++from) {
          const auto j = static_cast<size_t>(from->column);
          if (!reached[j]) {
            reached[j] = 1;
            touched.push_back(from->column);
          }
          sums[j] += d * from->value;
        }
      }
      for (int32_t j : touched) {
        float sum = sums[static_cast<size_t>(j)];
        if (measure == 2 && sum > 0) sum = sum / (magnitudes[static_cast<size_t>(j)] * m);
        store(i, j, sum);
      }
    }
    for (int32_t j : touched) {
      sums[static_cast<size_t>(j)] = 0;
      reached[static_cast<size_t>(j)] = 0;
    }
    touched.clear();
    if (measure == 2) store(i, i, 1.0f);
    if (host) host->DoEvents();
  }
  if (measure == 2 && n >= 1) store(n, n, 1.0f);
}

}  // namespace

SparseMatrixSingle SparseMatrixSingle::GetSimilarityMatrix(const SparseMatrixSingle& other, int32_t measure,
                                                           Host* host) const {
  SparseMatrixSingle result;
  if (measure != 1 && measure != 2) return result;
  result.Reset(m_colCount, m_colCount);
  ComputeSimilarities(*this, other, measure, host, [&](int32_t i, int32_t j, float v) { result.SetValue(i, j, v); });
  return result;
}

CosineRows::CosineRows(const SparseMatrixSingle& matrix)
    : m_matrix(matrix),
      m_postings(static_cast<size_t>(std::max(matrix.RowCount(), 0)) + 1),
      m_magnitudes(static_cast<size_t>(matrix.ColCount()) + 1, 0.0f),
      m_sums(static_cast<size_t>(matrix.ColCount()) + 1, 0.0f),
      m_retired(static_cast<size_t>(matrix.ColCount()) + 1, 0),
      m_retiredInRow(m_postings.size(), 0),
      m_row(static_cast<size_t>(matrix.ColCount()), -1.0f) {
  const int32_t rowCount = matrix.RowCount();
  std::vector<size_t> lengths(m_postings.size(), 0);
  for (int32_t j = 1; j <= matrix.ColCount(); ++j)
    for (int32_t r : matrix.Vector(j).Indexes())
      if (r >= 1 && r <= rowCount) ++lengths[static_cast<size_t>(r)];
  for (size_t r = 0; r < m_postings.size(); ++r) m_postings[r].reserve(lengths[r]);
  for (int32_t j = 1; j <= matrix.ColCount(); ++j) {
    const SparseVectorSingle& column = matrix.Vector(j);
    m_magnitudes[static_cast<size_t>(j)] = column.Magnitude();
    for (size_t k = 0; k < column.Indexes().size(); ++k) {
      const int32_t r = column.Indexes()[k];
      if (r >= 1 && r <= rowCount) m_postings[static_cast<size_t>(r)].push_back({j, column.Values()[k]});
    }
  }
}

void CosineRows::Retire(int32_t c) {
  if (c < 1 || c > ColCount())
    throw std::out_of_range("cosine column " + std::to_string(c) + " outside 1.." + std::to_string(ColCount()));
  if (m_retired[static_cast<size_t>(c)]) return;
  m_retired[static_cast<size_t>(c)] = 1;
  // A row's list is compacted once more than half of it is retired, so every row costs at most
  // twice its live columns, and each entry is moved a bounded number of times.
  const int32_t rowCount = m_matrix.RowCount();
  for (const int32_t r : m_matrix.Vector(c).Indexes()) {
    if (r < 1 || r > rowCount) continue;
    auto& list = m_postings[static_cast<size_t>(r)];
    size_t& retired = m_retiredInRow[static_cast<size_t>(r)];
    if (2 * ++retired <= list.size()) continue;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [this](const Posting& p) { return m_retired[static_cast<size_t>(p.column)] != 0; }),
               list.end());
    retired = 0;
  }
}

const std::vector<float>& CosineRows::Row(int32_t c) {
  if (c < 1 || c > ColCount())
    throw std::out_of_range("cosine row " + std::to_string(c) + " outside 1.." + std::to_string(ColCount()));
  const auto n = static_cast<size_t>(ColCount());
  const SparseVectorSingle& column = m_matrix.Vector(c);
  const float m = m_magnitudes[static_cast<size_t>(c)];
  if (!(m > 0)) {
    std::fill(m_row.begin(), m_row.end(), -1.0f);
    return m_row;
  }
  const int32_t rowCount = m_matrix.RowCount();
  for (size_t k = 0; k < column.Indexes().size(); ++k) {
    const int32_t r = column.Indexes()[k];
    const float d = column.Values()[k];
    if (r < 1 || r > rowCount || d == 0) continue;
    for (const Posting& p : m_postings[static_cast<size_t>(r)]) m_sums[static_cast<size_t>(p.column)] += d * p.value;
  }
  // As GetSimilarityMatrix: only a positive sum is divided and stored. Most rows reach most
  // columns, so the whole row is finished in one pass rather than through a list of those reached.
  for (size_t j = 1; j <= n; ++j) {
    const float sum = m_sums[j];
    m_sums[j] = 0;
    m_row[j - 1] = sum > 0 && !m_retired[j] ? sum / (m_magnitudes[j] * m) : -1.0f;
  }
  m_row[static_cast<size_t>(c - 1)] = -1.0f;
  return m_row;
}

std::vector<float> SparseMatrixSingle::GetSymmetricSimilarityTable(const SparseMatrixSingle& other, int32_t measure,
                                                                   Host* host) const {
  if (measure != 1 && measure != 2) return {};
  const auto n = static_cast<size_t>(m_colCount);
  std::vector<float> table(n * n, -1.0f);
  // Entries go to the upper triangle and the diagonal only, as SetValue keeps them.
  ComputeSimilarities(*this, other, measure, host, [&](int32_t i, int32_t j, float v) {
    table[static_cast<size_t>(i - 1) * n + static_cast<size_t>(j - 1)] = v > 0 ? v : -1.0f;
  });
  // The lower triangle mirrors the upper one, in tiles so that both stay within a few rows.
  constexpr size_t kTile = 64;
  for (size_t i0 = 0; i0 < n; i0 += kTile)
    for (size_t j0 = i0; j0 < n; j0 += kTile)
      for (size_t i = i0; i < std::min(n, i0 + kTile); ++i)
        for (size_t j = std::max(j0, i + 1); j < std::min(n, j0 + kTile); ++j) table[j * n + i] = table[i * n + j];
  return table;
}

std::vector<int32_t> SparseMatrixSingle::GetSimilarityVector(int32_t c, const SparseMatrixSingle& other,
                                                             int32_t measure, int32_t& k,
                                                             std::vector<float>& similarities) const {
  int32_t rows = m_rowCount;
  std::vector<float> dense = Vector(c).GetVectorArr(rows);
  float m = Magnitude(c);
  similarities.assign(static_cast<size_t>(other.ColCount()) + 1, 0.0f);
  for (int32_t j = 1; j <= other.ColCount(); ++j)
    similarities[static_cast<size_t>(j)] = other.Vector(j).GetSimilarity(dense, measure, m);
  // RankIndices with base 1 caps k at the column count.
  return RankIndices(similarities, -1, k, true, 1);
}

void SparseMatrixSingle::SetMatrix(const SparseMatrixSingle& source) {
  Reset(source.RowCount(), source.ColCount());
  for (int32_t c = 1; c <= m_colCount; ++c) {
    const SparseVectorSingle* from = source.Column(c);
    if (!from) continue;
    SparseVectorSingle& to = Vector(c);
    for (size_t k = 0; k < from->Indexes().size(); ++k) to.SetValue(from->Indexes()[k], from->Values()[k]);
    if (from->NZElementCount() > 0 || from->m_dimensionCount != 0) to.SetDimension(from->DimensionCount());
  }
}

void SparseMatrixSingle::MakeSymmetric(bool /*lowerToUpper*/) {
  if (m_rowCount != m_colCount) return;
  // Entry by entry this is (j, i) := (i, j) for every i < j, where a 0 or negative copy removes
  // the target: the lower triangle becomes the mirror of the positive upper entries. Building it
  // from the stored entries costs their number instead of n * n look-ups.
  const int32_t n = m_colCount;
  std::vector<std::vector<int32_t>> rows(static_cast<size_t>(n) + 1);
  std::vector<std::vector<float>> values(rows.size());
  for (int32_t j = 2; j <= n; ++j) {
    const SparseVectorSingle* column = Column(j);
    if (!column) continue;
    for (size_t k = 0; k < column->Indexes().size() && column->Indexes()[k] < j; ++k) {
      int32_t i = column->Indexes()[k];
      if (i >= 1 && column->Values()[k] > 0) {
        rows[static_cast<size_t>(i)].push_back(j);
        values[static_cast<size_t>(i)].push_back(column->Values()[k]);
      }
    }
  }
  for (int32_t i = 1; i < n; ++i) {
    SparseVectorSingle& column = Vector(i);
    // Keep what lies on or above the diagonal and below the matrix; the mirror goes in between.
    size_t lower = column.LowerBound(i + 1);
    size_t below = column.LowerBound(n + 1);
    std::vector<int32_t>& r = rows[static_cast<size_t>(i)];
    std::vector<float>& v = values[static_cast<size_t>(i)];
    column.m_indexes.erase(column.m_indexes.begin() + static_cast<std::ptrdiff_t>(lower),
                           column.m_indexes.begin() + static_cast<std::ptrdiff_t>(below));
    column.m_values.erase(column.m_values.begin() + static_cast<std::ptrdiff_t>(lower),
                          column.m_values.begin() + static_cast<std::ptrdiff_t>(below));
    column.m_indexes.insert(column.m_indexes.begin() + static_cast<std::ptrdiff_t>(lower), r.begin(), r.end());
    column.m_values.insert(column.m_values.begin() + static_cast<std::ptrdiff_t>(lower), v.begin(), v.end());
    std::vector<int32_t>().swap(r);
    std::vector<float>().swap(v);
  }
}

std::vector<float> SparseMatrixSingle::GetDenseMatrix() const {
  const size_t rows = static_cast<size_t>(std::max(m_rowCount, 0));
  const size_t cols = static_cast<size_t>(m_colCount);
  std::vector<float> table(rows * cols, -1.0f);
  // Columns are stored, rows are written: tiles of kTile x kTile cells keep the writes of a few
  // columns within the same rows of the table instead of striding over all of it.
  constexpr size_t kTile = 64;
  std::vector<size_t> cursor(kTile);
  for (size_t c0 = 1; c0 <= cols; c0 += kTile) {
    const size_t c1 = std::min(cols + 1, c0 + kTile);
    std::fill(cursor.begin(), cursor.end(), 0);
    for (size_t r0 = 1; r0 <= rows; r0 += kTile) {
      const size_t r1 = std::min(rows + 1, r0 + kTile);
      for (size_t c = c0; c < c1; ++c) {
        const SparseVectorSingle* column = m_columns[c].get();
        if (!column) continue;
        const auto& indexes = column->Indexes();
        size_t& k = cursor[c - c0];
        while (k < indexes.size() && indexes[k] < static_cast<int32_t>(r0)) ++k;  // rows below 1
        for (; k < indexes.size() && static_cast<size_t>(indexes[k]) < r1; ++k)
          table[(static_cast<size_t>(indexes[k]) - 1) * cols + (c - 1)] = column->Values()[k];
      }
    }
  }
  return table;
}

void SparseMatrixSingle::SetFromDenseMatrixTDM(const std::vector<float>& table, int32_t documents, int32_t terms) {
  if (static_cast<size_t>(documents) * static_cast<size_t>(terms) > table.size())
    throw std::out_of_range("dense table smaller than " + std::to_string(documents) + " x " + std::to_string(terms));
  Reset(terms, documents);
  for (int32_t d = 1; d <= documents; ++d) {
    std::vector<float> dense(static_cast<size_t>(terms) + 1, 0.0f);
    for (int32_t t = 1; t <= terms; ++t) {
      float v = table[static_cast<size_t>(d - 1) * static_cast<size_t>(terms) + static_cast<size_t>(t - 1)];
      dense[static_cast<size_t>(t)] = v > 0 ? v : 0.0f;
    }
    Vector(d).SetVector(dense, terms);
  }
}

void SparseMatrixSingle::SetFromDenseMatrixPM(const std::vector<float>& table, int32_t nodes) {
  if (static_cast<size_t>(nodes) * static_cast<size_t>(nodes) > table.size())
    throw std::out_of_range("dense table smaller than " + std::to_string(nodes) + " x " + std::to_string(nodes));
  Reset(nodes, nodes);
  for (int32_t c = 1; c <= nodes; ++c)
    for (int32_t r = 1; r <= nodes; ++r)
      SetValue(r, c, table[static_cast<size_t>(r - 1) * static_cast<size_t>(nodes) + static_cast<size_t>(c - 1)]);
}

namespace {

std::string NumberText(float v) {
  char buffer[32];
  auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
  return std::string(buffer, end);
}

// The leading number of a piece (full stop as decimal point); 0 when there is none.
float LeadingValue(std::string_view piece) {
  size_t start = piece.find_first_not_of(" \t\r");
  if (start == std::string_view::npos) return 0;
  piece.remove_prefix(start);
  if (!piece.empty() && piece.front() == '+') piece.remove_prefix(1);
  float v = 0;
  auto [ptr, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), v);
  return ec == std::errc() ? v : 0.0f;
}

}  // namespace

std::string SparseMatrixSingle::DenseText(bool oneMinusValue) const {
  std::string text;
  for (int32_t r = 1; r <= m_rowCount; ++r) {
    for (int32_t c = 1; c <= m_colCount; ++c) text += NumberText(oneMinusValue ? 1 - Value(r, c) : Value(r, c)) + "\t";
    text += "\r\n";
  }
  return text;
}

bool SparseMatrixSingle::LoadDenseMatrix(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<std::vector<float>> rows;
  std::string line;
  size_t cols = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<float> values;
    size_t start = 0;
    while (start <= line.size()) {
      size_t tab = line.find('\t', start);
      size_t end = tab == std::string::npos ? line.size() : tab;
      // The tab after the last value leaves an empty last piece that is no value.
      if (tab != std::string::npos || end > start) values.push_back(LeadingValue(std::string_view(line).substr(start, end - start)));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    cols = std::max(cols, values.size());
    rows.push_back(std::move(values));
  }
  if (rows.empty() || cols == 0) return false;
  Reset(static_cast<int32_t>(rows.size()), static_cast<int32_t>(cols));
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < rows[r].size(); ++c)
      SetValue(static_cast<int32_t>(r + 1), static_cast<int32_t>(c + 1), rows[r][c]);
  return true;
}

void SparseMatrixSingle::SaveDenseMatrix(const std::string& path, bool oneMinusValue) const {
  // ReplaceError is a runtime_error naming the file and the reason.
  ReplaceFile(path, DenseText(oneMinusValue));
}

void SparseMatrixSingle::Matrix2Clip(Host& host) const { host.SetClipboardText(DenseText(false)); }

void SparseMatrixSingle::TruncateLocal(int32_t keep) {
  for (int32_t c = 1; c <= m_colCount; ++c)
    if (m_columns[static_cast<size_t>(c)]) m_columns[static_cast<size_t>(c)]->TruncateLocal(keep);
}

void SparseMatrixSingle::Transpose() {
  SparseMatrixSingle result;
  result.Reset(m_colCount, m_rowCount);
  std::vector<std::vector<int32_t>> indexes(static_cast<size_t>(std::max(m_rowCount, 0)) + 1);
  std::vector<std::vector<float>> values(indexes.size());
  // Columns in ascending order give each new column its elements in ascending order.
  for (int32_t c = 1; c <= m_colCount; ++c) {
    const SparseVectorSingle* column = Column(c);
    if (!column) continue;
    for (size_t k = 0; k < column->Indexes().size(); ++k) {
      int32_t r = column->Indexes()[k];
      if (r < 1 || r > m_rowCount) continue;
      indexes[static_cast<size_t>(r)].push_back(c);
      values[static_cast<size_t>(r)].push_back(column->Values()[k]);
    }
  }
  for (int32_t r = 1; r <= m_rowCount; ++r)
    if (!indexes[static_cast<size_t>(r)].empty())
      result.Vector(r).SetElements(std::move(indexes[static_cast<size_t>(r)]), std::move(values[static_cast<size_t>(r)]),
                                   m_colCount);
  *this = std::move(result);
}

void SparseMatrixSingle::SetMatrixSelective(const SparseMatrixSingle& source, const std::vector<int32_t>& columns) {
  SparseMatrixSingle result;
  result.Reset(source.RowCount(), static_cast<int32_t>(columns.size()));
  for (size_t k = 0; k < columns.size(); ++k) {
    if (columns[k] < 1 || columns[k] > source.ColCount())
      throw std::out_of_range("sparse matrix column " + std::to_string(columns[k]) + " outside 1.." +
                              std::to_string(source.ColCount()));
    if (const SparseVectorSingle* from = source.Column(columns[k])) result.Vector(static_cast<int32_t>(k + 1)) = *from;
  }
  *this = std::move(result);
}

void SparseMatrixSingle::Normalise() {
  for (auto& column : m_columns)
    if (column) column->Normalise();
}

}  // namespace wendrel
