// The CSL-JSON reader of libraries, and the library reader that chooses it from the content: any
// text gives entries or a ReviewError, never a crash.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "review/csl_json_reader.h"
#include "review/library_reader.h"
#include "review/review_error.h"

using namespace wendrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = fuzz::Text(data, size);
  try {
    ReadCslJson(text);
  } catch (const ReviewError&) {
  }
  try {
    // A library read without error holds at least one entry.
    if (ReadLibrary(text).entries.empty()) __builtin_trap();
  } catch (const ReviewError&) {
  }
  return 0;
}
