// The chain's hash index: record numbers per key, smallest first.
#include "chain/record_index.h"

#include <algorithm>

namespace wendrel {

void RecordIndex::Add(const std::string& key, int32_t index) {
  std::vector<int32_t>& numbers = m_entries[key];
  // Records are appended with rising numbers, so the common case is a push at the end.
  if (numbers.empty() || numbers.back() < index) {
    numbers.push_back(index);
  } else {
    auto at = std::lower_bound(numbers.begin(), numbers.end(), index);
    if (at == numbers.end() || *at != index) numbers.insert(at, index);
  }
}

void RecordIndex::Remove(const std::string& key, int32_t index) {
  auto entry = m_entries.find(key);
  if (entry == m_entries.end()) return;
  std::vector<int32_t>& numbers = entry->second;
  auto at = std::lower_bound(numbers.begin(), numbers.end(), index);
  if (at != numbers.end() && *at == index) numbers.erase(at);
  if (numbers.empty()) m_entries.erase(entry);
}

int32_t RecordIndex::First(const std::string& key) const {
  auto entry = m_entries.find(key);
  return entry == m_entries.end() ? 0 : entry->second.front();
}

std::span<const int32_t> RecordIndex::All(const std::string& key) const {
  auto entry = m_entries.find(key);
  if (entry == m_entries.end()) return {};
  return entry->second;
}

}  // namespace wendrel
