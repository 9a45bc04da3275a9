// The BibTeX reader of seed lists: every entry of any text, and the pearl list check that
// decides whether a .bib file is loaded or refused.
#include <cstddef>
#include <cstdint>

#include "chain/bibtex_reader.h"
#include "fuzz_support.h"

using namespace wendrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = fuzz::Text(data, size);
  const bool none = ReadBibTeXReferences(text).empty();
  // The check and the reader agree on whether a file holds a seed list.
  if (none != !PearlListProblem("seeds.bib", text).empty()) __builtin_trap();
  return 0;
}
