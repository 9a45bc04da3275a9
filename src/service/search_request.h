// The service's one operation, json.svc/search, without HTTP: query parameters in, status,
// content type and body out.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "service/publication_source.h"

namespace wendrel {

// Query keys and their decoded values, in the order received. Keys match without regard to case
// (AppId and AppID are one key); of a repeated key the first value counts.
using QueryParameters = std::vector<std::pair<std::string, std::string>>;

struct ServiceReply {
  int status = 200;
  std::string contentType;
  std::string body;
};

// As the original service: at most this many results per request.
constexpr int kMaxResultsPerRequest = 100;

// Answers one request:
// - no AppId: 403; a malformed or unsupported parameter: 400 with a short plain text;
// - PublicationID with ReferenceType Reference or Citation: a page of the publication's references
//   or of the publications citing it; PublicationID alone (or ReferenceType None): the publication;
//   the search keys are then not looked at;
// - otherwise a search by FullTextQuery, TitleQuery, AuthorQuery, JournalQuery, ConferenceQuery,
//   YearStart and YearEnd; or, beside the original's keys, DOIQuery alone: the publications bearing
//   that DOI (bare or with a resolver address, any case);
// - StartIdx and EndIdx (1-based, inclusive; default 1 and StartIdx + 9) choose the page;
// - ResultObjects may only be Publication; PublicationContent takes any of the original's values
//   but every reply carries all of a publication's elements; unknown keys are passed over.
// PublicationID is any text up to kMaxIdLength bytes. An unknown publication gives the empty answer.
// A source that is unavailable gives its status and reason; other failures of the source are
// thrown on, for the caller to log and answer (500) with what it knows of the source.
ServiceReply AnswerSearchRequest(PublicationSource& source, const QueryParameters& parameters);

constexpr size_t kMaxIdLength = 256;

}  // namespace wendrel
