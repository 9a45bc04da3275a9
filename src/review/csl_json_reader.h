// Reading CSL-JSON, the bibliography form reference managers export for citation processors.
#pragma once

#include <string_view>
#include <vector>

#include "chain/ris_reader.h"

namespace wendrel {

// The items of CSL-JSON text: an array of items, an object holding one under "items", or a single
// item. Read per item: title, author (family and given, or literal), issued (date-parts, else the
// first four digits of raw or literal), DOI, URL, container-title, abstract, keyword (split at
// commas) and note; anything else, and an item that is no object, is passed over. Values of the
// wrong kind are taken as absent. Throws ReviewError when the text is not JSON or holds no item
// array or item.
std::vector<RisReference> ReadCslJson(std::string_view text);

}  // namespace wendrel
