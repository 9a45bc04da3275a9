// The BibTeX reader behind pearl lists loaded from .bib files.
#include "chain/bibtex_reader.h"

#include <cctype>
#include <string>
#include <unordered_map>
#include <utility>

#include "chain/identifier_list.h"
#include "platform/text_encoding.h"

namespace wendrel {

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Collapsed(std::string_view text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// LaTeX's accents: the command, the letters it has a composed form for, and those forms; any other
// letter takes the combining mark.
struct Accent {
  std::string_view command;
  std::string_view bases;
  std::u32string_view composed;
  char32_t combining;
};
constexpr Accent kAccents[] = {
    {"'", "AEIOUYaeiouyCcNnSsZzLlRr", U"ÁÉÍÓÚÝáéíóúýĆćŃńŚśŹźĹĺŔŕ", U'\u0301'},
    {"`", "AEIOUaeiou", U"ÀÈÌÒÙàèìòù", U'\u0300'},
    {"^", "AEIOUaeiouCcGgSsJjHhWwYy", U"ÂÊÎÔÛâêîôûĈĉĜĝŜŝĴĵĤĥŴŵŶŷ", U'\u0302'},
    {"\"", "AEIOUYaeiouy", U"ÄËÏÖÜŸäëïöüÿ", U'\u0308'},
    {"~", "ANOanoIiUu", U"ÃÑÕãñõĨĩŨũ", U'\u0303'},
    {"=", "AEIOUaeiou", U"ĀĒĪŌŪāēīōū", U'\u0304'},
    {".", "ZzEeCcGgI", U"ŻżĖėĊċĠġİ", U'\u0307'},
    {"v", "CcSsZzEeNnRrDdTt", U"ČčŠšŽžĚěŇňŘřĎďŤť", U'\u030C'},
    {"c", "CcSsTtGgKkLlNnRr", U"ÇçŞşŢţĢģĶķĻļŅņŖŗ", U'\u0327'},
    {"u", "AaGgUu", U"ĂăĞğŬŭ", U'\u0306'},
    {"H", "OoUu", U"ŐőŰű", U'\u030B'},
    {"k", "AaEeIiUu", U"ĄąĘęĮįŲų", U'\u0328'},
    {"r", "AaUu", U"ÅåŮů", U'\u030A'},
};

// LaTeX's letters and the text commands of the exports.
constexpr std::pair<std::string_view, std::string_view> kLetters[] = {
    {"o", "ø"}, {"O", "Ø"}, {"ss", "ß"}, {"ae", "æ"}, {"AE", "Æ"}, {"aa", "å"}, {"AA", "Å"}, {"l", "ł"}, {"L", "Ł"},
    {"oe", "œ"}, {"OE", "Œ"}, {"i", "ı"}, {"j", "ȷ"}, {"textbraceleft", "{"}, {"textbraceright", "}"},
    {"textbackslash", "\\"}, {"textasciitilde", "~"}, {"textasciicircum", "^"}, {"textendash", "–"},
    {"textemdash", "—"}};

const Accent* FindAccent(std::string_view command) {
  for (const Accent& accent : kAccents)
    if (accent.command == command) return &accent;
  return nullptr;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The letter an accent applies to, from `at`: "e", "{e}", "\i", "{\i}" (blanks before it
// skipped); `at` moves past it. 0 when there is none.
char AccentedLetter(std::string_view value, size_t& at) {
  size_t i = at;
  while (i < value.size() && value[i] == ' ') ++i;
  const bool braced = i < value.size() && value[i] == '{';
  if (braced) ++i;
  char letter = 0;
  if (i + 1 < value.size() && value[i] == '\\' && (value[i + 1] == 'i' || value[i + 1] == 'j') &&
      (i + 2 >= value.size() || !IsAsciiLetter(value[i + 2]))) {
    letter = value[i + 1];
    i += 2;
  } else if (i < value.size() && IsAsciiLetter(value[i])) {
    letter = value[i++];
  }
  if (letter == 0) return 0;
  if (braced && i < value.size() && value[i] == '}') ++i;
  at = i;
  return letter;
}

void AppendAccented(std::string& out, const Accent& accent, char letter) {
  const size_t k = accent.bases.find(letter);
  if (k != std::string_view::npos) {
    AppendUtf8(out, accent.composed[k]);
  } else {
    out += letter;
    AppendUtf8(out, accent.combining);
  }
}

// The text of a value: grouping braces off, "\{", "\&" and the like as their characters. With
// `latex` (titles, names, venues, abstracts, not DOIs and addresses) LaTeX's accents ("{\'e}",
// "\'{e}", "{\v c}"), letters ("\o", "\ss"), ties and dashes become the UTF-8 characters they
// stand for, so that "P{\'e}rez" is looked up as "Pérez".
std::string PlainValue(std::string_view value, bool latex = true) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '{' || c == '}') continue;
    if (latex && c == '~') {
      out += ' ';
      continue;
    }
    if (latex && c == '-' && i + 1 < value.size() && value[i + 1] == '-') {
      const bool em = i + 2 < value.size() && value[i + 2] == '-';
      out += em ? "—" : "–";
      i += em ? 2 : 1;
      continue;
    }
    if (c != '\\' || i + 1 >= value.size()) {
      out += c;
      continue;
    }
    const char next = value[i + 1];
    size_t end = i + 1;
    while (end < value.size() && IsAsciiLetter(value[end])) ++end;
    const std::string_view command = end > i + 1 ? value.substr(i + 1, end - i - 1) : value.substr(i + 1, 1);
    if (const Accent* accent = latex ? FindAccent(command) : nullptr) {
      size_t at = i + 1 + command.size();
      if (const char letter = AccentedLetter(value, at)) {
        AppendAccented(out, *accent, letter);
        i = at - 1;
        continue;
      }
    }
    if (std::string_view("{}&%$#_~^\\\"'").find(next) != std::string_view::npos) {
      out += next;
      ++i;
      continue;
    }
    bool known = false;
    for (const auto& [name, text] : kLetters) {
      if (name != command || (!latex && name.size() <= 2)) continue;
      out += text;
      known = true;
    }
    i = end - 1;
    // A control word swallows the blanks after it ("\o rsted").
    if (known && IsAsciiLetter(next)) {
      while (i + 1 < value.size() && value[i + 1] == ' ') ++i;
    }
  }
  return Collapsed(out);
}

// "First Last" or "Last, First" as "Last, First".
std::string LastNameFirst(const std::string& name) {
  if (name.find(',') != std::string::npos || name.find(' ') == std::string::npos) return name;
  const size_t blank = name.rfind(' ');
  return name.substr(blank + 1) + ", " + name.substr(0, blank);
}

// One name of an author field; a name in braces of its own ("{Babbage and Sons}") stays as it is.
std::string PersonName(const std::string& raw) {
  const std::string name = Collapsed(raw);
  bool oneGroup = name.size() >= 2 && name.front() == '{' && name.back() == '}';
  for (size_t i = 1, depth = 1; oneGroup && i + 1 < name.size(); ++i) {
    if (name[i] == '{') ++depth;
    if (name[i] == '}' && --depth == 0) oneGroup = false;
  }
  return oneGroup ? PlainValue(name) : LastNameFirst(PlainValue(name));
}

std::vector<std::string> Authors(const std::string& value) {
  std::vector<std::string> authors;
  // " and " between names, only at the outermost level of braces.
  std::string current;
  int depth = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '{') ++depth;
    if (c == '}') --depth;
    if (depth == 0 && value.compare(i, 5, " and ") == 0) {
      authors.push_back(PersonName(current));
      current.clear();
      i += 4;
      continue;
    }
    current += c;
  }
  if (!PlainValue(current).empty()) authors.push_back(PersonName(current));
  return authors;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : m_text(text) {}

  std::vector<RisReference> Entries() {
    std::vector<RisReference> references;
    for (m_at = m_text.find('@'); m_at != std::string_view::npos; m_at = m_text.find('@', m_at)) {
      ++m_at;
      const std::string type = Lower(Word());
      SkipBlanks();
      if (m_at >= m_text.size() || (m_text[m_at] != '{' && m_text[m_at] != '(')) continue;
      ++m_at;
      if (type == "comment" || type == "preamble" || type == "string" || type.empty()) {
        SkipGroup();
        continue;
      }
      references.push_back(Entry());
    }
    // An entry other entries name in their crossref field (the @proceedings of the papers in it)
    // is their container, not a reference of its own: it lends them its venue and year and is
    // left out.
    std::unordered_map<std::string, size_t> byKey;
    for (size_t k = 0; k < m_keys.size(); ++k) byKey.emplace(Lower(m_keys[k]), k);
    std::vector<bool> parent(references.size(), false);
    for (size_t k = 0; k < references.size(); ++k) {
      const auto found = byKey.find(Lower(m_crossrefs[k]));
      if (m_crossrefs[k].empty() || found == byKey.end() || found->second == k) continue;
      parent[found->second] = true;
      const RisReference& from = references[found->second];
      RisReference& r = references[k];
      if (r.source.empty()) r.source = from.title.empty() ? from.source : from.title;
      if (r.year.empty()) r.year = from.year;
    }
    std::vector<RisReference> articles;
    for (size_t k = 0; k < references.size(); ++k)
      if (!parent[k]) articles.push_back(std::move(references[k]));
    return articles;
  }

 private:
  void SkipBlanks() {
    while (m_at < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_at]))) ++m_at;
  }
  std::string_view Word() {
    SkipBlanks();
    const size_t from = m_at;
    while (m_at < m_text.size() && (std::isalnum(static_cast<unsigned char>(m_text[m_at])) ||
                                    std::string_view("_-:.+/").find(m_text[m_at]) != std::string_view::npos)) {
      ++m_at;
    }
    return m_text.substr(from, m_at - from);
  }
  // From just inside an opening brace to just after its closing one.
  std::string_view SkipGroup() {
    const size_t from = m_at;
    for (int depth = 1; m_at < m_text.size(); ++m_at) {
      if (m_text[m_at] == '{') ++depth;
      if (m_text[m_at] == '}' && --depth == 0) return m_text.substr(from, m_at++ - from);
    }
    return m_text.substr(from);
  }
  std::string Value() {
    SkipBlanks();
    std::string value;
    while (m_at < m_text.size()) {
      const char c = m_text[m_at];
      if (c == '{') {
        ++m_at;
        value += SkipGroup();
      } else if (c == '"') {
        size_t end = ++m_at;
        for (int depth = 0; end < m_text.size() && (depth > 0 || m_text[end] != '"'); ++end) {
          if (m_text[end] == '{') ++depth;
          if (m_text[end] == '}') --depth;
        }
        value += m_text.substr(m_at, end - m_at);
        m_at = end < m_text.size() ? end + 1 : end;
      } else {
        value += Word();  // a number or a macro name
      }
      SkipBlanks();
      if (m_at < m_text.size() && m_text[m_at] == '#') {  // concatenation
        ++m_at;
        SkipBlanks();
        continue;
      }
      break;
    }
    return value;
  }
  RisReference Entry() {
    RisReference r;
    m_keys.emplace_back(Word());
    m_crossrefs.emplace_back();
    while (m_at < m_text.size()) {
      SkipBlanks();
      if (m_at < m_text.size() && m_text[m_at] == ',') ++m_at;
      SkipBlanks();
      if (m_at >= m_text.size() || m_text[m_at] == '}' || m_text[m_at] == ')') {
        ++m_at;
        break;
      }
      const std::string field = Lower(Word());
      SkipBlanks();
      if (field.empty() || m_at >= m_text.size() || m_text[m_at] != '=') {
        ++m_at;  // not a field: step over what is there
        continue;
      }
      ++m_at;
      const std::string value = DecodeLegacyText(Value());
      if (field == "author") {
        std::vector<std::string> authors = Authors(value);
        if (!authors.empty()) {
          r.firstAuthor = authors.front();
          r.coAuthors.assign(authors.begin() + 1, authors.end());
        }
      } else if (field == "title") {
        r.title = PlainValue(value);
      } else if (field == "year") {
        r.year = PlainValue(value);
      } else if (field == "doi") {
        r.doi = PlainValue(value, false);
      } else if (field == "abstract") {
        r.abstract = PlainValue(value);
      } else if (field == "journal" || field == "booktitle") {
        r.source = PlainValue(value);
      } else if (field == "url") {
        r.url = PlainValue(value, false);
      } else if (field == "crossref") {
        m_crossrefs.back() = PlainValue(value, false);
      }
    }
    return r;
  }

  std::string_view m_text;
  size_t m_at = 0;
  std::vector<std::string> m_keys;       // each entry's citation key
  std::vector<std::string> m_crossrefs;  // the key each entry's crossref field names, if any
};

}  // namespace

std::vector<RisReference> ReadBibTeXReferences(std::string_view text) { return Parser(text).Entries(); }

bool IsBibTeXFileName(std::string_view fileName) {
  return fileName.size() >= 4 && Lower(fileName.substr(fileName.size() - 4)) == ".bib";
}

std::vector<RisReference> ReadPearlListReferences(std::string_view fileName, std::string_view bytes) {
  if (IsBibTeXFileName(fileName)) return ReadBibTeXReferences(bytes);
  if (IsIdentifierList(bytes)) return ReadIdentifierList(bytes);
  return ReadRisReferences(bytes);
}

std::string PearlListProblem(std::string_view fileName, std::string_view bytes) {
  if (!IsBibTeXFileName(fileName)) return IsIdentifierList(bytes) ? "" : NoRisRecordsReason(bytes);
  return ReadBibTeXReferences(bytes).empty() ? "it holds no BibTeX entry" : "";
}

}  // namespace wendrel
