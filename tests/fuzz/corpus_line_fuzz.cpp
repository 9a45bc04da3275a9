// One line of a JSON Lines corpus read as the import reads it (ReadCorpusLine), in memory; the
// IDs it gives then go through the import's test for plain numeric IDs.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "corpus/corpus_import.h"

using namespace wendrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const ImportedWork work = ReadCorpusLine(fuzz::Text(data, size));
    (void)NumericId(work.publication.id);
    for (const std::string& reference : work.references) (void)NumericId(reference);
  } catch (const CorpusLineError&) {
  }
  return 0;
}
