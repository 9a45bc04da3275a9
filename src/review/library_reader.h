// Reading the user's library, as a reference manager exports it, to flag the papers already known.
#pragma once

#include <string_view>
#include <vector>

#include "chain/ris_reader.h"

namespace wendrel {

enum class LibraryFormat { BibTeX, Ris, CslJson, IdentifierList };

// "BibTeX", "RIS", "CSL-JSON", "list of DOIs".
const char* LibraryFormatName(LibraryFormat format);

struct Library {
  LibraryFormat format = LibraryFormat::Ris;
  std::vector<RisReference> entries;
};

// The entries of a library file, its format told by the content whatever the file is called: JSON
// (starting with '[' or '{') is CSL-JSON, a file of nothing but DOIs and IDs is a list of them, a
// file starting with an '@' entry is BibTeX, one with "TY  - " records is RIS, and other text
// holding '@' entries is BibTeX after all. Bytes that are not
// UTF-8 are read as Windows-1252. Throws ReviewError, with the reason, when it is none of these or
// holds no entry.
Library ReadLibrary(std::string_view bytes);

}  // namespace wendrel
