// The document file formats 0 to 11 (the tagged bibliographic exports among them), loaded as the
// `wendrel docs` and `wendrel tdm` commands load them, then prepared for the term-document matrix.
// The first byte of the input picks the format (its value modulo 12: "0" to "9", ":" and ";"
// are formats 0 to 11); the rest is the file.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "platform/scripted_host.h"
#include "text/document_set.h"
#include "text/term_document_matrix.h"
#include "text/text_error.h"

using namespace wendrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const auto format = static_cast<int32_t>(data[0] % 12);
  // Format 0 cuts records at the separator; format 1 at the one its definitions come with.
  const std::string separator = format == 1 ? "@@" : "\n";
  std::string path = fuzz::WriteInput("documents.txt", data + 1, size - 1);
  ScriptedHost host;
  DocumentSet set(host);
  try {
    if (format == 1) set.InitFieldDefs(0, separator, "");
    if (!set.LoadDocuments(path, format, separator, 0, 0, false)) return 0;
  } catch (const TextError&) {
    return 0;  // format 1 without readable field definitions, or a header of too many columns
  }
  for (int32_t d = 0; d < set.DocumentCount(); ++d)
    for (int f = 0; f <= set.FieldCount(); ++f) (void)set.Text(d, f);

  TermDocumentMatrix tdm(host);
  int32_t documents = set.DocumentCount();
  tdm.AssignText(set, documents, false);
  tdm.Preprocess(false, true, 3, WENDREL_FUZZ_STOP_WORDS, true);
  tdm.BuildVocab(0, 999);
  tdm.BuildTDM(1, documents);
  return 0;
}
