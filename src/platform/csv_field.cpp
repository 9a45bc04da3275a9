// One field of a CSV file.
#include "platform/csv_field.h"

#include <string_view>

namespace wendrel {

std::string CsvField(const std::string& text) {
  const bool formula = !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
  const std::string value = formula ? "'" + text : text;
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace wendrel
