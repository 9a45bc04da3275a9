// MiscFunctions: small free helpers shared by the numeric and text code: the link sort of the
// network code and the ranking of array positions by value.
#pragma once

#include <cstdint>
#include <vector>

namespace wendrel {

class Host;

// A weighted link between two nodes (the field order is the record layout the network code uses).
struct LinkRecord {
  float Value = 0;
  int32_t I = 0;
  int32_t J = 0;
  bool operator==(const LinkRecord&) const = default;
};

// Sorts the records in place by Value with a Shell sort (gaps n/2, n/4, ..., 1). Equal keys are
// never exchanged within one gap pass, but the sort as a whole is not stable: the order of ties
// is the one this gap sequence gives, and callers rely on it. The host, when given, has the event
// loop turned after every gap pass.
void SortLinks(std::vector<LinkRecord>& records, bool descending, Host* host = nullptr);

// The positions of the k smallest (or, descending, largest) values[base..], taken by repeated
// selection: each result slot gets the best remaining value, the lowest position among equals,
// never `exclude` (-1 for none). k is capped at values.size() - 2 + base (the caller sees the new
// k; with base 0 that leaves out one value). Result slot s (from 0) is the (s + 1)-th choice; a
// slot for which nothing is left repeats the previous choice (0 for the first). Values beyond
// +-1e8 are not ranked reliably.
std::vector<int32_t> RankIndices(const std::vector<float>& values, int32_t exclude, int32_t& k, bool descending,
                                 uint8_t base);

}  // namespace wendrel
