// One publication of the corpus as the service serves it, with the identifiers the corpus gives
// its authors, keywords and venue.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wendrel {

struct PublicationAuthor {
  int64_t id = 0;
  std::string firstName;
  std::string lastName;
};

struct PublicationKeyword {
  int64_t id = 0;
  std::string name;
};

enum class VenueKind { None = 0, Journal = 1, Conference = 2 };

struct Publication {
  int64_t id = 0;
  std::string title;
  std::string abstract;
  int year = 0;  // 0 when unknown
  std::vector<PublicationAuthor> authors;
  std::vector<PublicationKeyword> keywords;
  VenueKind venueKind = VenueKind::None;
  int64_t venueId = 0;
  std::string venueName;
  std::string doi;
  std::vector<std::string> urls;
  // Publications of the corpus that cite this one.
  int64_t citationCount = 0;
  // Distinct publications it cites, those outside the corpus included.
  int64_t referenceCount = 0;
};

// One page of an answer: the publications at the requested positions and how many the whole
// answer holds.
struct PublicationPage {
  int64_t total = 0;
  std::vector<Publication> items;
};

}  // namespace wendrel
