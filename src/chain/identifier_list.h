// Seed lists as plain text: one DOI or service ID a line, as researchers paste them from a
// spreadsheet, a reference manager's DOI column or a colleague's message.
#pragma once

#include <string_view>
#include <vector>

#include "chain/ris_reader.h"

namespace wendrel {

// True when every line of the text that is not blank (lines starting with '#' are comments) is
// one DOI or one service ID and there is at least one. A DOI is "10." followed by a registrant, a
// slash and a suffix, bare or after "doi:" or a doi.org address; an ID is up to 256 letters,
// digits and "-_.:" (an OpenAlex work address gives its short ID).
bool IsIdentifierList(std::string_view text);

// The list's entries in file order, a DOI in `doi`, an ID in `listedId`; nothing when the text is
// not an identifier list.
std::vector<RisReference> ReadIdentifierList(std::string_view text);

}  // namespace wendrel
