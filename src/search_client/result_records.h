// Conversion of one academic search service reply into chain records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "search_client/cc_record.h"

namespace wendrel {

class Host;

// One record per object named "Result", in reply order, in slots 1 to n; slot 0 is empty. A
// reply without publications (or one that cannot be read) gives slots 0 and 1, slot 1 with PK
// "null" and nothing else. Fields the reply does not fill (AK, flags, relations) stay empty.
// Counts above the 16-bit range are stored as its limits. The host, when given, gets event-loop
// turns while the reply is read.
std::vector<CCRecord> ConvertReply(const std::string& data, Host* host = nullptr);

// How many publications the whole answer holds (the reply's TotalItem); -1 when the reply does not
// say or cannot be read.
int64_t ReplyTotal(const std::string& data);

}  // namespace wendrel
