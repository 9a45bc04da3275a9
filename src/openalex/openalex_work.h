// OpenAlex works (https://api.openalex.org, CC0) read into the service's publications: the one
// place where OpenAlex's field names meet ours.
#pragma once

#include <stdexcept>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "service/publication.h"

namespace wendrel {

class OpenAlexFormatError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// "https://openalex.org/W2099326003", "W2099326003" and "w2099326003" are all "w2099326003";
// anything else is returned as given. Replies carry IDs in this lower-case form: the client finds a
// record again by comparing the ID it is given with the lower-cased IDs it holds, so an upper-case
// ID would never be found again and every pearl met twice would become two records.
std::string ShortOpenAlexId(const std::string& id);
// The form OpenAlex writes: "w2099326003" -> "W2099326003".
std::string ApiOpenAlexId(const std::string& id);

// Reads one work. Only "id" is required (else OpenAlexFormatError); fields of an unexpected type
// read as absent. The abstract is rebuilt from the inverted index; author names (the byline as
// printed, else the author profile's name) are split into first and last name; the primary source is a journal or a conference by its type; the DOI loses
// its resolver prefix; the addresses are the locations' PDFs, then their landing pages; a
// retraction and the type of work ("preprint") are kept as OpenAlex says them.
ImportedWork ReadOpenAlexWork(const nlohmann::json& work);

// "George A. Akerlof" -> first "George A.", last "Akerlof"; "Akerlof, George A." the same.
// Lower-case particles go with the family name ("Marc de Perrot" -> last "de Perrot"); a suffix
// (Jr., Sr., II, III, IV) is kept apart from it, after the given names ("Martin Luther King Jr." ->
// last "King", first "Martin Luther, Jr."); a name without blanks ("王小明", "Plato") is the last
// name whole.
PublicationAuthor SplitAuthorName(const std::string& name);

// The root fields of a work that ReadOpenAlexWork reads, comma-separated: the `select` of every
// works request, which halves the size of a reply.
extern const char* const kOpenAlexWorkFields;

}  // namespace wendrel
