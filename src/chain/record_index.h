// A hash index over the chain's record table: from a key to the record numbers that hold it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace wendrel {

// Keeps every record number under its key in ascending order, so First answers exactly what a
// scan from record 1 upward would find, also after a record's key changed.
class RecordIndex {
 public:
  void Add(const std::string& key, int32_t index);
  void Remove(const std::string& key, int32_t index);
  // The smallest record number under the key; 0 when there is none.
  int32_t First(const std::string& key) const;
  // Every record number under the key, smallest first; empty when there is none.
  std::span<const int32_t> All(const std::string& key) const;
  void Clear() { m_entries.clear(); }

 private:
  std::unordered_map<std::string, std::vector<int32_t>> m_entries;
};

}  // namespace wendrel
