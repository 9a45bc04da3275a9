// Reading CSV tables as spreadsheets and screening tools write them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wendrel {

// The rows of CSV text (RFC 4180): fields separated by commas, rows by CR LF or LF, a quoted field
// may hold commas, line breaks and doubled quotes. A quote left open runs to the end of the text;
// a leading byte-order mark is skipped; rows without any text are passed over. A field that starts
// with an apostrophe before =, +, -, @, a tab or a carriage return loses the apostrophe, which
// writers (this program's exports among them) put there to keep spreadsheets from running it.
std::vector<std::vector<std::string>> ReadCsvRows(std::string_view text);

}  // namespace wendrel
