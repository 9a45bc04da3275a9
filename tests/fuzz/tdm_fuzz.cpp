// ".tdm" files read back by LoadTDM, from a file path as the map and the commands read them:
// the input is the file "documents_0.tdm" beside a two-document set, read without and with the
// document-frequency column.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "platform/scripted_host.h"
#include "text/document_set.h"
#include "text/term_document_matrix.h"
#include "text/text_error.h"

using namespace wendrel;

namespace {

// The two documents whose matrix the file claims to be; loaded once.
const DocumentSet& Documents(Host& host) {
  static DocumentSet set = [&host] {
    DocumentSet loaded(host);
    const std::string text = "apple banana cherry\napple durian\n";
    std::string path = fuzz::WriteInput("documents.txt", reinterpret_cast<const uint8_t*>(text.data()), text.size());
    loaded.LoadDocuments(path, 0, "\n", 0, 0, false);
    return loaded;
  }();
  return set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScriptedHost host;
  const DocumentSet& set = Documents(host);
  for (bool withDocFreq : {false, true}) {
    TermDocumentMatrix tdm(host);
    int32_t documents = set.DocumentCount();
    tdm.AssignText(set, documents, false);
    fuzz::WriteInput("documents_0.tdm", data, size);
    try {
      tdm.LoadTDM(withDocFreq);
    } catch (const TextError&) {
      continue;
    }
    for (int32_t t = 1; t <= tdm.TermCount(); ++t) {
      (void)tdm.Term(t);
      (void)tdm.DocFreq(t);
      for (int32_t d = 1; d <= tdm.DocCount(); ++d) {
        (void)tdm.TermFreq(t, d);
        for (int32_t scheme : {0, 1, 2}) (void)tdm.TermWeight(t, d, scheme, true);
      }
    }
  }
  return 0;
}
