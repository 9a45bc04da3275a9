// A corpus file from OpenAlex works: the snapshot's JSON Lines, or saved API results, one work a
// line (plain or gzip-compressed), through the corpus import engine.
#pragma once

#include <string>

#include "corpus/corpus_import.h"

namespace wendrel {

// Each line an OpenAlex work; its references are its referenced_works. As ImportCorpus otherwise.
ImportSummary ImportOpenAlexCorpus(const std::string& jsonlPath, const std::string& corpusPath,
                                   const ImportProblemHandler& onProblem,
                                   const ImportProgressHandler& onProgress = nullptr);

}  // namespace wendrel
