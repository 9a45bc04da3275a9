// The screening files read back into a session (CSV columns, RIS notes of several tools): any text
// gives references or a ReviewError, never a crash.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "review/review_error.h"
#include "review/screening_import.h"

using namespace wendrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    for (const ScreenedReference& s : ReadScreeningFile(fuzz::Text(data, size))) {
      // Only an exclusion is read with its reason; a verdict read is never "undecided".
      if (s.verdict == Verdict::Undecided) __builtin_trap();
    }
  } catch (const ReviewError&) {
  }
  return 0;
}
