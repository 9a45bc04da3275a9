// Telling a library file's format from its content and reading its entries.
#include "review/library_reader.h"

#include <string>

#include "chain/bibtex_reader.h"
#include "chain/identifier_list.h"
#include "platform/text_encoding.h"
#include "review/csl_json_reader.h"
#include "review/review_error.h"

namespace wendrel {

const char* LibraryFormatName(LibraryFormat format) {
  switch (format) {
    case LibraryFormat::BibTeX: return "BibTeX";
    case LibraryFormat::CslJson: return "CSL-JSON";
    case LibraryFormat::IdentifierList: return "list of DOIs";
    case LibraryFormat::Ris: break;
  }
  return "RIS";
}

Library ReadLibrary(std::string_view bytes) {
  const std::string text = TextFromFileBytes(std::string(bytes));
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) throw ReviewError("it is empty");
  Library library;
  if (text[first] == '[' || text[first] == '{') {
    library.format = LibraryFormat::CslJson;
    library.entries = ReadCslJson(text);
  } else if (IsIdentifierList(text)) {
    library.format = LibraryFormat::IdentifierList;
    library.entries = ReadIdentifierList(text);
  } else if (text[first] == '@') {
    library.format = LibraryFormat::BibTeX;
    library.entries = ReadBibTeXReferences(text);
  } else {
    library.entries = ReadRisReferences(text);
    // BibTeX after a comment ("% Encoding: UTF-8") or a line of other text.
    if (library.entries.empty() && text.find('@') != std::string::npos) {
      library.format = LibraryFormat::BibTeX;
      library.entries = ReadBibTeXReferences(text);
    }
    if (library.entries.empty() && library.format == LibraryFormat::Ris) {
      const std::string reason = NoRisRecordsReason(text);
      throw ReviewError(reason.rfind("it has no RIS record", 0) == 0
                            ? "it is no BibTeX, RIS or CSL-JSON file and no list of DOIs"
                            : reason);
    }
  }
  if (library.entries.empty())
    throw ReviewError(std::string("it holds no entry (read as ") + LibraryFormatName(library.format) + ")");
  return library;
}

}  // namespace wendrel
