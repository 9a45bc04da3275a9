// The RIS reader: every record of any text, and the publication ID of each accession value.
#include <cstddef>
#include <cstdint>

#include "chain/ris_reader.h"
#include "fuzz_support.h"

using namespace wendrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int lines = 0;
  for (const RisReference& reference : ReadRisReferences(fuzz::Text(data, size), [&lines] { ++lines; }))
    (void)AccessionPublicationID(reference.accession);
  return 0;
}
