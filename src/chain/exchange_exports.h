// Exports of the chain's lists for reference managers and spreadsheets: standard RIS, BibTeX,
// CSL-JSON and CSV, each article with its pearl relations and its screening. The program's own
// Pearl List files (ExportRIS, ExportWOS) are separate and unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chain/screening.h"
#include "search_client/cc_record.h"

namespace wendrel {

class MASCitationChain;

enum class ExchangeFormat { Ris, BibTeX, CslJson, Csv };

// Which articles an export holds: a list as the window shows it, or the three together (each
// article once: the pearls in the order they were added, then the others in table order), or the
// candidates for the next pearl (the articles related to a pearl that are no pearls, those related
// to the most pearls first, then the most cited, then in table order, as `wendrel grow` lists
// them), or the articles of the three lists new since the last run of the session (first appeared in
// its latest run, when that is a later one: ScreeningBook::IsNew), as All orders them. Suppressed
// articles are left out of every list.
enum class ExchangeList { Pearls, Cited, Citing, All, Candidates, New };

// "ris", "bibtex", "csl-json", "csv"; none for any other name.
std::optional<ExchangeFormat> ParseExchangeFormat(std::string_view name);
// "pearls", "cited", "citing", "all", "candidates", "new"; none for any other name.
std::optional<ExchangeList> ParseExchangeList(std::string_view name);
// The usual file name extension of a format, without the dot: "ris", "bib", "json", "csv".
const char* ExchangeExtension(ExchangeFormat format);

// Every article carries its screening (the chain's book): CSV in six columns of its own (Decision,
// Reason, Labels, Note, Known, Generation); RIS, BibTeX and CSL-JSON as keywords (each label and
// "screening: excluded") and a note line ("Screening: excluded (wrong outcome); labels: a, b; note:
// text; known"). An article with no decision, labels or note that is not known gets neither, so
// its record reads as it did before screening existed.
//
// `decision`, when given, keeps only the articles of that decision (Undecided: those with none).

// The text of an export (UTF-8; RIS and CSV with CR LF line ends, as their readers expect).
std::string FormatExchange(const MASCitationChain& chain, ExchangeList list, ExchangeFormat format,
                           std::optional<Verdict> decision = std::nullopt);

// The text of an export of articles from outside the lists (the search results), in the order
// given. An article the chain holds carries its pearl relations, lists and screening there; one it
// does not hold is undecided.
std::string FormatExchange(const MASCitationChain& chain, const std::vector<CCRecord>& records, ExchangeFormat format,
                           std::optional<Verdict> decision = std::nullopt);

struct ExchangeResult {
  bool written = false;  // the file was written (also when the list was empty)
  int32_t articles = 0;  // articles in the file
  std::string reason;    // why it was not written, naming the file
};

// Writes an export to `path` through a temporary file beside it and a rename, so a failed write
// leaves any earlier file as it was. Never throws; the reason says what went wrong.
ExchangeResult ExportExchange(const MASCitationChain& chain, ExchangeList list, ExchangeFormat format,
                              const std::string& path, std::optional<Verdict> decision = std::nullopt);
ExchangeResult ExportExchange(const MASCitationChain& chain, const std::vector<CCRecord>& records,
                              ExchangeFormat format, const std::string& path,
                              std::optional<Verdict> decision = std::nullopt);

}  // namespace wendrel
