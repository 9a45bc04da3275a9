// Porter: steps 1a to 5b of the 1980 algorithm with this program's variations: "bli" -> "ble"
// and "logi" -> "log" in step 2, suffixes that never match a whole word, short words untouched,
// "y" after "y" is a vowel.
//
// The word is stemmed in place in a fixed buffer; the suffix rules of steps 2 to 4 are looked up
// by the word's last but one letter, which every suffix of a group shares, in the order of their
// lists, so the first rule that matches is the same as in a walk through the whole list.
#include "text/porter.h"

#include <array>
#include <string>
#include <vector>

#include "platform/text_encoding.h"

namespace wendrel {

namespace {

constexpr size_t kLongestStemmedWord = 255;

struct Rule {
  std::string_view suffix;
  std::string_view replacement;
};

// Rules grouped by the last but one letter of their suffix, each group in list order.
class RuleIndex {
 public:
  template <size_t N>
  explicit RuleIndex(const Rule (&rules)[N]) {
    for (const Rule& rule : rules) m_groups[Group(rule.suffix[rule.suffix.size() - 2])].push_back(rule);
  }
  // The rules whose suffix could end a word whose last but one character is c.
  template <class Char>
  const std::vector<Rule>& For(Char c) const {
    return c >= 'a' && c <= 'z' ? m_groups[Group(static_cast<char>(c))] : m_groups[26];
  }

 private:
  static size_t Group(char c) { return static_cast<size_t>(c - 'a'); }
  std::array<std::vector<Rule>, 27> m_groups;  // the last one stays empty
};

constexpr Rule kStep2[] = {
    {"ational", "ate"}, {"tional", "tion"}, {"enci", "ence"},  {"anci", "ance"},  {"izer", "ize"},
    {"bli", "ble"},     {"alli", "al"},     {"entli", "ent"},  {"eli", "e"},      {"ousli", "ous"},
    {"ization", "ize"}, {"ation", "ate"},   {"ator", "ate"},   {"alism", "al"},   {"iveness", "ive"},
    {"fulness", "ful"}, {"ousness", "ous"}, {"aliti", "al"},   {"iviti", "ive"},  {"biliti", "ble"},
    {"logi", "log"}};
constexpr Rule kStep3[] = {{"icate", "ic"}, {"ative", ""}, {"alize", "al"}, {"iciti", "ic"},
                           {"ical", "ic"},  {"ful", ""},   {"ness", ""}};
constexpr Rule kStep4[] = {{"al", ""},  {"ance", ""}, {"ence", ""}, {"er", ""},    {"ic", ""},   {"able", ""}, {"ible", ""},
                           {"ant", ""}, {"ement", ""}, {"ment", ""}, {"ent", ""},  {"ion", ""},  {"ou", ""},   {"ism", ""},
                           {"ate", ""}, {"iti", ""},  {"ous", ""},  {"ive", ""},   {"ize", ""}};

const RuleIndex& Step2Rules() {
  static const RuleIndex index(kStep2);
  return index;
}
const RuleIndex& Step3Rules() {
  static const RuleIndex index(kStep3);
  return index;
}
const RuleIndex& Step4Rules() {
  static const RuleIndex index(kStep4);
  return index;
}

template <class Char>
class Stemmer {
 public:
  // The word must hold at most kLongestStemmedWord characters.
  Stemmer(const Char* word, size_t length) : m_length(length) {
    for (size_t i = 0; i < length; ++i) m_word[i] = word[i];
  }

  void Stem() {
    Step1();
    Step2();
    Step3();
    Step4();
    Step5();
  }

  const Char* Data() const { return m_word.data(); }
  size_t Length() const { return m_length; }

 private:
  static bool IsVowelLetter(Char c) { return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u'; }

  bool IsVowelAt(size_t i) const {
    if (IsVowelLetter(m_word[i])) return true;
    return m_word[i] == 'y' && i > 0 && !IsVowelLetter(m_word[i - 1]);
  }

  // m of the form [C](VC)^m[V], over the first `length` characters.
  int Measure(size_t length) const {
    int m = 0;
    bool vowelSeen = false;
    for (size_t i = 0; i < length; ++i) {
      if (IsVowelAt(i)) {
        vowelSeen = true;
      } else if (vowelSeen) {
        ++m;
        vowelSeen = false;
      }
    }
    return m;
  }

  bool ContainsVowel(size_t length) const {
    for (size_t i = 0; i < length; ++i)
      if (IsVowelAt(i)) return true;
    return false;
  }

  // Strictly shorter than the word and equal to its end.
  bool EndsWith(std::string_view suffix) const {
    size_t n = suffix.size();
    if (n >= m_length) return false;
    const Char* end = m_word.data() + (m_length - n);
    for (size_t i = 0; i < n; ++i)
      if (end[i] != static_cast<Char>(static_cast<unsigned char>(suffix[i]))) return false;
    return true;
  }

  bool DoubleConsonant() const {
    size_t n = m_length;
    if (n < 2 || m_word[n - 1] != m_word[n - 2]) return false;
    Char c = m_word[n - 1];
    if (IsVowelLetter(c)) return false;
    if (c == 'y') return n == 2 || IsVowelLetter(m_word[n - 3]);
    return true;
  }

  // Consonant-vowel-consonant at the end of the first `length` characters, the last not w, x, y.
  bool EndsCvc(size_t length) const {
    if (length < 3) return false;
    Char last = m_word[length - 1];
    if (last == 'w' || last == 'x' || last == 'y') return false;
    return !IsVowelAt(length - 3) && IsVowelAt(length - 2) && !IsVowelAt(length - 1);
  }

  void Replace(size_t suffixLength, std::string_view replacement) {
    m_length -= suffixLength;
    for (char c : replacement) m_word[m_length++] = static_cast<Char>(static_cast<unsigned char>(c));
  }

  // The first rule whose suffix matches is the only one considered.
  void ApplyRules(const RuleIndex& index, int minimumMeasure) {
    if (m_length < 2) return;
    for (const Rule& rule : index.For(m_word[m_length - 2])) {
      if (!EndsWith(rule.suffix)) continue;
      if (Measure(m_length - rule.suffix.size()) > minimumMeasure) Replace(rule.suffix.size(), rule.replacement);
      return;
    }
  }

  void Step1() {
    if (m_length > 1 && m_word[m_length - 1] == 's') {
      if (EndsWith("sses")) {
        Replace(4, "ss");
      } else if (EndsWith("ies")) {
        Replace(3, "i");
      } else if (!EndsWith("ss")) {
        --m_length;
      }
    }

    bool fired = false;
    if (EndsWith("eed")) {
      if (Measure(m_length - 3) > 0) Replace(3, "ee");
    } else if (EndsWith("ed")) {
      if (ContainsVowel(m_length - 2)) {
        m_length -= 2;
        fired = true;
      }
    } else if (EndsWith("ing")) {
      if (ContainsVowel(m_length - 3)) {
        m_length -= 3;
        fired = true;
      }
    }
    if (fired) {
      if (EndsWith("at")) {
        Replace(2, "ate");
      } else if (EndsWith("bl")) {
        Replace(2, "ble");
      } else if (EndsWith("iz")) {
        Replace(2, "ize");
      } else if (DoubleConsonant()) {
        Char last = m_word[m_length - 1];
        if (last != 'l' && last != 's' && last != 'z') --m_length;
      } else if (Measure(m_length) == 1 && EndsCvc(m_length)) {
        m_word[m_length++] = static_cast<Char>('e');
      }
    }

    if (EndsWith("y") && ContainsVowel(m_length - 1)) m_word[m_length - 1] = static_cast<Char>('i');
  }

  void Step2() { ApplyRules(Step2Rules(), 0); }
  void Step3() { ApplyRules(Step3Rules(), 0); }

  void Step4() {
    if (m_length < 2) return;
    for (const Rule& rule : Step4Rules().For(m_word[m_length - 2])) {
      if (!EndsWith(rule.suffix)) continue;
      size_t stem = m_length - rule.suffix.size();
      bool ionStem = rule.suffix != "ion" || m_word[stem - 1] == 's' || m_word[stem - 1] == 't';
      if (ionStem && Measure(stem) > 1) m_length = stem;
      return;
    }
  }

  void Step5() {
    if (EndsWith("e")) {
      size_t stem = m_length - 1;
      int m = Measure(stem);
      if (m >= 2 || (m == 1 && !EndsCvc(stem))) --m_length;
    }
    if (m_length > 0 && m_word[m_length - 1] == 'l' && DoubleConsonant() && Measure(m_length) > 1) --m_length;
  }

  // Step 1b may add one character to a word of the longest length.
  std::array<Char, kLongestStemmedWord + 1> m_word;
  size_t m_length;
};

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

std::string PorterStem(std::string_view word) {
  size_t first = word.find_first_not_of(' ');
  size_t trimmed = first == std::string_view::npos ? 0 : word.find_last_not_of(' ') - first + 1;
  if (IsAscii(word)) {
    if (trimmed <= 2 || word.size() > kLongestStemmedWord) return std::string(word);
    Stemmer<char> stemmer(word.data(), word.size());
    stemmer.Stem();
    return std::string(stemmer.Data(), stemmer.Length());
  }
  // Each character, not each byte, is classified, so non-ASCII words are stemmed as code points.
  std::u32string wide = DecodeUtf8(word);
  if (CodePointCount(word.substr(first == std::string_view::npos ? 0 : first, trimmed)) <= 2 ||
      wide.size() > kLongestStemmedWord)
    return std::string(word);
  Stemmer<char32_t> stemmer(wide.data(), wide.size());
  stemmer.Stem();
  return EncodeUtf8(std::u32string(stemmer.Data(), stemmer.Length()));
}

}  // namespace wendrel
