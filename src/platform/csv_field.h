// One field of a CSV file as spreadsheets read it safely.
#pragma once

#include <string>

namespace wendrel {

// RFC 4180: a field holding a comma, a quote or a line break is quoted, its quotes doubled. A field
// a spreadsheet would run as a formula (starting with =, +, -, @, a tab or a carriage return)
// gets a leading apostrophe, which spreadsheets take as "text" and do not show.
std::string CsvField(const std::string& text);

}  // namespace wendrel
