// The reply reader: the object table of JSONDeserializer, every look-up the conversion makes, and
// ConvertReply on the same text.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "platform/scripted_host.h"
#include "search_client/json_deserializer.h"
#include "search_client/result_records.h"

using namespace wendrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = fuzz::Text(data, size);
  ScriptedHost host;
  for (bool ignoreTopLevel : {false, true}) {
    JSONDeserializer reader(&host);
    if (!reader.Read(text, ignoreTopLevel)) continue;
    const int32_t count = reader.ObjectCount("");
    // One past each end of the table as well: out-of-range numbers must read as empty.
    for (int32_t i = -1; i <= count + 2; ++i) {
      (void)reader.ObjectName(i);
      (void)reader.ObjectLevel(i);
      (void)reader.ObjectParent(i);
      (void)reader.ObjectText(i);
      (void)reader.LastChild(i);
      for (const char* element : {"ID", "Title", "Abstract", "Year", "DOI", "Author", "CitationCount", "FullVersionURL"})
        (void)reader.GetElementInObject(i, element);
      (void)reader.GetAllElementsInObject(i, "Name");
    }
    for (int32_t i = 0; i <= reader.ObjectCount("Result") + 1; ++i) (void)reader.ObjectIndex("Result", i);
  }
  (void)ConvertReply(text, &host);
  return 0;
}
