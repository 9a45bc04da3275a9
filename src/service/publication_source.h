// What the service's one operation asks of the place its publications come from: a corpus file
// or the OpenAlex gateway answer the same four questions.
#pragma once

#include <cstdint>
#include <string>

#include "service/publication.h"
#include "service/service_error.h"

namespace wendrel {

enum class PublicationOrder {
  Rank,           // searches: relevance, then citation count; lists: as CitationCount
  CitationCount,  // most cited first
  Year,           // newest first, then most cited; unknown years (0) last
};

// The criteria of a search; they combine with AND. The texts are words separated by blanks; every
// word must occur (case-insensitive) in the field. A text of blanks only is no criterion.
struct SearchCriteria {
  std::string fullText;  // title or abstract
  std::string title;
  std::string author;  // any author's first or last name
  std::string journal;
  std::string conference;
  int yearStart = 0;  // 0: no bound; with a bound, publications of unknown year never match
  int yearEnd = 0;
  // A bare DOI, lower-case: when given, the answer is the publications bearing it (any case) and
  // the other criteria are not looked at.
  std::string doi;
};

// A source that cannot answer now (an upstream service failed or refused): the request gets
// `status` and the message, which must be fit for the requester's eyes.
class SourceUnavailable : public ServiceError {
 public:
  SourceUnavailable(int status, const std::string& message) : ServiceError(message), m_status(status) {}
  int Status() const { return m_status; }

 private:
  int m_status;
};

// Pages skip `offset` publications of the whole answer and hold at most `limit` (at least 1). An
// unknown publication gives the empty page.
class PublicationSource {
 public:
  virtual ~PublicationSource() = default;
  // The one publication, as a page of at most one.
  virtual PublicationPage Retrieve(const std::string& id, int64_t offset) = 0;
  // The publications that `id` cites.
  virtual PublicationPage References(const std::string& id, PublicationOrder order, int64_t offset,
                                     int64_t limit) = 0;
  // The publications that cite `id`.
  virtual PublicationPage Citing(const std::string& id, PublicationOrder order, int64_t offset, int64_t limit) = 0;
  // A search without any criterion finds nothing.
  virtual PublicationPage Search(const SearchCriteria& criteria, PublicationOrder order, int64_t offset,
                                 int64_t limit) = 0;
  // Ends what waits on the source at once (those calls fail or answer from what they have, and
  // later ones fail) until Resume; any thread. A source that never waits has nothing to end.
  virtual void Interrupt() {}
  virtual void Resume() {}
};

}  // namespace wendrel
