// MiscFunctions: the Shell sort of link records and the ranking of positions.
#include "sparse/misc_functions.h"

#include <algorithm>

#include "platform/host.h"

namespace wendrel {

void SortLinks(std::vector<LinkRecord>& records, bool descending, Host* host) {
  const size_t n = records.size();
  for (size_t gap = n / 2; gap > 0; gap /= 2) {
    for (size_t i = gap; i < n; ++i) {
      LinkRecord t = records[i];
      size_t j = i;
      // j is the slot being filled; records[j - gap] is the one compared.
      while (j >= gap && (descending ? t.Value > records[j - gap].Value : t.Value < records[j - gap].Value)) {
        records[j] = records[j - gap];
        j -= gap;
      }
      records[j] = t;
    }
    if (host) host->DoEvents();
  }
}

std::vector<int32_t> RankIndices(const std::vector<float>& values, int32_t exclude, int32_t& k, bool descending,
                                 uint8_t base) {
  const int64_t last = static_cast<int64_t>(values.size()) - 1;
  if (k > last - 1 + base) k = static_cast<int32_t>(last - 1 + base);
  if (k <= 0) return {};

  float max = -100000000.0f;
  float min = 100000000.0f;
  for (int64_t p = base; p <= last; ++p) {
    max = std::max(max, values[static_cast<size_t>(p)]);
    min = std::min(min, values[static_cast<size_t>(p)]);
  }
  max += 1;
  min -= 1;

  std::vector<int32_t> result(static_cast<size_t>(k), 0);
  std::vector<bool> taken(values.size(), false);
  int32_t choice = 0;
  for (int32_t s = 0; s < k; ++s) {
    float best = descending ? min : max;
    for (int64_t p = base; p <= last; ++p) {
      if (p == exclude || taken[static_cast<size_t>(p)]) continue;
      float v = values[static_cast<size_t>(p)];
      if (descending ? v > best : v < best) {
        best = v;
        choice = static_cast<int32_t>(p);
      }
    }
    result[static_cast<size_t>(s)] = choice;
    taken[static_cast<size_t>(choice)] = true;
  }
  return result;
}

}  // namespace wendrel
