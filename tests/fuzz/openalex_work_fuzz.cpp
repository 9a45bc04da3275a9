// OpenAlex works mapped to publications (ReadOpenAlexWork), as the gateway and the snapshot
// import map them, and the mapped publication written as the service's reply; the ID and
// author-name helpers on the raw text too.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "fuzz_support.h"
#include "openalex/openalex_work.h"
#include "service/reply_writer.h"

using namespace wendrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = fuzz::Text(data, size);
  (void)ShortOpenAlexId(text);
  (void)ApiOpenAlexId(text);
  (void)SplitAuthorName(text);

  const nlohmann::json work = nlohmann::json::parse(text, nullptr, false);
  if (work.is_discarded()) return 0;
  try {
    PublicationPage page;
    page.items.push_back(ReadOpenAlexWork(work).publication);
    page.total = 1;
    (void)WritePublicationReply(page, 1);
  } catch (const OpenAlexFormatError&) {
  }
  return 0;
}
