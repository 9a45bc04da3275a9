#include "corpus/corpus_generator.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "corpus/corpus_vocabulary.h"
#include "service/reply_writer.h"

namespace wendrel {

namespace {

constexpr int kFirstYear = 1960;
constexpr int kYearSpan = 64;
constexpr uint64_t kClassics = 5;
// Chance (in 100) that a publication cites one of the classics, and how the classics share it.
constexpr uint64_t kClassicChance = 45;
constexpr uint64_t kClassicWeights[kClassics] = {50, 20, 15, 10, 5};

constexpr uint64_t kSentenceForms = 10;

// Real literature has a few titles that many unrelated items share (front matter, letters,
// reviews) and lists some works twice (a preprint and its journal version, a record imported
// twice): chances in 1000 of each, and how far back the second listing of a work may look.
constexpr uint64_t kGenericPerMille = 20;
constexpr uint64_t kListedTwicePerMille = 15;
constexpr size_t kRecentRows = 40;
constexpr const char* kGenericTitles[] = {"Introduction",    "Editorial",   "Reply",      "Book review",
                                          "Preface",         "Erratum",     "Commentary", "Letter to the editor",
                                          "Guest editorial", "Corrigendum", "Foreword",   "Response to the commentary"};

// The realistic vocabulary: words per topic, words all topics share, and how often (in 100) an
// abstract's word is a shared one.
constexpr size_t kTopicWords = 3000;
constexpr size_t kCommonWords = 6000;
constexpr uint64_t kCommonWordPercent = 12;

constexpr const char* kPublishers[] = {"scipress", "northfield", "meridian-science", "academia-press"};
constexpr const char* kUniversities[] = {"lakeside", "hollins", "brightwater", "kestrel", "ashgrove"};

uint64_t SquareRoot(uint64_t v) {
  uint64_t r = 0;
  for (uint64_t bit = uint64_t{1} << 62; bit; bit >>= 2) {
    if (v >= r + bit) {
      v -= r + bit;
      r = (r >> 1) + bit;
    } else {
      r >>= 1;
    }
  }
  return r;
}

std::string Capitalised(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

std::string TitleCase(const std::string& text) {
  std::string out = text;
  bool start = true;
  for (char& c : out) {
    if (start && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    start = c == ' ' || c == '-';
  }
  return out;
}

std::string LowerCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The ASCII letters of a name, lower-cased, for a web address ("O'Brien" -> "obrien").
std::string HomeFolder(const std::string& name) {
  std::string out;
  for (char c : name)
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) out += static_cast<char>(c | 0x20);
  return out.empty() ? "staff" : out;
}

std::string Initials(std::string_view name) {
  std::string out;
  bool start = true;
  for (char c : name) {
    if (start && c >= 'A' && c <= 'Z') out += static_cast<char>(c - 'A' + 'a');
    start = c == ' ';
  }
  return out;
}

// Draws ranks 0..size - 1 with Zipf's law: rank r about 1 / (r + 1) as often as rank 0, in whole
// numbers so that every platform draws the same.
class ZipfRanks {
 public:
  explicit ZipfRanks(size_t size) {
    uint64_t total = 0;
    for (size_t r = 0; r < size; ++r) m_cumulative.push_back(total += (uint64_t{1} << 32) / (r + 1));
  }
  size_t Draw(SplitMix64& random) const {
    const uint64_t x = random.Below(m_cumulative.back());
    return static_cast<size_t>(std::upper_bound(m_cumulative.begin(), m_cumulative.end(), x) - m_cumulative.begin());
  }

 private:
  std::vector<uint64_t> m_cumulative;
};

struct Author {
  std::string first;
  std::string last;
};

// What a second listing of a publication repeats.
struct Listing {
  int year = 0;
  size_t topic = 0;
  std::string title;
  std::vector<Author> authors;
  std::vector<uint64_t> cited;  // row numbers
  bool twice = false;           // listed twice already: no work is listed a third time
};

void AppendJsonList(std::string& out, const std::vector<std::string>& items) {
  out += '[';
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += ',';
    AppendJsonString(out, items[i]);
  }
  out += ']';
}

class Generator {
 public:
  Generator(uint64_t count, uint64_t seed, const CorpusOptions& options)
      : m_count(count), m_random(seed), m_topics(CorpusTopics()) {
    if (options.RealisticVocabulary) {
      for (size_t t = 0; t < m_topics.size(); ++t) m_topicWords.push_back(InventedWords(t + 1, kTopicWords));
      m_commonWords = InventedWords(0, kCommonWords);
      m_topicRanks.emplace(kTopicWords);
      m_commonRanks.emplace(kCommonWords);
    }
    const uint64_t perTopic = std::max<uint64_t>(6, count / (m_topics.size() * 16));
    auto firstNames = CorpusFirstNames();
    auto lastNames = CorpusLastNames();
    m_authors.resize(m_topics.size());
    for (auto& pool : m_authors)
      for (uint64_t i = 0; i < perTopic; ++i) {
        Author a;
        a.first = Pick(firstNames);
        a.last = Pick(lastNames);
        pool.push_back(std::move(a));
      }
    m_topicMembers.resize(m_topics.size());
    m_attachment.resize(m_topics.size());
  }

  void Write(std::ostream& out) {
    int64_t id = 1000;
    for (uint64_t i = 0; i < m_count; ++i) {
      id += 1 + static_cast<int64_t>(m_random.Below(40));
      m_ids.push_back(id);
      out << Publication(i) << '\n';
    }
  }

 private:
  std::string Pick(std::span<const std::string_view> words) { return std::string(words[m_random.Below(words.size())]); }

  // The words a title or sentence may use, drawn one after the other: the order in which the
  // operands of one expression are evaluated is not fixed, and the output must not depend on it.
  struct Words {
    std::string s1, s2, q, m1, m2;
    uint64_t n;
  };
  Words Draw(const TopicVocabulary& t) {
    Words w;
    w.s1 = Pick(t.subjects);
    w.s2 = Pick(t.subjects);
    w.q = Pick(t.qualities);
    w.m1 = Pick(t.methods);
    w.m2 = Pick(t.methods);
    w.n = 3 + m_random.Below(400);
    return w;
  }

  // Sentence-case titles of three varying parts or more, so that few titles repeat; `survey` tells
  // whether the title announces a survey.
  std::string Title(const TopicVocabulary& t, bool& survey) {
    const uint64_t form = m_random.Below(14);
    const Words w = Draw(t);
    survey = form == 3 || form == 8;
    switch (form) {
      case 0: return Capitalised(w.q + " " + w.s1 + " with " + w.m1);
      case 1: return Capitalised(w.m1 + " for " + w.s1 + " in " + w.s2);
      case 2: return "On " + w.q + " " + w.s1 + " and " + w.s2;
      case 3: return Capitalised(w.s1) + " and " + w.s2 + ": a survey";
      case 4: return Capitalised(w.q + " approaches to " + w.s1 + " with " + w.m1);
      case 5: return "Towards " + w.q + " " + w.s1 + " via " + w.m1;
      case 6: return Capitalised(w.q + " " + w.s1) + " in " + w.s2 + ": an empirical study";
      case 7: return "Improving " + w.s1 + " using " + w.q + " " + w.m1;
      case 8: return "A review of " + w.m1 + " for " + w.s1 + " and " + w.s2;
      case 9: return Capitalised(w.q + " " + w.m1 + " and their application to " + w.s1);
      case 10: return "Revisiting " + w.q + " " + w.s1 + " with " + w.m1;
      case 11: return "Modelling " + w.s1 + " with " + w.q + " " + w.m1;
      case 12: return "What drives " + w.s1 + "? Evidence from " + std::to_string(w.n) + " cases of " + w.s2;
      default: return "Estimating " + w.s1 + " from " + w.s2 + " with " + w.m1;
    }
  }

  std::string Sentence(const TopicVocabulary& t, int year, uint64_t form) {
    const Words w = Draw(t);
    switch (form) {
      case 0: return Capitalised(w.s1) + " is a central problem in " + std::string(t.field) + ".";
      case 1: return "We propose a method for " + w.s1 + " based on " + w.q + " " + w.m1 + ".";
      case 2:
        return "Existing approaches to " + w.s1 + " rely on " + w.m1 + ", which limits their use for " + w.s2 + ".";
      case 3: return "We study " + w.s1 + " in the setting of " + w.s2 + ".";
      case 4:
        return "Experiments on " + std::to_string(w.n) + " cases show that the proposed method improves " + w.s1 +
               " over strong baselines.";
      case 5: return "Our results suggest that " + w.s1 + " and " + w.s2 + " are closely related.";
      case 6: {
        const int last = (year ? year : 2000) - static_cast<int>(w.n % 3);
        const int first = last - 5 - static_cast<int>(w.n % 20);
        return "The analysis draws on data collected between " + std::to_string(first) + " and " +
               std::to_string(last) + ".";
      }
      case 7:
        return "We further show how " + w.m1 + " can be combined with " + w.m2 + " to obtain " + w.q +
               " estimates of " + w.s1 + ".";
      case 8: return "In contrast to earlier work, our approach is " + w.q + " and requires no " + w.s1 + ".";
      default: return "Finally, we discuss implications for " + w.s1 + " and outline directions for future research.";
    }
  }

  std::string Abstract(const TopicVocabulary& t, int year) {
    if (m_random.Chance(10)) return {};
    const uint64_t sentences = 3 + m_random.Below(5);
    const bool paragraphs = m_random.Chance(20);
    std::string text;
    bool used[kSentenceForms] = {};
    for (uint64_t s = 0; s < sentences; ++s) {
      if (s) text += paragraphs && m_random.Chance(40) ? (m_random.Chance(50) ? "\n" : "\n\n") : " ";
      uint64_t form = m_random.Below(kSentenceForms);
      while (used[form]) form = (form + 1) % kSentenceForms;
      used[form] = true;
      text += Sentence(t, year, form);
    }
    return text;
  }

  // 100 to 250 words in sentences of 8 to 20, most of them the topic's, all drawn by rank.
  std::string RealisticAbstract(size_t topic) {
    if (m_random.Chance(10)) return {};
    const uint64_t words = 100 + m_random.Below(151);
    std::string text;
    uint64_t inSentence = 0, sentenceLength = 0;
    for (uint64_t w = 0; w < words; ++w) {
      if (inSentence == 0) sentenceLength = 8 + m_random.Below(13);
      const std::string& word = m_random.Chance(kCommonWordPercent) ? m_commonWords[m_commonRanks->Draw(m_random)]
                                                                     : m_topicWords[topic][m_topicRanks->Draw(m_random)];
      if (w) text += ' ';
      text += inSentence == 0 ? Capitalised(word) : word;
      if (++inSentence == sentenceLength || w + 1 == words) {
        text += '.';
        inSentence = 0;
      }
    }
    return text;
  }

  // Prolific authors of a topic come first in its pool and are drawn more often.
  std::vector<Author> Authors(size_t topic) {
    uint64_t n = 1 + m_random.Below(4);
    if (m_random.Chance(15)) n += m_random.Below(5);
    if (m_random.Below(200) == 0) n += 10 + m_random.Below(20);
    std::vector<Author> authors;
    std::vector<const Author*> chosen;
    for (uint64_t k = 0; k < n; ++k) {
      const auto& pool = m_authors[m_random.Chance(90) ? topic : m_random.Below(m_authors.size())];
      const Author* a = &pool[m_random.Below(1 + m_random.Below(pool.size()))];
      if (std::find(chosen.begin(), chosen.end(), a) != chosen.end()) continue;
      chosen.push_back(a);
      authors.push_back(*a);
    }
    return authors;
  }

  std::vector<std::string> Keywords(const TopicVocabulary& t) {
    std::vector<std::string> keywords;
    if (m_random.Chance(25)) return keywords;
    const uint64_t n = 1 + m_random.Below(5);
    for (uint64_t k = 0; k < n; ++k) {
      std::string word = m_random.Chance(70) ? Pick(t.subjects) : Pick(t.methods);
      uint64_t style = m_random.Below(100);
      keywords.push_back(style < 50 ? TitleCase(word) : style < 85 ? LowerCase(word) : word);
    }
    return keywords;
  }

  std::vector<std::string> Urls(int64_t id, int year, const std::string& doi, const Author& author) {
    std::vector<std::string> urls;
    uint64_t roll = m_random.Below(100);
    uint64_t n = roll < 35 ? 0 : roll < 70 ? 1 : roll < 90 ? 2 : 3;
    std::string ids = std::to_string(id);
    std::string yymm = std::to_string(10 + (year % 90)) + std::to_string(10 + m_random.Below(3));
    for (uint64_t k = 0; k < n; ++k) {
      switch (m_random.Below(7)) {
        case 0:
          urls.push_back(std::string("https://www.") + kPublishers[m_random.Below(4)] + ".example.com/article/" + ids);
          break;
        case 1:
          urls.push_back(std::string("https://repository.") + kUniversities[m_random.Below(5)] +
                         ".example.edu/bitstream/" + ids + "/paper.pdf");
          break;
        case 2: urls.push_back("http://citeseer.example.org/viewdoc/download?doi=" + ids + "&type=pdf"); break;
        case 3: urls.push_back("https://preprints.example.org/abs/" + yymm + "." + ids); break;
        case 4: urls.push_back("https://preprints.example.org/pdf/" + yymm + "." + ids + ".pdf"); break;
        case 5:
          if (!doi.empty()) {
            urls.push_back("https://doi.org/" + doi);
            break;
          }
          [[fallthrough]];
        default: {
          const std::string university = kUniversities[m_random.Below(5)];
          const char* extension = m_random.Chance(20) ? ".PDF" : ".pdf";
          urls.push_back("http://www." + university + ".example.edu/~" + HomeFolder(author.last) +
                         "/papers/" + ids + extension);
          break;
        }
      }
    }
    return urls;
  }

  // Row numbers of the older publications this one cites; a generic item cites a few at most.
  std::vector<uint64_t> References(uint64_t row, size_t topic, bool survey, bool generic) {
    std::vector<uint64_t> cited;
    if (row == 0) return cited;
    uint64_t wanted = 0;
    if (generic) {
      wanted = m_random.Below(4);
    } else {
      wanted = 2 + m_random.Below(8);
      wanted += m_random.Below(8);
      if (m_random.Chance(25)) wanted += m_random.Below(16);
      if (survey) wanted += 25 + m_random.Below(40);
    }
    wanted = std::min(wanted, row);
    auto add = [&](uint64_t r) {
      if (std::find(cited.begin(), cited.end(), r) == cited.end()) cited.push_back(r);
    };
    if (row > kClassics && m_random.Chance(kClassicChance)) {
      uint64_t roll = m_random.Below(100);
      uint64_t k = 0;
      while (roll >= kClassicWeights[k]) roll -= kClassicWeights[k++];
      add(k);
    }
    // Drawing from a topic's attachment list, where every publication stands once plus once per
    // citation received, favours the already well cited; recent work of the topic and other
    // topics make up the rest.
    for (uint64_t attempt = 0; cited.size() < wanted && attempt < 4 * wanted; ++attempt) {
      uint64_t roll = m_random.Below(100);
      const std::vector<uint32_t>& members = m_topicMembers[topic];
      if (roll < 60 && !m_attachment[topic].empty()) {
        add(m_attachment[topic][m_random.Below(m_attachment[topic].size())]);
      } else if (roll < 85 && !members.empty()) {
        add(members[members.size() - 1 - m_random.Below(std::min<size_t>(members.size(), 200))]);
      } else {
        const auto& other = m_attachment[m_random.Below(m_attachment.size())];
        add(other.empty() ? m_random.Below(row) : other[m_random.Below(other.size())]);
      }
    }
    for (uint64_t r : cited) m_attachment[m_topicOf[r]].push_back(static_cast<uint32_t>(r));
    return cited;
  }

  // A recent publication of this year or the one next to it, to be listed again; none when the
  // one drawn is further apart, either year is unknown or it is listed twice already.
  std::optional<Listing> ListedBefore(int year) {
    if (m_recent.empty()) return std::nullopt;
    Listing& earlier = m_recent[m_recent.size() - 1 - m_random.Below(m_recent.size())];
    if (year == 0 || earlier.year == 0 || std::abs(earlier.year - year) > 1 || earlier.twice) return std::nullopt;
    earlier.twice = true;
    return earlier;
  }

  std::string Publication(uint64_t row) {
    const int64_t id = m_ids[row];
    // Years grow with the row, denser toward the present as publishing grows.
    uint64_t fraction = (row << 32) / std::max<uint64_t>(m_count, 1);
    int year = kFirstYear + static_cast<int>((kYearSpan * SquareRoot(fraction)) >> 16);
    if (row >= kClassics && m_random.Below(100) == 0) year = 0;
    // A work listed a second time keeps its topic, title (at times in title case), authors and
    // references; it gets an ID, venue and citations of its own.
    std::optional<Listing> twice;
    if (row > kClassics && m_random.Below(1000) < kListedTwicePerMille) twice = ListedBefore(year);
    const bool generic = !twice && m_random.Below(1000) < kGenericPerMille;
    const size_t topic = twice ? twice->topic : m_random.Below(m_topics.size());
    const TopicVocabulary& t = m_topics[topic];
    m_topicOf.push_back(static_cast<uint8_t>(topic));

    bool survey = false;
    std::string title;
    if (twice) {
      title = m_random.Chance(30) ? TitleCase(twice->title) : twice->title;
    } else if (generic) {
      title = kGenericTitles[m_random.Below(std::size(kGenericTitles))];
    } else {
      title = Title(t, survey);
    }
    const std::string abstract = generic              ? std::string()
                                 : m_topicRanks ? RealisticAbstract(topic)
                                                : Abstract(t, year);
    const std::vector<Author> authors = twice ? twice->authors : Authors(topic);

    std::string venueKind;
    std::string_view venueName;
    std::string doi;
    if (!m_random.Chance(6)) {
      bool journal = m_random.Chance(55);
      auto names = journal ? t.journals : t.conferences;
      size_t which = m_random.Below(names.size());
      venueKind = journal ? "journal" : "conference";
      venueName = names[which];
      if (m_random.Chance(65)) {
        std::string prefix = std::to_string(1000 + (topic * 131 + which * 37 + (journal ? 0 : 17)) % 9000);
        doi = "10." + prefix + "/" + Initials(venueName) + "." +
              (year ? std::to_string(year) + "." : std::string()) + std::to_string(id % 100000);
      }
    }
    const std::vector<std::string> urls = Urls(id, year, doi, authors.empty() ? Author{"", "x"} : authors[0]);
    const std::vector<std::string> keywords = Keywords(t);
    std::vector<uint64_t> cited;
    if (twice) {
      cited = twice->cited;
      for (uint64_t r : cited) m_attachment[m_topicOf[r]].push_back(static_cast<uint32_t>(r));
    } else {
      cited = References(row, topic, survey, generic);
      std::sort(cited.begin(), cited.end());
    }
    m_topicMembers[topic].push_back(static_cast<uint32_t>(row));
    m_attachment[topic].push_back(static_cast<uint32_t>(row));
    m_recent.push_back({year, topic, title, authors, cited, twice.has_value()});
    if (m_recent.size() > kRecentRows) m_recent.pop_front();

    std::string line = "{\"id\":" + std::to_string(id) + ",\"title\":";
    AppendJsonString(line, title);
    line += ",\"abstract\":";
    AppendJsonString(line, abstract);
    line += ",\"year\":" + std::to_string(year) + ",\"authors\":[";
    for (size_t i = 0; i < authors.size(); ++i) {
      line += i ? ",{\"last\":" : "{\"last\":";
      AppendJsonString(line, authors[i].last);
      line += ",\"first\":";
      AppendJsonString(line, authors[i].first);
      line += '}';
    }
    line += "],\"venue\":";
    if (venueKind.empty()) {
      line += "null";
    } else {
      line += "{\"kind\":\"" + venueKind + "\",\"name\":";
      AppendJsonString(line, venueName);
      line += '}';
    }
    line += ",\"doi\":";
    AppendJsonString(line, doi);
    line += ",\"urls\":";
    AppendJsonList(line, urls);
    line += ",\"keywords\":";
    AppendJsonList(line, keywords);
    line += ",\"references\":[";
    for (size_t i = 0; i < cited.size(); ++i) {
      if (i) line += ',';
      line += std::to_string(m_ids[cited[i]]);
    }
    line += "]}";
    return line;
  }

  uint64_t m_count;
  SplitMix64 m_random;
  std::span<const TopicVocabulary> m_topics;
  std::vector<std::vector<Author>> m_authors;         // pool per topic
  std::vector<std::vector<uint32_t>> m_topicMembers;  // rows per topic, oldest first
  std::vector<std::vector<uint32_t>> m_attachment;    // per topic, see References
  std::vector<uint8_t> m_topicOf;                     // by row
  std::vector<int64_t> m_ids;                         // by row
  std::deque<Listing> m_recent;                       // the latest kRecentRows publications
  // The realistic vocabulary (empty, and no ranks, without it).
  std::vector<std::vector<std::string>> m_topicWords;
  std::vector<std::string> m_commonWords;
  std::optional<ZipfRanks> m_topicRanks;
  std::optional<ZipfRanks> m_commonRanks;
};

}  // namespace

void GenerateCorpus(uint64_t count, uint64_t seed, std::ostream& out, const CorpusOptions& options) {
  Generator(count, seed, options).Write(out);
}

}  // namespace wendrel
