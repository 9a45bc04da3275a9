// Word tables of the synthetic corpus generator: research topics with their own subjects,
// qualities, methods and venues, and the names its authors are made of.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wendrel {

struct TopicVocabulary {
  std::string_view field;                        // "machine learning", used inside sentences
  std::span<const std::string_view> subjects;    // what papers of the topic are about
  std::span<const std::string_view> qualities;   // adjectives that go before a subject or method
  std::span<const std::string_view> methods;     // how they go about it (plural or mass nouns)
  std::span<const std::string_view> journals;
  std::span<const std::string_view> conferences;
};

std::span<const TopicVocabulary> CorpusTopics();
std::span<const std::string_view> CorpusFirstNames();
std::span<const std::string_view> CorpusLastNames();

// count made-up words of 4 to 15 lower-case letters (a few syllables each), the same for the same
// list number on every platform; different lists share few words.
std::vector<std::string> InventedWords(uint64_t list, size_t count);

}  // namespace wendrel
