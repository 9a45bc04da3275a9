// Porter: steps 1a to 5b of the 1980 algorithm with this program's variations: "bli" -> "ble"
// and "logi" -> "log" in step 2, suffixes that never match a whole word, short words untouched,
// "y" after "y" is a vowel.
#include "text/porter.h"

#include <string>

#include "platform/text_encoding.h"

namespace wendrel {

namespace {

constexpr size_t kLongestStemmedWord = 255;

template <class Str>
class Stemmer {
 public:
  using Char = typename Str::value_type;

  static Str Stem(Str word) {
    word = Step1(std::move(word));
    word = Step2(std::move(word));
    word = Step3(std::move(word));
    word = Step4(std::move(word));
    return Step5(std::move(word));
  }

 private:
  struct Rule {
    const char* suffix;
    const char* replacement;
  };

  static bool IsVowelLetter(Char c) { return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u'; }

  static bool IsVowelAt(const Str& w, size_t i) {
    if (IsVowelLetter(w[i])) return true;
    return w[i] == 'y' && i > 0 && !IsVowelLetter(w[i - 1]);
  }

  // m of the form [C](VC)^m[V], over the first `length` characters.
  static int Measure(const Str& w, size_t length) {
    int m = 0;
    bool vowelSeen = false;
    for (size_t i = 0; i < length; ++i) {
      if (IsVowelAt(w, i)) {
        vowelSeen = true;
      } else if (vowelSeen) {
        ++m;
        vowelSeen = false;
      }
    }
    return m;
  }

  static bool ContainsVowel(const Str& w, size_t length) {
    for (size_t i = 0; i < length; ++i)
      if (IsVowelAt(w, i)) return true;
    return false;
  }

  static size_t Length(const char* s) { return std::char_traits<char>::length(s); }

  // Strictly shorter than the word and equal to its end.
  static bool EndsWithSuffix(const Str& w, const char* s) {
    size_t n = Length(s);
    if (n >= w.size()) return false;
    size_t start = w.size() - n;
    for (size_t i = 0; i < n; ++i)
      if (w[start + i] != static_cast<Char>(static_cast<unsigned char>(s[i]))) return false;
    return true;
  }

  static bool DoubleConsonant(const Str& w) {
    size_t n = w.size();
    if (n < 2 || w[n - 1] != w[n - 2]) return false;
    Char c = w[n - 1];
    if (IsVowelLetter(c)) return false;
    if (c == 'y') return n == 2 || IsVowelLetter(w[n - 3]);
    return true;
  }

  // Consonant-vowel-consonant at the end of the first `length` characters, the last not w, x, y.
  static bool EndsCvc(const Str& w, size_t length) {
    if (length < 3) return false;
    Char last = w[length - 1];
    if (last == 'w' || last == 'x' || last == 'y') return false;
    return !IsVowelAt(w, length - 3) && IsVowelAt(w, length - 2) && !IsVowelAt(w, length - 1);
  }

  static void Replace(Str& w, const char* suffix, const char* replacement) {
    w.resize(w.size() - Length(suffix));
    for (const char* p = replacement; *p; ++p) w.push_back(static_cast<Char>(static_cast<unsigned char>(*p)));
  }

  // The first rule whose suffix matches is the only one considered.
  template <size_t N>
  static Str ApplyRules(Str w, const Rule (&rules)[N], int minimumMeasure) {
    for (const Rule& rule : rules) {
      if (!EndsWithSuffix(w, rule.suffix)) continue;
      size_t stem = w.size() - Length(rule.suffix);
      if (Measure(w, stem) > minimumMeasure) Replace(w, rule.suffix, rule.replacement);
      return w;
    }
    return w;
  }

  static Str Step1(Str w) {
    static constexpr Rule kStep1a[] = {{"sses", "ss"}, {"ies", "i"}, {"ss", "ss"}, {"s", ""}};
    for (const Rule& rule : kStep1a) {
      if (EndsWithSuffix(w, rule.suffix)) {
        Replace(w, rule.suffix, rule.replacement);
        break;
      }
    }

    bool fired = false;
    if (EndsWithSuffix(w, "eed")) {
      if (Measure(w, w.size() - 3) > 0) Replace(w, "eed", "ee");
    } else if (EndsWithSuffix(w, "ed")) {
      if (ContainsVowel(w, w.size() - 2)) {
        w.resize(w.size() - 2);
        fired = true;
      }
    } else if (EndsWithSuffix(w, "ing")) {
      if (ContainsVowel(w, w.size() - 3)) {
        w.resize(w.size() - 3);
        fired = true;
      }
    }
    if (fired) {
      if (EndsWithSuffix(w, "at")) {
        Replace(w, "at", "ate");
      } else if (EndsWithSuffix(w, "bl")) {
        Replace(w, "bl", "ble");
      } else if (EndsWithSuffix(w, "iz")) {
        Replace(w, "iz", "ize");
      } else if (DoubleConsonant(w)) {
        Char last = w.back();
        if (last != 'l' && last != 's' && last != 'z') w.pop_back();
      } else if (Measure(w, w.size()) == 1 && EndsCvc(w, w.size())) {
        w.push_back(static_cast<Char>('e'));
      }
    }

    if (EndsWithSuffix(w, "y") && ContainsVowel(w, w.size() - 1)) w.back() = static_cast<Char>('i');
    return w;
  }

  static Str Step2(Str w) {
    static constexpr Rule kRules[] = {
        {"ational", "ate"}, {"tional", "tion"}, {"enci", "ence"},  {"anci", "ance"},  {"izer", "ize"},
        {"bli", "ble"},     {"alli", "al"},     {"entli", "ent"},  {"eli", "e"},      {"ousli", "ous"},
        {"ization", "ize"}, {"ation", "ate"},   {"ator", "ate"},   {"alism", "al"},   {"iveness", "ive"},
        {"fulness", "ful"}, {"ousness", "ous"}, {"aliti", "al"},   {"iviti", "ive"},  {"biliti", "ble"},
        {"logi", "log"}};
    return ApplyRules(std::move(w), kRules, 0);
  }

  static Str Step3(Str w) {
    static constexpr Rule kRules[] = {{"icate", "ic"}, {"ative", ""}, {"alize", "al"}, {"iciti", "ic"},
                                      {"ical", "ic"},  {"ful", ""},   {"ness", ""}};
    return ApplyRules(std::move(w), kRules, 0);
  }

  static Str Step4(Str w) {
    static constexpr const char* kSuffixes[] = {"al",  "ance", "ence", "er",  "ic",  "able", "ible",
                                                "ant", "ement", "ment", "ent", "ion", "ou",  "ism",
                                                "ate", "iti",  "ous",  "ive", "ize"};
    for (const char* suffix : kSuffixes) {
      if (!EndsWithSuffix(w, suffix)) continue;
      size_t stem = w.size() - Length(suffix);
      bool ionStem = std::string_view(suffix) != "ion" || w[stem - 1] == 's' || w[stem - 1] == 't';
      if (ionStem && Measure(w, stem) > 1) w.resize(stem);
      return w;
    }
    return w;
  }

  static Str Step5(Str w) {
    if (EndsWithSuffix(w, "e")) {
      size_t stem = w.size() - 1;
      int m = Measure(w, stem);
      if (m >= 2 || (m == 1 && !EndsCvc(w, stem))) w.pop_back();
    }
    if (Measure(w, w.size()) > 1 && DoubleConsonant(w) && w.back() == 'l') w.pop_back();
    return w;
  }
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
    return Stemmer<std::string>::Stem(std::string(word));
  }
  // Each character, not each byte, is classified, so non-ASCII words are stemmed as code points.
  std::u32string wide = DecodeUtf8(word);
  if (CodePointCount(word.substr(first == std::string_view::npos ? 0 : first, trimmed)) <= 2 ||
      wide.size() > kLongestStemmedWord)
    return std::string(word);
  return EncodeUtf8(Stemmer<std::u32string>::Stem(std::move(wide)));
}

}  // namespace wendrel
