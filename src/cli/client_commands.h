// The `wendrel` commands that speak to the academic search service as its client:
// search, records and demo.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "search_client/cc_record.h"

namespace wendrel {

class Host;

// One record as a line: the record's fields from PK to FullTextURL, separated by tabs, with a
// tab, carriage return, line feed or backslash inside a field written as \t, \r, \n or \\.
std::string FormatRecordLine(const CCRecord& record);

// Each returns the process exit code; args are those after the command's name.
int RunSearch(const std::vector<std::string>& args, Host& host, std::ostream& out, std::ostream& err);
int RunRecords(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// Starts the local service on a corpus (by default the demo corpus beside the program) and runs a
// sample search and one step of pearl growing against it.
int RunDemo(const std::vector<std::string>& args, Host& host, std::ostream& out, std::ostream& err);

}  // namespace wendrel
