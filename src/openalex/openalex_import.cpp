#include "openalex/openalex_import.h"

#include <nlohmann/json.hpp>

#include "openalex/openalex_work.h"

namespace wendrel {

ImportSummary ImportOpenAlexCorpus(const std::string& jsonlPath, const std::string& corpusPath,
                                   const ImportProblemHandler& onProblem, const ImportProgressHandler& onProgress) {
  return ImportWorks(jsonlPath, corpusPath, onProblem, onProgress, [](const nlohmann::json& line) {
    try {
      return ReadOpenAlexWork(line);
    } catch (const OpenAlexFormatError& e) {
      throw CorpusLineError(e.what());
    }
  });
}

}  // namespace wendrel
