// Reading the references of a RIS file: the few fields a pearl list import needs, from files this
// program wrote and from files other reference tools write.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wendrel {

// One record of a RIS file. Values are trimmed of surrounding blanks.
struct RisReference {
  std::string accession;    // the AN value
  std::string firstAuthor;  // the first AU or A1 value
  std::vector<std::string> coAuthors;  // the further AU and A1 values
  std::string title;        // the last TI, T1 or CT value, else the first BT value
  std::string year;         // the last PY value (else the Y1 value), its year alone for "2016/12//"
  // The further fields this program writes, kept for a pearl the service cannot give back: the
  // last TY, T2, AB (else N2), DO and UR values.
  std::string type;
  std::string source;
  std::string abstract;
  std::string doi;
  std::string url;
  // A service ID a plain seed list names; this program's own files name theirs in `accession`.
  std::string listedId;
  // Every N1 and KW value, in file order: the notes and keywords screening tools write their
  // decisions into.
  std::vector<std::string> notes;
  std::vector<std::string> keywords;
};

// Reads every record of RIS text, in file order. A record starts at a "TY" line and ends at an
// "ER" line, at the next "TY" line (a record whose ER line is missing) or at the end of the text.
// Lines outside records are passed over; an untagged line inside one continues the title, first
// author, source or abstract above it (joined by a blank), as a wrapped value. A tagged line is
// two characters, one or two blanks, a hyphen, then the value ("TY  - JOUR" as this program and
// other tools write it, "TY - Journal" as its files before did). Lines may end in LF or
// CR LF; a leading byte-order mark is skipped; bytes that are not valid UTF-8 are read as
// Windows-1252. onRecordLine, when given, is called after each line read inside a record.
std::vector<RisReference> ReadRisReferences(std::string_view text, const std::function<void()>& onRecordLine = {});

// Why RIS text yields no record ("it is empty", "it is a BibTeX file", ...); empty when it yields
// at least one.
std::string NoRisRecordsReason(std::string_view text);

// A reference as messages name it: first author, year, title and DOI (or the ID a plain list
// gave), as far as it has them; "record N of the file" (item, from 1) when it has none.
std::string ReferenceLabel(const RisReference& reference, int32_t item);

// The publication ID an accession value carries when this program wrote it ("MAS:" and the ID);
// empty when it carries none.
std::string AccessionPublicationID(const std::string& accession);

}  // namespace wendrel
