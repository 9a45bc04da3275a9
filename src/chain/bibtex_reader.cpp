// The BibTeX reader behind pearl lists loaded from .bib files.
#include "chain/bibtex_reader.h"

#include <cctype>
#include <string>

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

// The text of a value: grouping braces off, "\{", "\&" and the like as their characters, the
// brace and backslash commands of the exports as theirs.
std::string PlainValue(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '{' || c == '}') continue;
    if (c != '\\' || i + 1 >= value.size()) {
      out += c;
      continue;
    }
    const char next = value[i + 1];
    if (std::string_view("{}&%$#_~^\\\"'").find(next) != std::string_view::npos) {
      out += next;
      ++i;
      continue;
    }
    size_t end = i + 1;
    while (end < value.size() && std::isalpha(static_cast<unsigned char>(value[end]))) ++end;
    const std::string_view command = value.substr(i + 1, end - i - 1);
    if (command == "textbraceleft") out += '{';
    else if (command == "textbraceright") out += '}';
    else if (command == "textbackslash") out += '\\';
    else if (command == "textasciitilde") out += '~';
    else if (command == "textasciicircum") out += '^';
    i = end - 1;
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
    return references;
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
    Word();  // the citation key
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
        r.doi = PlainValue(value);
      } else if (field == "abstract") {
        r.abstract = PlainValue(value);
      } else if (field == "journal" || field == "booktitle") {
        r.source = PlainValue(value);
      } else if (field == "url") {
        r.url = PlainValue(value);
      }
    }
    return r;
  }

  std::string_view m_text;
  size_t m_at = 0;
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
