// The synthetic corpus generator: determinism, references to older work, the heavy tail of its
// citations, and titles as real literature has them.
#include "corpus/corpus_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace wendrel {
namespace {

using Line = nlohmann::json;

std::string Generate(uint64_t count, uint64_t seed, bool realisticVocabulary = false) {
  std::ostringstream out;
  GenerateCorpus(count, seed, out, {realisticVocabulary});
  return out.str();
}

std::vector<Line> Lines(const std::string& text) {
  std::vector<Line> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(Line::parse(line));
  return lines;
}

// The most citations any publication gets.
int MostCited(const std::vector<Line>& lines) {
  std::map<int64_t, int> cited;
  for (const auto& line : lines)
    for (int64_t r : line["references"]) ++cited[r];
  int most = 0;
  for (const auto& [id, count] : cited) most = std::max(most, count);
  return most;
}

TEST(CorpusGeneratorTest, SameCountAndSeedGiveTheSameBytes) {
  EXPECT_EQ(Generate(300, 42), Generate(300, 42));
  EXPECT_NE(Generate(300, 42), Generate(300, 43));
  EXPECT_EQ(Lines(Generate(300, 42)).size(), 300u);
  EXPECT_TRUE(Generate(0, 1).empty());
  // The generator draws only from its own integer generator and sequences every draw, so this
  // corpus has the same bytes with every compiler and library; a change here changes every
  // corpus generated from a seed. The hash is FNV-1a.
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char c : Generate(200, 7)) hash = (hash ^ c) * 0x100000001b3ULL;
  EXPECT_EQ(hash, 0x4c5d037fbe2bcc16ULL);
}

// A corpus of a few thousand, the size of the demo corpus, read once for the tests below.
class GeneratedCorpusTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { s_lines = Lines(Generate(3000, 5)); }
  static inline std::vector<Line> s_lines;
};

TEST_F(GeneratedCorpusTest, ReferencesPointToOlderPublications) {
  std::set<int64_t> seen;
  int previousYear = 0;
  for (const auto& line : s_lines) {
    int64_t id = line["id"];
    EXPECT_GT(id, seen.empty() ? 0 : *seen.rbegin());
    if (int year = line["year"]; year) {
      EXPECT_GE(year, previousYear);
      previousYear = year;
    }
    for (int64_t r : line["references"]) EXPECT_TRUE(seen.count(r)) << id << " cites " << r;
    seen.insert(id);
  }
}

TEST_F(GeneratedCorpusTest, TitlesAreMostlyUniqueBesideGenericOnesAndWorksListedTwice) {
  auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  std::map<std::string, std::vector<const Line*>> byTitle;
  for (const auto& line : s_lines) byTitle[lower(line["title"])].push_back(&line);
  const std::set<std::string> generic = {"introduction", "editorial", "reply", "book review", "preface", "erratum"};
  size_t genericItems = 0, namesakes = 0, listedTwice = 0;
  for (const auto& [title, lines] : byTitle) {
    if (generic.count(title)) genericItems += lines.size();
    for (size_t a = 0; a < lines.size(); ++a)
      for (size_t b = a + 1; b < lines.size(); ++b) {
        const Line& x = *lines[a];
        const Line& y = *lines[b];
        const bool sameWork = x["authors"][0] == y["authors"][0] && x["references"] == y["references"] &&
                              std::abs(x["year"].get<int>() - y["year"].get<int>()) <= 1;
        (sameWork ? listedTwice : namesakes) += 1;
      }
  }
  const size_t n = s_lines.size();
  EXPECT_GT(byTitle.size(), n * 95 / 100) << "titles are mostly unique";
  EXPECT_GT(genericItems, n / 200);
  EXPECT_LT(genericItems, n / 20);
  EXPECT_GT(listedTwice, n / 200);
  EXPECT_LT(listedTwice, n / 20);
  EXPECT_GT(namesakes, 0u);
}

TEST_F(GeneratedCorpusTest, CitationsAreHeavyTailed) {
  // The classics draw a fixed share of all work, so any corpus of this size has one cited over
  // 500 times, whatever the seed.
  EXPECT_GT(MostCited(s_lines), 500);
  EXPECT_GT(MostCited(Lines(Generate(3000, 1))), 500);
}

TEST(CorpusGeneratorTest, RealisticVocabularyIsLargeAndZipfian) {
  const std::string text = Generate(1000, 3, true);
  EXPECT_EQ(text, Generate(1000, 3, true));
  const std::vector<Line> lines = Lines(text);
  std::map<std::string, int> uses;
  size_t withAbstract = 0;
  for (const auto& line : lines) {
    const std::string abstract = line["abstract"];
    if (abstract.empty()) continue;
    ++withAbstract;
    std::istringstream words(abstract);
    int count = 0;
    for (std::string word; words >> word; ++count) {
      if (word.back() == '.') word.pop_back();
      // Words the map's tokeniser keeps whole: letters only, 4 to 15 of them.
      ASSERT_TRUE(word.size() >= 4 && word.size() <= 15 &&
                  std::all_of(word.begin(), word.end(), [](unsigned char c) { return std::isalpha(c); }))
          << word;
      word[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(word[0])));
      ++uses[word];
    }
    EXPECT_GE(count, 100);
    EXPECT_LE(count, 250);
  }
  EXPECT_GT(withAbstract, lines.size() * 3 / 4);
  // Tens of thousands of words, and how often they are used falls with rank as 1 / rank: the 20th
  // word about ten times as often as the 200th, and half the words used no more than a few times.
  EXPECT_GT(uses.size(), 20000u);
  std::vector<int> counts;
  for (const auto& [word, n] : uses) counts.push_back(n);
  std::sort(counts.rbegin(), counts.rend());
  const double ratio = static_cast<double>(counts[19]) / counts[199];
  EXPECT_GT(ratio, 5) << counts[19] << " / " << counts[199];
  EXPECT_LT(ratio, 20) << counts[19] << " / " << counts[199];
  EXPECT_LE(counts[counts.size() / 2], 5);
}

}  // namespace
}  // namespace wendrel
