// DocumentSet: the table, its accessors, and loading documents from files or from a caller.
#include "text/document_set.h"

#include <algorithm>
#include <stdexcept>

#include "platform/text_encoding.h"
#include "text/text_error.h"
#include "platform/number_text.h"
#include "text/text_functions.h"

namespace wendrel {

namespace {

constexpr int kMaximumFields = 255;
constexpr int kTweetListFormat = 7;
constexpr int kRisFormat = 6;
// Records of this many characters or fewer are never stored.
constexpr size_t kShortestRecord = 8;

// Standard RIS writes a tag, two blanks and a hyphen ("TI  - "); the program's own files write
// one blank. Lines of the standard layout are brought to the program's layout, so that the
// record delimiter "ER - " and the tag patterns find them; an "ER  -" without its trailing blank
// gets one.
std::string RisWithSingleBlankTags(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    auto tagChar = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
    if (line.size() >= 5 && tagChar(line[0]) && tagChar(line[1]) && line.substr(2, 3) == "  -" &&
        (line.size() == 5 || line[5] == ' ')) {
      out.append(line.substr(0, 2)).append(" - ");
      if (line.size() > 6) out.append(line.substr(6));
    } else {
      out.append(line);
    }
    if (end == text.size()) break;
    out += '\n';
    start = end + 1;
  }
  return out;
}

// Collapses pairs of spaces in one pass from the left ("   " becomes "  ").
std::string CollapseSpacePairs(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == ' ' && i + 1 < text.size() && text[i + 1] == ' ') ++i;
  }
  return out;
}

}  // namespace

std::string DocumentSet::FieldName(int field) const {
  if (field < 0 || field >= FieldCount()) return {};
  return m_fieldNames[static_cast<size_t>(field)];
}

void DocumentSet::SetFieldName(int field, const std::string& name) {
  if (field < 0 || field >= FieldCount()) return;
  m_fieldNames[static_cast<size_t>(field)] = name;
}

std::string DocumentSet::Text(int32_t document, int field) const {
  if (document < 0 || document >= m_documentCount || static_cast<size_t>(document) >= m_texts.size())
    return "Error (Index exceeds upperbound)";
  const std::vector<std::string>& row = m_texts[static_cast<size_t>(document)];
  if (field < 0) return {};
  if (field < FieldCount()) return static_cast<size_t>(field) < row.size() ? row[static_cast<size_t>(field)] : std::string();
  std::string joined;
  for (const std::string& cell : row) joined += cell;
  return joined;
}

void DocumentSet::SetText(int32_t document, int field, const std::string& text) {
  if (document < 0 || document >= m_documentCount || static_cast<size_t>(document) >= m_texts.size()) return;
  std::vector<std::string>& row = m_texts[static_cast<size_t>(document)];
  if (field < 0 || static_cast<size_t>(field) >= row.size()) return;
  row[static_cast<size_t>(field)] = text;
}

bool DocumentSet::FieldExpressed(int field) const {
  return field >= 0 && static_cast<size_t>(field) < m_expressed.size() && m_expressed[static_cast<size_t>(field)];
}

void DocumentSet::SetFieldExpressed(int field, bool expressed) {
  if (field >= 0 && static_cast<size_t>(field) < m_expressed.size()) m_expressed[static_cast<size_t>(field)] = expressed;
}

std::string DocumentSet::FieldExpressionPattern() const {
  std::string pattern;
  for (int f = 0; f < FieldCount(); ++f) pattern += FieldExpressed(f) ? '1' : '0';
  return pattern;
}

void DocumentSet::SetFieldExpressionPattern(const std::string& pattern) {
  m_expressed.resize(m_fieldNames.size());
  for (size_t f = 0; f < m_fieldNames.size(); ++f) m_expressed[f] = f < pattern.size() && pattern[f] == '1';
}

bool DocumentSet::SetDocuments(std::vector<std::vector<std::string>> texts, int32_t format, int32_t count) {
  InitFieldDefs(format, "1", "");
  m_texts = std::move(texts);
  m_documentCount = std::max<int32_t>(count, 0);
  // Rows are fitted to the count and the field count, so a short table cannot be read past its end.
  m_texts.resize(static_cast<size_t>(m_documentCount));
  for (auto& row : m_texts) row.resize(m_fieldNames.size());
  m_filePath = ProgramFolder();
  return false;
}

void DocumentSet::StoreTagged(const std::string& record, std::vector<std::string>& row) {
  for (size_t f = 0; f < m_fieldPatterns.size(); ++f) {
    const FieldPattern& pattern = m_fieldPatterns[f];
    size_t start = record.find(pattern.start);
    if (start == std::string::npos) continue;
    size_t p = start + pattern.start.size();
    size_t end = record.find(pattern.end, p);
    if (end == std::string::npos || end <= p) continue;
    size_t n = end - p;
    std::string cell = TrimSpaces(std::string_view(record).substr(p, n));
    cell.erase(std::remove(cell.begin(), cell.end(), '\n'), cell.end());
    cell = CollapseSpacePairs(cell);
    size_t letters = static_cast<size_t>(std::count_if(cell.begin(), cell.end(), [](char c) { return c != ' '; }));
    m_wordCount += static_cast<int32_t>(n) - static_cast<int32_t>(letters) + 1;
    row[f] = std::move(cell);
  }
}

void DocumentSet::RepairTweetColumns(std::vector<std::string>& columns) {
  for (size_t i = 0; i < columns.size(); ++i) {
    std::string& column = columns[i];
    column.erase(0, std::min(column.find_first_not_of(' '), column.size()));
    if (column.empty()) column.assign(1, ' ');
    // The column that moves into the removed one's place is deliberately not examined.
    if (static_cast<unsigned char>(column[0]) < 45) columns.erase(columns.begin() + static_cast<std::ptrdiff_t>(i));
  }
  // A tweet that held tabs was split into several columns; a non-numeric column 3 is a piece of it.
  while (columns.size() > m_fieldNames.size() && columns.size() > 3 && BasicValue(columns[3]) == 0) {
    std::string piece = std::move(columns[3]);
    columns.erase(columns.begin() + 3);
    columns[2].append(piece);
    m_host->DoEvents();
  }
}

bool DocumentSet::LoadDocuments(std::string& path, int32_t format, const std::string& separator,
                                int32_t minimumRecordBytes, int32_t maximumDocuments, bool saveSubset) {
  if (m_documentCount > 0) return false;
  InitFieldDefs(format, separator, path);

  std::string text = ReadTextFile(path);
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  if (format == kRisFormat) text = RisWithSingleBlankTags(text);
  m_rawRecords = SplitText(text, m_recordDelimiter);
  text.clear();

  if (format == kTweetListFormat && m_rawRecords[0].find("Tweet\t") != std::string::npos) m_headerFlag = true;

  int32_t count = 0;
  for (std::string& record : m_rawRecords) {
    if (2 * static_cast<long long>(CodePointCount(record)) <= minimumRecordBytes)
      record.clear();
    else
      ++count;
  }
  if (count <= 1) {
    m_documentCount = 0;
    return false;
  }
  if (m_headerFlag && m_columnMode == 1) --count;
  if (maximumDocuments > 0 && maximumDocuments < count) count = maximumDocuments;

  if (m_columnMode == 1) {
    std::vector<std::string> header = SplitText(m_rawRecords[0], "\t");
    if (header.size() != m_fieldNames.size() && m_headerFlag) {
      m_fieldNames.clear();
      for (const std::string& name : header) {
        if (name.empty() || m_fieldNames.size() == kMaximumFields) break;
        m_fieldNames.push_back(name);
      }
      m_fieldPatterns.assign(m_fieldNames.size(), FieldPattern{});
      m_expressed.assign(m_fieldNames.size(), false);
    }
  }

  m_texts.assign(static_cast<size_t>(count), std::vector<std::string>(m_fieldNames.size()));
  m_documentCount = count;
  int32_t counter = -1;
  for (size_t i = 0; i < m_rawRecords.size(); ++i) {
    if (CodePointCount(m_rawRecords[i]) <= kShortestRecord) continue;
    ++counter;
    std::vector<std::string>& row = m_texts[static_cast<size_t>(counter)];
    if (m_columnMode == 0) {
      if (m_fieldNames.size() > 1) {
        StoreTagged(m_rawRecords[i], row);
      } else {
        const std::string& record = m_rawRecords[i];
        if (!row.empty()) row[0] = TrimSpaces(record);
        m_wordCount += static_cast<int32_t>(std::count(record.begin(), record.end(), ' ')) + 1;
      }
    } else {
      // The header line is skipped by taking the next record in its place.
      if (m_headerFlag && i == 0) {
        if (m_rawRecords.size() < 2) break;
        i = 1;
      }
      std::vector<std::string> columns = SplitText(m_rawRecords[i], "\t");
      if (format == kTweetListFormat) RepairTweetColumns(columns);
      for (size_t c = 0; c < row.size() && c < columns.size(); ++c) row[c] = std::move(columns[c]);
    }
    if (counter == count - 1) break;
  }

  if (saveSubset) {
    path = PathWithoutExtension(path) + "_" + std::to_string(count) + ".txt";
    std::string subset;
    for (const std::string& record : m_rawRecords)
      if (!record.empty()) subset.append(record).append(separator).append("\r\n");
    WriteTextFile(path, subset);
  }
  m_filePath = path;
  return true;
}

void DocumentSet::RemoveDocument(int32_t document) {
  if (document < 0 || document >= m_documentCount || static_cast<size_t>(document) >= m_texts.size())
    throw std::out_of_range("no document " + std::to_string(document));
  m_texts.erase(m_texts.begin() + document);
  --m_documentCount;
}

void DocumentSet::Clear() {
  m_documentCount = 0;
  m_wordCount = 0;
  m_recordDelimiter.clear();
  m_fieldNames.clear();
  m_fieldPatterns.clear();
  m_texts.clear();
}

}  // namespace wendrel
