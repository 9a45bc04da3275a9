// DocumentSet: the table, its accessors, and loading documents from files or from a caller.
#include "text/document_set.h"

#include <algorithm>
#include <stdexcept>

#include "platform/text_encoding.h"
#include "text/text_error.h"
#include "platform/number_text.h"
#include "text/text_functions.h"
#include "platform/user_folders.h"

namespace wendrel {

namespace {

constexpr int kMaximumFields = 255;
constexpr int kTweetListFormat = 7;
// Records of this many characters or fewer are never stored.
constexpr size_t kShortestRecord = 8;

bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Two capitals, or a capital and a digit: the tag of a tagged or RIS line.
bool IsTagStart(std::string_view line) {
  return line.size() >= 2 && IsCapital(line[0]) && (IsCapital(line[1]) || IsDigit(line[1]));
}

// Standard RIS writes a tag, two blanks and a hyphen ("TI  - "); the program's own files write
// one blank. Lines of the standard layout are brought to the program's layout, so that the
// record delimiter "ER - " and the tag lines are found alike; a tag line with nothing after its
// hyphen ("ER  -", "ER -") gets the trailing blank.
std::string RisWithSingleBlankTags(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    bool tag = IsTagStart(line);
    if (tag && line.size() >= 5 && line.substr(2, 3) == "  -" && (line.size() == 5 || line[5] == ' ')) {
      out.append(line.substr(0, 2)).append(" - ");
      if (line.size() > 6) out.append(line.substr(6));
    } else {
      out.append(line);
      if (tag && line.size() == 4 && line.substr(2) == " -") out += ' ';
    }
    if (end == text.size()) break;
    out += '\n';
    start = end + 1;
  }
  return out;
}

// Pieces between occurrences of the delimiter at the start of a line, so that "ER - " inside a
// value ("WATER - FLOW") does not end its record.
std::vector<std::string> SplitAtLineStarts(std::string_view text, std::string_view delimiter) {
  std::vector<std::string> pieces;
  size_t start = 0;
  size_t from = 0;
  for (;;) {
    size_t at = text.find(delimiter, from);
    if (at == std::string_view::npos) break;
    if (at > 0 && text[at - 1] != '\n') {
      from = at + 1;
      continue;
    }
    pieces.emplace_back(text.substr(start, at - start));
    start = from = at + delimiter.size();
  }
  pieces.emplace_back(text.substr(start));
  return pieces;
}

// Where a tag line's value starts, or npos for a line that is no tag line: tagged records write
// the tag and a blank ("TI Title", or a bare "ER"), RIS the tag and " - " ("TI - Title").
size_t TagValueStart(std::string_view line, bool ris) {
  if (!IsTagStart(line)) return std::string_view::npos;
  if (ris) return line.size() >= 5 && line.substr(2, 3) == " - " ? 5 : std::string_view::npos;
  if (line.size() == 2) return 2;
  return line[2] == ' ' ? 3 : std::string_view::npos;
}

// Older RIS writes A1, T1 and Y1 for AU, TI and PY; AB holds the abstract where N2 is missing.
std::string_view RisAlternativeTag(std::string_view tag) {
  if (tag == "AU") return "A1";
  if (tag == "TI") return "T1";
  if (tag == "PY") return "Y1";
  if (tag == "N2") return "AB";
  return {};
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

void DocumentSet::StoreTagLines(const std::string& record, std::vector<std::string>& row, bool ris) {
  struct Line {
    size_t begin;
    size_t end;
    size_t value;  // npos for a line that continues the field above it
  };
  std::vector<Line> lines;
  for (size_t begin = 0; begin <= record.size();) {
    size_t end = std::min(record.find('\n', begin), record.size());
    size_t value = TagValueStart(std::string_view(record).substr(begin, end - begin), ris);
    lines.push_back({begin, end, value == std::string_view::npos ? value : begin + value});
    begin = end + 1;
  }
  auto find = [&](std::string_view tag) {
    for (size_t l = 0; l < lines.size(); ++l)
      if (lines[l].value != std::string_view::npos && std::string_view(record).substr(lines[l].begin, 2) == tag) return l;
    return lines.size();
  };
  for (size_t f = 0; f < m_fieldPatterns.size(); ++f) {
    // Every start pattern of these formats is a line feed, the tag and a blank.
    std::string_view tag = std::string_view(m_fieldPatterns[f].start).substr(1, 2);
    size_t l = find(tag);
    if (l == lines.size() && ris && !RisAlternativeTag(tag).empty()) l = find(RisAlternativeTag(tag));
    if (l == lines.size()) continue;
    // The field runs over the lines that carry no tag of their own; they join with one blank.
    std::string cell = TrimSpaces(std::string_view(record).substr(lines[l].value, lines[l].end - lines[l].value));
    size_t last = l;
    while (last + 1 < lines.size() && lines[last + 1].value == std::string_view::npos) {
      ++last;
      std::string piece = TrimSpaces(std::string_view(record).substr(lines[last].begin, lines[last].end - lines[last].begin));
      if (piece.empty()) continue;
      if (!cell.empty()) cell += ' ';
      cell += piece;
    }
    cell = CollapseSpacePairs(cell);
    size_t n = lines[last].end - lines[l].value;
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
  // A self-described file's definitions are no record.
  if (format == 1) text.erase(0, std::min(m_definitionLength, text.size()));
  if (format == kRisFormat) {
    text = RisWithSingleBlankTags(text);
    m_rawRecords = SplitAtLineStarts(text, m_recordDelimiter);
  } else {
    m_rawRecords = SplitText(text, m_recordDelimiter);
  }
  text.clear();

  if (format == kTweetListFormat && m_rawRecords[0].find("Tweet\t") != std::string::npos) m_headerFlag = true;

  // A header line names the columns: it is no record, so the size rules pass it by, but a blank
  // first line is no header.
  const bool header = m_columnMode == 1 && m_headerFlag && !TrimSpaces(m_rawRecords[0]).empty();
  const size_t firstRecord = header ? 1 : 0;
  int32_t count = 0;
  for (size_t i = firstRecord; i < m_rawRecords.size(); ++i) {
    std::string& record = m_rawRecords[i];
    size_t characters = CodePointCount(record);
    if (2 * static_cast<long long>(characters) <= minimumRecordBytes || characters <= kShortestRecord)
      record.clear();
    else
      ++count;
  }
  if (count < 1) {
    m_documentCount = 0;
    return false;
  }
  if (maximumDocuments > 0 && maximumDocuments < count) count = maximumDocuments;

  if (header) {
    std::vector<std::string> names = SplitText(m_rawRecords[0], "\t");
    if (names.size() != m_fieldNames.size()) {
      names.erase(std::find(names.begin(), names.end(), std::string()), names.end());
      if (names.size() > kMaximumFields)
        throw TextError(path + ": the header names " + std::to_string(names.size()) + " columns; a document set holds at most " +
                        std::to_string(kMaximumFields) + " fields");
      if (!names.empty()) {
        m_fieldNames = std::move(names);
        m_fieldPatterns.assign(m_fieldNames.size(), FieldPattern{});
        m_expressed.assign(m_fieldNames.size(), false);
      }
    }
  }

  m_texts.assign(static_cast<size_t>(count), std::vector<std::string>(m_fieldNames.size()));
  m_documentCount = count;
  const bool tagLines = format >= 3 && format <= kRisFormat;
  int32_t counter = -1;
  for (size_t i = firstRecord; i < m_rawRecords.size() && counter < count - 1; ++i) {
    const std::string& record = m_rawRecords[i];
    if (record.empty()) continue;
    ++counter;
    std::vector<std::string>& row = m_texts[static_cast<size_t>(counter)];
    if (m_columnMode == 0) {
      if (tagLines) {
        StoreTagLines(record, row, format == kRisFormat);
      } else if (m_fieldNames.size() > 1) {
        StoreTagged(record, row);
      } else {
        if (!row.empty()) row[0] = TrimSpaces(record);
        m_wordCount += static_cast<int32_t>(std::count(record.begin(), record.end(), ' ')) + 1;
      }
    } else {
      std::vector<std::string> columns = SplitText(record, "\t");
      if (format == kTweetListFormat) RepairTweetColumns(columns);
      for (size_t c = 0; c < row.size() && c < columns.size(); ++c) row[c] = std::move(columns[c]);
    }
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
