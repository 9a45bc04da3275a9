// The texts that stand in a record's field for "nothing", as the services and this program write
// them, and the one test for them.
#pragma once

#include <string_view>

namespace wendrel {

// The ID of a reply that held no publication, and a field a service sent as null.
inline constexpr std::string_view kNullMarker = "null";
// The ID of a reference that could not be resolved.
inline constexpr std::string_view kUnresolvedMarker = "N/A";
// A year the service gave as 0; a record without a full-text address.
inline constexpr std::string_view kNotAvailableMarker = "n/a";

// False for an empty text and for each marker: the field has nothing to show, export or match.
inline bool IsKnownValue(std::string_view value) {
  return !value.empty() && value != kNullMarker && value != kUnresolvedMarker && value != kNotAvailableMarker;
}

}  // namespace wendrel
