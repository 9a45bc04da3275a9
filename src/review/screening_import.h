// Decisions taken elsewhere, read back into the session: this program's own CSV and RIS exports,
// and the label forms of two screening tools, ASReview (RIS notes, CSV column) and Rayyan (RIS notes).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chain/citation_chain.h"
#include "chain/ris_reader.h"

namespace wendrel {

// One reference of a screening file and what the file says of it. No verdict: the file has none
// for it (not seen, undecided), and its decision in the session stays as it is.
struct ScreenedReference {
  RisReference reference;
  std::optional<Verdict> verdict;
  std::string reason;
  std::vector<std::string> labels;
  std::string note;
  bool known = false;
};

// The references of a screening file, its form told by the content:
// - CSV with a "Decision" column (this program's export: Decision, Reason, Labels joined by "; ",
//   Note, Known "yes"; the article by ID, DOI, Title, Authors and Year) or an "included" column
//   (ASReview: 1 included, 0 excluded, empty not seen; title, authors, doi, year);
// - RIS whose N1 notes hold "Screening: excluded (reason); labels: a, b; note: text; known" (this
//   program), "ASReview_relevant", "ASReview_irrelevant" or "ASReview_not_seen", or Rayyan's
//   "RAYYAN-INCLUSION: {"Ann"=>"Excluded", "Bob"=>"Included"} | RAYYAN-LABELS: a, b |
//   RAYYAN-EXCLUSION-REASONS: wrong outcome | USER-NOTES: {"Ann"=>["text"]}".
// Rayyan's reviewers decide together when they agree; when they do not, the article is a maybe
// and the note says who decided what, so a later look settles it. Its exclusion reasons become one
// reason, joined by ", ". ASReview's irrelevant is an exclusion without a reason ("other").
// Bytes that are not UTF-8 are read as Windows-1252. Throws ReviewError when the file is neither.
std::vector<ScreenedReference> ReadScreeningFile(std::string_view bytes);

struct ScreeningImport {
  int32_t references = 0;  // in the file
  int32_t matched = 0;     // references that matched at least one article
  int32_t decided = 0;     // matched references that carried a decision
  std::vector<std::string> unmatched;  // each reference that matched nothing, as ReferenceLabel names it
};

// Applies what each reference says to every article it matches (ArticleMatcher's duplicate rule):
// its decision, its labels added to the article's, its note added to the article's note unless
// held already, the known mark set. Nothing is taken away.
ScreeningImport ApplyScreening(MASCitationChain& chain, const std::vector<ScreenedReference>& references);

}  // namespace wendrel
