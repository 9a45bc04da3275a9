// One publication of the corpus as the service serves it, with the identifiers the corpus gives
// its authors, keywords and venue.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
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
  // The ID the service shows: a corpus's number written out ("17") or a text ("W2099326003").
  std::string id;
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
  // What an upstream service says of the work: withdrawn by its publisher, and its kind of work
  // ("article", "preprint", ...; empty when not said). Corpus files hold neither.
  bool retracted = false;
  std::string workType;
};

// A publication as a file or an upstream service describes it, with the IDs of the works it cites.
struct ImportedWork {
  Publication publication;
  std::vector<std::string> references;
};

// One page of an answer: the publications at the requested positions and how many the whole
// answer holds.
struct PublicationPage {
  int64_t total = 0;
  std::vector<Publication> items;
};

// The number an ID spells when it is one written plainly (digits, no leading zero, above 0 and
// within 64 bits): such IDs are numbers in replies and rows in files of the first corpus format.
inline std::optional<int64_t> NumericId(std::string_view id) {
  if (id.empty() || id.size() > 19 || id[0] == '0') return std::nullopt;
  uint64_t value = 0;
  for (char c : id) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
  return static_cast<int64_t>(value);
}

}  // namespace wendrel
