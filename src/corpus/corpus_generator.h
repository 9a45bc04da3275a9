// Deterministic synthetic corpora in the JSON Lines of the corpus importer: topics with their own
// vocabularies, authors who recur within a topic, and citations mostly within a topic toward older
// and already well-cited work, so that citation counts are heavy-tailed.
#pragma once

#include <cstdint>
#include <iosfwd>

namespace wendrel {

// Small, fast and the same on every platform: the generator draws all its numbers from it.
class SplitMix64 {
 public:
  explicit SplitMix64(uint64_t seed) : m_state(seed) {}
  uint64_t Next() {
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // A number from 0 to n - 1 (n > 0).
  uint64_t Below(uint64_t n) { return Next() % n; }
  // True with a chance of percent in a hundred.
  bool Chance(uint64_t percent) { return Below(100) < percent; }

 private:
  uint64_t m_state;
};

struct CorpusOptions {
  // Abstracts of 100 to 250 words drawn from large vocabularies, as real abstracts use words: each
  // topic has words of its own and all share common ones, every list used with Zipf's law (the
  // word of rank r about 1 / r as often as the first), tens of thousands of words in all. Off, the
  // abstracts are short sentences over a few hundred subject and method words.
  bool RealisticVocabulary = false;
};

// Writes `count` publications, one JSON line each, oldest first; the same count, seed and options
// give the same bytes (count below 2^31). The first few publications are field-wide classics that a
// large share of later work cites, so a corpus of a few thousand has publications cited several
// hundred times. The realistic vocabulary changes only the abstracts' words.
void GenerateCorpus(uint64_t count, uint64_t seed, std::ostream& out, const CorpusOptions& options = {});

}  // namespace wendrel
