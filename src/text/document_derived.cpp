// DocumentSet: derived fields (dates, elapsed time, links, hashtags, mentions), sorting,
// selection and the exports.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <stdexcept>

#include "text/date_time.h"
#include "text/document_set.h"
#include "text/text_error.h"
#include "platform/number_text.h"
#include "text/text_functions.h"

namespace wendrel {

namespace {

constexpr size_t kMaximumFields = 255;

// Characters a..b of s, counting from 1, as far as s reaches.
std::string Mid(const std::string& s, size_t a, size_t b) {
  if (a > s.size()) return {};
  return s.substr(a - 1, b - a + 1);
}

std::string MonthNumber(const std::string& abbreviation) {
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int m = 0; m < 12; ++m)
    if (abbreviation == kMonths[m]) return std::string(m < 9 ? "0" : "").append(std::to_string(m + 1));
  return {};
}

const char* ElapsedFieldName(const std::string& unit) {
  if (unit == "s") return "Elapsed_Seconds";
  if (unit == "n") return "Elapsed_Minutes";
  if (unit == "h") return "Elapsed_Hours";
  if (unit == "d") return "Elapsed_Days";
  if (unit == "ww") return "Elapsed_Weeks";
  return nullptr;
}

}  // namespace

void DocumentSet::CheckField(int field, const char* operation) const {
  if (field < 0 || field >= FieldCount())
    throw std::out_of_range(std::string(operation) + ": no field " + std::to_string(field));
}

int DocumentSet::AppendField(const std::string& name) {
  if (m_fieldNames.size() >= kMaximumFields) throw TextError("a document set holds at most 255 fields");
  m_fieldNames.push_back(name);
  m_fieldPatterns.push_back({});
  m_expressed.resize(m_fieldNames.size() - 1);
  m_expressed.push_back(false);
  for (auto& row : m_texts) row.resize(m_fieldNames.size());
  return FieldCount() - 1;
}

void DocumentSet::ConvertTwitterDateTimeField(const std::string& variant, uint8_t field) {
  if (variant != "Twitter" && variant != "Twitter1.1") return;
  CheckField(field, "ConvertTwitterDateTimeField");
  for (auto& row : m_texts) {
    const std::string s = row[field];
    std::string out;
    if (variant == "Twitter") {
      out = Mid(s, 7, 8) + "/" + Mid(s, 5, 6) + "/" + Mid(s, 3, 4) + " " + Mid(s, 10, 11) + ":";
      if (s.find(':') != std::string::npos)
        out += Mid(s, 13, 14) + ":" + Mid(s, 16, 17);
      else
        out += Mid(s, 12, 13) + ":" + Mid(s, 14, 15);
    } else {
      out = Mid(s, 9, 10) + "/" + MonthNumber(Mid(s, 5, 7)) + "/" + Mid(s, 29, 30) + " " + Mid(s, 12, 13) + ":" +
            Mid(s, 15, 16) + ":" + Mid(s, 18, 19);
    }
    row[field] = out;
  }
}

bool DocumentSet::DeriveElapsedTimeField(int16_t dateField, const std::string& unit, const std::string& referenceDate) {
  CheckField(dateField, "DeriveElapsedTimeField");
  const char* name = ElapsedFieldName(unit);
  if (!name) throw TextError("DeriveElapsedTimeField: unknown unit '" + unit + "' (s, n, h, d or ww)");
  std::optional<int64_t> reference = ParseDateTime(ReplaceAll(referenceDate, "\"", ""));
  if (!reference) throw TextError("DeriveElapsedTimeField: '" + referenceDate + "' is no date");

  std::vector<std::optional<int64_t>> values(m_texts.size());
  std::optional<int64_t> smallest;
  for (size_t d = 0; d < m_texts.size(); ++d) {
    std::optional<int64_t> date = ParseDateTime(ReplaceAll(m_texts[d][static_cast<size_t>(dateField)], "\"", ""));
    if (!date) continue;
    values[d] = CalendarDifference(unit, *reference, *date);
    if (!smallest || *values[d] < *smallest) smallest = values[d];
  }
  int field = AppendField(name);
  for (size_t d = 0; d < m_texts.size(); ++d)
    if (values[d]) m_texts[d][static_cast<size_t>(field)] = std::to_string(*values[d] - *smallest);
  m_dateTimeField = static_cast<uint8_t>(dateField);
  return true;
}

void DocumentSet::DeriveLinksField(int16_t sourceField, const std::string& name, uint8_t targetField) {
  CheckField(sourceField, "DeriveLinksField");
  int target = targetField;
  if (target == 0)
    target = AppendField(name);
  else
    CheckField(target, "DeriveLinksField");
  for (auto& row : m_texts) {
    std::string s = row[static_cast<size_t>(sourceField)];
    for (size_t at; (at = s.find("http://")) != std::string::npos;) {
      size_t space = s.find(' ', at);
      std::string link = s.substr(at, space == std::string::npos ? std::string::npos : space - at);
      std::string& cell = row[static_cast<size_t>(target)];
      if (cell.empty() && link.size() > 9) cell = std::string(" ").append(link);
      s = ReplaceAll(s, link, "");
    }
    row[static_cast<size_t>(sourceField)] = s;
    m_host->DoEvents();
  }
}

void DocumentSet::DeriveTagField(int16_t sourceField, const std::string& name, char mark, const std::string& placeholder,
                                 const std::string& finalMark, bool replaceApostrophe) {
  CheckField(sourceField, "DeriveTwitterField");
  int field = AppendField(name);
  for (auto& row : m_texts) {
    std::string s = row[static_cast<size_t>(sourceField)];
    if (replaceApostrophe) s = ReplaceAll(s, "#039", "'");
    std::string& cell = row[static_cast<size_t>(field)];
    for (size_t at; (at = s.find(mark)) != std::string::npos;) {
      size_t space = s.find(' ', at);
      std::string tag = s.substr(at, space == std::string::npos ? std::string::npos : space - at);
      std::string bare = tag;
      bare.erase(std::remove(bare.begin(), bare.end(), mark), bare.end());
      cell.append(" ").append(bare);
      s = ReplaceAll(s, tag, placeholder);
      m_host->DoEvents();
      if (space == std::string::npos) break;
    }
    row[static_cast<size_t>(sourceField)] = ReplaceAll(s, placeholder, finalMark);
  }
}

void DocumentSet::DeriveTwitterHashField(int16_t sourceField, const std::string& name) {
  DeriveTagField(sourceField, name, '#', "[H]", "[#]", true);
}

void DocumentSet::DeriveTwitterMentionField(int16_t sourceField, const std::string& name) {
  DeriveTagField(sourceField, name, '@', "[M]", "[@]", false);
}

void DocumentSet::SwapDocuments(size_t a, size_t b) { m_texts[a].swap(m_texts[b]); }

void DocumentSet::SortByInt(uint8_t field, bool descending) {
  CheckField(field, "SortByInt");
  std::vector<double> values;
  for (const auto& row : m_texts) values.push_back(RoundHalfEven(BasicValue(row[field])));
  size_t n = values.size();
  int increases = 0, decreases = 0;
  for (size_t i = 1; i < n; ++i) {
    if (values[i] > values[i - 1]) ++increases;
    if (values[i] < values[i - 1]) ++decreases;
  }
  bool reverse = descending ? (decreases == 0 && increases > 0) : (increases == 0 && decreases > 0);
  if (reverse) {
    for (size_t lo = 0, hi = n - 1; lo < hi; ++lo, --hi) {
      SwapDocuments(lo, hi);
      std::swap(values[lo], values[hi]);
    }
    return;
  }
  m_host->MessageBox("Documents need to be sorted. This might take a moment...",
                     descending ? "Descending sort" : "Ascending sort", MessageIcon::None, MessageButtons::Ok);
  for (size_t i = 0; n >= 2 && i <= n - 2;) {
    double best = values[i];
    std::vector<size_t> positions;
    for (size_t p = i; p < n; ++p) {
      bool better = descending ? values[p] > best : values[p] < best;
      if (better) {
        best = values[p];
        positions.clear();
      }
      if (values[p] == best) positions.push_back(p);
    }
    for (size_t p : positions) {
      SwapDocuments(i, p);
      std::swap(values[i], values[p]);
      ++i;
      m_host->DoEvents();
    }
  }
}

DocumentSet DocumentSet::SelectSubSetByString(uint8_t field, const std::string& text) const {
  CheckField(field, "SelectSubSetByString");
  DocumentSet subset(*this);
  subset.m_texts.clear();
  subset.m_rawRecords.clear();
  subset.m_wordCount = 0;
  for (const auto& row : m_texts)
    if (row[field].find(text) != std::string::npos) subset.m_texts.push_back(row);
  subset.m_documentCount = static_cast<int32_t>(subset.m_texts.size());
  return subset;
}

void DocumentSet::ExportTSV(const std::string& path, bool withHeader) const {
  std::string out;
  if (withHeader) {
    for (const std::string& name : m_fieldNames) out.append(name).append("\t");
    out += "\r\n";
  }
  for (const auto& row : m_texts) {
    for (size_t f = 0; f < row.size(); ++f) out.append(f ? "\t" : "").append(row[f]);
    out += "\r\n";
  }
  WriteTextFile(path, out);
}

void DocumentSet::ExportRIS(const std::string& path) const {
  auto cell = [](const std::vector<std::string>& row, uint8_t field) {
    return field < row.size() ? row[field] : std::string();
  };
  std::string out;
  for (const auto& row : m_texts) {
    out += "TY - \r\nAN - \r\n";
    out += "AU - " + cell(row, m_authorField) + "\r\n";
    out += "PY - " + cell(row, m_dateTimeField) + "\r\n";
    out += "TI - " + cell(row, m_titleField) + "\r\n";
    out += "T2 - \r\n";
    out += "AB - " + cell(row, m_contentField) + "\r\n";
    out += "DO - \r\nUR - \r\nER - \r\n\r\n";
  }
  WriteTextFile(path, out);
}

}  // namespace wendrel
