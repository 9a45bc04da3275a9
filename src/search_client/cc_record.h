// CCRecord: one article of the session, as converted from a service reply and kept in the
// citation chain's record table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/value_markers.h"

namespace wendrel {

// Field order and widths are those of the record table; counts saturate instead of wrapping.
// Relation lists hold pearl record numbers, each written ";", number, ";" (";3;;7;").
struct CCRecord {
  std::string PK;  // the service's publication ID; "null" when a reply held none
  std::string AK;  // alternate key; nothing assigns it
  int16_t CitationCount = 0;
  int16_t ReferenceCount = 0;
  std::string PubType;  // "Journal", "Conference" or empty
  std::string Year;     // "n/a" when the service reported 0
  std::string Title;
  std::string Abstract;
  std::string FirstAuthor;  // last name, ", ", first name
  std::string CoAuthors;    // each further author as last name, ", ", first name, ", "
  std::string Source;       // full name of the journal or conference
  std::string Keywords;     // each keyword followed by ","
  std::string DOI;
  std::string FullTextURL;  // the chosen full-version address, or "n/a"
  bool IsCited = false;
  int16_t CitedByPearls = 0;
  uint8_t CitedAge = 0;
  std::string CitedPearlList;
  bool IsCiting = false;
  int16_t CitesPearls = 0;
  uint8_t CitingAge = 0;
  std::string CitingPearlList;
  bool IsPearl = false;
  bool Suppressed = false;
  // Beside the record table: what the service says of the work (OpenAlex does), not kept in the
  // described files.
  bool Retracted = false;
  std::string WorkType;  // "preprint", "article", ...; empty when the service does not say

  bool operator==(const CCRecord&) const = default;
};

// The marks a record's work carries, for lists, the summary and exports: "retracted",
// "preprint", both joined by ", ", or empty.
inline std::string RecordMarks(const CCRecord& r) {
  std::string marks = r.Retracted ? "retracted" : "";
  if (r.WorkType == "preprint") marks += marks.empty() ? "preprint" : ", preprint";
  return marks;
}

// An ID that names a publication: not empty and no marker ("N/A", "n/a", "null").
inline bool IsUsableID(std::string_view pk) { return IsKnownValue(pk); }

// A reply without publications converts to one record with PK "null" and nothing else; it names
// no article and never enters a list.
inline bool NamesNoArticle(const CCRecord& r) { return r.PK == kNullMarker && r.Title.empty(); }

// A pearl's entry in a relation list: ";", its record number, ";".
inline std::string RelationToken(int32_t pearl) {
  // Built piece by piece: GCC 12 warns falsely of overlapping copies for ";" + text at -O2.
  std::string token = ";";
  token += std::to_string(pearl);
  token += ';';
  return token;
}

// The co-authors stored as "Last, First, " pairs, each as "Last, First" ("Last" alone without a
// first name).
std::vector<std::string> CoAuthorNames(const std::string& coAuthors);

// The pearls' record numbers a relation list names, in its order; an entry that is no number is
// passed over.
std::vector<int32_t> RelationPearls(std::string_view list);

}  // namespace wendrel
