// Builds a corpus file from JSON Lines (plain or gzip-compressed), one publication a line:
//   {"id": 17 or "P17", "title": "...", "abstract": "...", "year": 2004,
//    "authors": [{"last": "Kowalski", "first": "Anna"}], "venue": {"kind": "journal", "name": "..."},
//    "doi": "...", "urls": ["..."], "keywords": ["..."], "references": [3, "P9"]}
// Only "id" and "title" are required; null stands for absent. Citation counts, reference counts
// and the citing lists are derived from the references; ties of the lists' orders go by line.
// Other kinds of JSON Lines (OpenAlex's works) go through the same engine with a work reader of
// their own.
#pragma once

#include <cstdint>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <stdexcept>
#include <string>

#include "service/publication.h"

namespace wendrel {

struct ImportSummary {
  int64_t publications = 0;
  int64_t skippedLines = 0;
  // Distinct references listed by the imported publications (self-references left out), and how
  // many of them point outside the corpus: those count in ReferenceCount but are not served.
  int64_t references = 0;
  int64_t outsideReferences = 0;
};

// Why a line of the input is skipped.
class CorpusLineError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One line of a JSON Lines corpus (its line end and, on the first line, a byte-order mark already
// taken off) read as ImportCorpus reads it: the publication and the IDs it cites. Throws
// CorpusLineError with the reason ImportCorpus would skip the line for. The checks that need the
// whole file (an ID met twice) stay with the import.
ImportedWork ReadCorpusLine(const std::string& line);

// Told the 1-based line number and the reason of each malformed line, which is skipped.
using ImportProblemHandler = std::function<void(int64_t line, const std::string& reason)>;
// Told now and then how many bytes of the input file are read, and its size.
using ImportProgressHandler = std::function<void(int64_t done, int64_t total)>;

// Reads jsonlPath and writes the corpus to corpusPath, replacing what was there. The corpus is
// built in a temporary file beside corpusPath and renamed at the end, so a failed import leaves
// the old file (or none) and no partial one. Throws ServiceError when the input cannot be read
// or the output cannot be written.
ImportSummary ImportCorpus(const std::string& jsonlPath, const std::string& corpusPath,
                           const ImportProblemHandler& onProblem);
// One parsed line to a work; throws CorpusLineError with the reason a malformed line is skipped for.
using CorpusWorkReader = std::function<ImportedWork(const nlohmann::json&)>;
// The engine of ImportCorpus with another reader of lines (and progress, when given).
ImportSummary ImportWorks(const std::string& inputPath, const std::string& corpusPath,
                          const ImportProblemHandler& onProblem, const ImportProgressHandler& onProgress,
                          const CorpusWorkReader& readWork);

}  // namespace wendrel
