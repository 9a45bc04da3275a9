// Replies in the JSON style of the original academic search service: the "d" wrapper with the
// kinds not asked for as null, "__type" members, every "/" written "\/", text other than
// control characters left as raw UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "service/publication.h"

namespace wendrel {

// Appends `text` as a JSON string: quote, backslash and "/" escaped with a backslash, control
// characters as \u00XX (newline as \u000a), everything else as it is.
void AppendJsonString(std::string& out, std::string_view text);

// The reply to a publication request. `startIdx` is the 1-based position of the page's first
// item in the whole answer; a page without items is the empty answer (StartIdx and EndIdx 0,
// "Result" null) still telling the answer's TotalItem.
std::string WritePublicationReply(const PublicationPage& page, int64_t startIdx);

}  // namespace wendrel
