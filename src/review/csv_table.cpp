// The CSV reader of screening files.
#include "review/csv_table.h"

namespace wendrel {

namespace {

void EndField(std::vector<std::string>& row, std::string& field) {
  if (field.size() >= 2 && field[0] == '\'' && std::string_view("=+-@\t\r").find(field[1]) != std::string_view::npos)
    field.erase(0, 1);
  row.push_back(std::move(field));
  field.clear();
}

void EndRow(std::vector<std::vector<std::string>>& rows, std::vector<std::string>& row) {
  bool blank = true;
  for (const std::string& field : row) blank = blank && field.empty();
  if (!blank) rows.push_back(std::move(row));
  row.clear();
}

}  // namespace

std::vector<std::vector<std::string>> ReadCsvRows(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  for (size_t k = 0; k < text.size(); ++k) {
    const char c = text[k];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (k + 1 < text.size() && text[k + 1] == '"') {
        field += '"';
        ++k;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      EndField(row, field);
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && k + 1 < text.size() && text[k + 1] == '\n') ++k;
      EndField(row, field);
      EndRow(rows, row);
    } else {
      field += c;
    }
  }
  if (!field.empty() || !row.empty()) {
    EndField(row, field);
    EndRow(rows, row);
  }
  return rows;
}

}  // namespace wendrel
