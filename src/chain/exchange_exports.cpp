// Standard RIS, BibTeX, CSL-JSON and CSV exports of the chain's lists, with every author, the
// keywords, each article's pearl relations and its screening.
#include "chain/exchange_exports.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <vector>

#include "chain/chain_file_io.h"
#include "chain/citation_chain.h"
#include "platform/csv_field.h"
#include "platform/text_encoding.h"

namespace wendrel {

namespace {

struct Person {
  std::string family;
  std::string given;
};

// One article of an export, with its relations resolved to the pearls' IDs.
struct ExchangeArticle {
  CCRecord record;
  std::vector<Person> authors;
  std::vector<std::string> keywords;
  std::vector<std::string> citedByPearls;  // IDs of the pearls that cite it
  std::vector<std::string> citesPearls;    // IDs of the pearls it cites
  std::string lists;                       // "Pearl", "Cited", "Citing", joined by "; "
  Screening screening;
};

// Authors are stored as "Last, First" (the first) and "Last, First, " repeated (the others).
std::vector<Person> Authors(const CCRecord& r) {
  std::vector<std::string> parts;
  auto split = [&parts](std::string_view text) {
    for (size_t at = 0; at < text.size();) {
      size_t comma = text.find(", ", at);
      parts.emplace_back(Trimmed(text.substr(at, comma == std::string_view::npos ? comma : comma - at)));
      at = comma == std::string_view::npos ? text.size() : comma + 2;
    }
  };
  std::vector<Person> people;
  auto take = [&]() {
    for (size_t k = 0; k < parts.size(); k += 2) {
      Person p{parts[k], k + 1 < parts.size() ? parts[k + 1] : ""};
      if (p.given.size() >= 1 && p.given.back() == ',') p.given.pop_back();
      if (!p.family.empty() || !p.given.empty()) people.push_back(std::move(p));
    }
    parts.clear();
  };
  // The first author alone, so that a first author without a given name cannot shift the pairs.
  split(r.FirstAuthor);
  if (parts.size() > 2) {
    std::string given;
    for (size_t k = 1; k < parts.size(); ++k) given += (k > 1 ? ", " : "") + parts[k];
    parts.resize(1);
    parts.push_back(given);
  }
  take();
  split(r.CoAuthors);
  take();
  return people;
}

std::vector<std::string> Keywords(const std::string& keywords) {
  std::vector<std::string> found;
  for (size_t at = 0; at < keywords.size();) {
    size_t comma = keywords.find(',', at);
    std::string k = Trimmed(std::string_view(keywords).substr(at, comma == std::string::npos ? comma : comma - at));
    if (!k.empty()) found.push_back(std::move(k));
    at = comma == std::string::npos ? keywords.size() : comma + 1;
  }
  return found;
}

// The pearls' IDs named by a relation list.
std::vector<std::string> PearlIDs(const MASCitationChain& chain, const std::string& relations) {
  std::vector<std::string> ids;
  for (int32_t pearl : RelationPearls(relations)) ids.push_back(chain.GetRecord(pearl).PK);
  return ids;
}

// The article of `record`, with the relations and lists of `held`, the chain's record of it, and
// its screening.
ExchangeArticle Article(const MASCitationChain& chain, const CCRecord& record, const CCRecord& held,
                        const Screening& screening) {
  ExchangeArticle a;
  a.record = record;
  a.screening = screening;
  // The counts go with the relations: both are the chain's.
  a.record.CitedByPearls = held.CitedByPearls;
  a.record.CitesPearls = held.CitesPearls;
  a.authors = Authors(record);
  a.keywords = Keywords(record.Keywords);
  a.citedByPearls = PearlIDs(chain, held.CitedPearlList);
  a.citesPearls = PearlIDs(chain, held.CitingPearlList);
  for (auto [on, name] : {std::pair{held.IsPearl, "Pearl"}, {held.IsCited, "Cited"}, {held.IsCiting, "Citing"}}) {
    if (on) a.lists += std::string(a.lists.empty() ? "" : "; ") + name;
  }
  return a;
}

bool Chosen(const Screening& screening, std::optional<Verdict> decision) {
  return !decision || screening.verdict == *decision;
}

std::vector<ExchangeArticle> Articles(const MASCitationChain& chain, ExchangeList list, std::optional<Verdict> decision) {
  const ScreeningBook& book = chain.Screenings();
  std::vector<int32_t> members;
  std::vector<bool> taken(static_cast<size_t>(chain.Count()) + 1, false);
  auto add = [&](int32_t i) {
    if (!taken[static_cast<size_t>(i)] && Chosen(book.Of(i), decision)) members.push_back(i);
    taken[static_cast<size_t>(i)] = true;
  };
  // The new articles are those of the three lists that first appeared in the latest run.
  const bool onlyNew = list == ExchangeList::New;
  if (list == ExchangeList::Pearls || list == ExchangeList::All || onlyNew) {
    for (int32_t i : chain.PearlOrder())
      if (!onlyNew || book.IsNew(i)) add(i);
  }
  if (list != ExchangeList::Pearls) {
    for (int32_t i = 1; i <= chain.Count(); ++i) {
      const CCRecord r = chain.GetRecord(i);
      if (r.Suppressed) continue;
      const bool on = list == ExchangeList::Cited    ? r.IsCited
                      : list == ExchangeList::Citing ? r.IsCiting
                                                     : r.IsCited || r.IsCiting;
      if (on && !(list == ExchangeList::Candidates && r.IsPearl) && (!onlyNew || book.IsNew(i))) add(i);
    }
  }
  if (list == ExchangeList::Candidates) {
    std::vector<std::pair<std::pair<int, int>, int32_t>> keyed;
    for (int32_t i : members) {
      const CCRecord r = chain.GetRecord(i);
      keyed.push_back({{r.CitedByPearls + r.CitesPearls, r.CitationCount}, i});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (size_t k = 0; k < keyed.size(); ++k) members[k] = keyed[k].second;
  }
  std::vector<ExchangeArticle> articles;
  for (int32_t i : members) articles.push_back(Article(chain, chain.GetRecord(i), chain.GetRecord(i), book.Of(i)));
  return articles;
}

// Search results in the order given; an article the chain holds (and has not deleted) carries the
// chain's relations, lists and screening, with the metadata the search gave.
std::vector<ExchangeArticle> Articles(const MASCitationChain& chain, const std::vector<CCRecord>& records,
                                      std::optional<Verdict> decision) {
  std::vector<ExchangeArticle> articles;
  for (const CCRecord& record : records) {
    int32_t i = chain.FindArticle(record);
    if (i != 0 && chain.GetRecord(i).Suppressed) i = 0;
    const Screening& screening = chain.Screenings().Of(i);
    if (!Chosen(screening, decision)) continue;
    articles.push_back(Article(chain, record, i != 0 ? chain.GetRecord(i) : CCRecord{}, screening));
  }
  return articles;
}

std::string Joined(const std::vector<std::string>& items, std::string_view separator) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : std::string(separator)) + item;
  return out;
}

std::string RelationNote(const ExchangeArticle& a) {
  const std::string marks = RecordMarks(a.record);
  return (marks.empty() ? "" : "Marked " + marks + ". ") + "Cited by pearls: " + (a.citedByPearls.empty() ? "none" : Joined(a.citedByPearls, ", ")) +
         ". Cites pearls: " + (a.citesPearls.empty() ? "none" : Joined(a.citesPearls, ", ")) + ".";
}

// A value of a one-line field: line breaks (and tabs) become blanks.
std::string OneLine(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') continue;
    out += c == '\r' || c == '\n' || c == '\t' ? ' ' : c;
  }
  return Trimmed(out);
}

// Whether the article's screening has anything to say in a note or keywords. Its generation alone
// does not count: every grown article has one, and only CSV gives it a column.
bool HasScreening(const Screening& s) {
  return s.verdict != Verdict::Undecided || !s.labels.empty() || !s.note.empty() || s.known;
}

// "Screening: excluded (wrong outcome); labels: a, b; note: text; known", the parts with no content
// left out; empty when there is nothing to say. It is one line in every format, so that a reader
// finds it whole: the note's line breaks become blanks (CSV keeps them in its Note column).
std::string ScreeningLine(const Screening& s) {
  if (!HasScreening(s)) return {};
  std::string line = std::string("Screening: ") + VerdictName(s.verdict);
  if (s.verdict == Verdict::Excluded && !OneLine(s.reason).empty()) line += " (" + OneLine(s.reason) + ")";
  std::vector<std::string> labels;
  for (const std::string& label : s.labels) labels.push_back(OneLine(label));
  if (!labels.empty()) line += "; labels: " + Joined(labels, ", ");
  if (!OneLine(s.note).empty()) line += "; note: " + OneLine(s.note);
  if (s.known) line += "; known";
  return line;
}

// The record's keywords, then the decision ("screening: maybe") and the labels, each once, so that
// reference managers can filter on them.
std::vector<std::string> KeywordsWithScreening(const ExchangeArticle& a) {
  std::vector<std::string> keywords = a.keywords;
  auto add = [&keywords](std::string keyword) {
    if (!keyword.empty() && std::find(keywords.begin(), keywords.end(), keyword) == keywords.end())
      keywords.push_back(std::move(keyword));
  };
  if (a.screening.verdict != Verdict::Undecided) add(std::string("screening: ") + VerdictName(a.screening.verdict));
  for (const std::string& label : a.screening.labels) add(OneLine(label));
  return keywords;
}

// The year when it is a plain number of one to four digits, else empty.
std::string NumericYear(const std::string& year) {
  const std::string y = Trimmed(year);
  if (y.empty() || y.size() > 4 || y.find_first_not_of("0123456789") != std::string::npos) return {};
  return y;
}

std::string PersonText(const Person& p) { return p.given.empty() ? p.family : p.family + ", " + p.given; }

// --- RIS ---

std::string Ris(const std::vector<ExchangeArticle>& articles) {
  std::string out;
  auto line = [&out](std::string_view tag, std::string_view value) {
    out += std::string(tag) + "  - " + OneLine(value) + "\r\n";
  };
  for (const ExchangeArticle& a : articles) {
    const CCRecord& r = a.record;
    line("TY", r.PubType == "Journal" ? "JOUR" : r.PubType == "Conference" ? "CONF" : "GEN");
    for (const Person& p : a.authors) line("AU", PersonText(p));
    if (!NumericYear(r.Year).empty()) line("PY", NumericYear(r.Year));
    if (!OneLine(r.Title).empty()) line("TI", r.Title);
    if (!OneLine(r.Source).empty()) line(r.PubType == "Journal" ? "JO" : "T2", r.Source);
    // Some readers take a conference paper's PY and T2 for the event's date and name: DA and C3
    // give its date and proceedings as well.
    if (r.PubType == "Conference") {
      if (!NumericYear(r.Year).empty()) line("DA", NumericYear(r.Year) + "///");
      if (!OneLine(r.Source).empty()) line("C3", r.Source);
    }
    if (IsKnownValue(r.DOI)) line("DO", r.DOI);
    if (!OneLine(r.Abstract).empty()) line("AB", r.Abstract);
    for (const std::string& k : KeywordsWithScreening(a)) line("KW", k);
    if (IsKnownValue(r.FullTextURL)) line("UR", r.FullTextURL);
    // "MAS:" marks the ID as the service's, as in the Pearl List, so that loading this file
    // finds its pearls by ID.
    if (IsUsableID(r.PK)) line("AN", "MAS:" + r.PK);
    line("N1", RelationNote(a));
    if (HasScreening(a.screening)) line("N1", ScreeningLine(a.screening));
    out += "ER  - \r\n\r\n";
  }
  return out;
}

// --- BibTeX ---

// LaTeX's special characters as commands. Braces become \textbraceleft{} and \textbraceright{}:
// BibTeX counts a brace after a backslash too, so "\{" alone would leave the entry unbalanced and
// lose it and the entries after it.
std::string TexEscaped(std::string_view value) {
  std::string out;
  for (char c : OneLine(value)) {
    switch (c) {
      case '\\': out += "\\textbackslash{}"; break;
      case '{': out += "\\textbraceleft{}"; break;
      case '}': out += "\\textbraceright{}"; break;
      case '&': out += "\\&"; break;
      case '%': out += "\\%"; break;
      case '$': out += "\\$"; break;
      case '#': out += "\\#"; break;
      case '_': out += "\\_"; break;
      case '~': out += "\\textasciitilde{}"; break;
      case '^': out += "\\textasciicircum{}"; break;
      default: out += c;
    }
  }
  return out;
}

// A DOI or an address, read as it stands by BibTeX styles: only braces, which would unbalance the
// entry, are percent-encoded as in an address.
std::string Verbatim(std::string_view value) {
  std::string out;
  for (char c : OneLine(value)) out += c == '{' ? "%7B" : c == '}' ? "%7D" : std::string(1, c);
  return out;
}

// The ASCII letters and digits of a text, what a citation key may hold everywhere; the accented
// Latin letters of U+00C0 to U+00FF count as their base letters, so "Müller" gives "Muller".
std::string KeyPart(std::string_view text) {
  constexpr std::string_view kLatinBases = "AAAAAAACEEEEIIIIDNOOOOO OUUUUYTsaaaaaaaceeeeiiiidnooooo ouuuuyty";
  static_assert(kLatinBases.size() == 64);
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      out += c;
    } else if ((c == '\xC3') && i + 1 < text.size()) {
      const auto low = static_cast<unsigned char>(text[i + 1]);
      if (low >= 0x80 && low <= 0xBF && kLatinBases[low - 0x80] != ' ') out += kLatinBases[low - 0x80];
      ++i;
    }
  }
  return out;
}

// First author's last name, year and first title word ("Berg2001Pearl"); the second article of
// the same key gets "b", the third "c", and so on.
std::string CitationKey(const ExchangeArticle& a, std::set<std::string>& used) {
  std::string name = a.authors.empty() ? "" : KeyPart(a.authors.front().family);
  if (name.empty()) name = "Anon";
  std::string year = NumericYear(a.record.Year);
  std::string word;
  const std::string title = OneLine(a.record.Title);
  for (size_t at = 0; at < title.size() && word.empty();) {
    size_t blank = title.find(' ', at);
    word = KeyPart(std::string_view(title).substr(at, blank == std::string::npos ? blank : blank - at));
    at = blank == std::string::npos ? title.size() : blank + 1;
  }
  if (!word.empty()) word[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
  const std::string base = name + (year.empty() ? "nd" : year) + word;
  std::string key = base;
  for (int n = 2; used.count(key) != 0; ++n) {
    key = base + (n <= 26 ? std::string(1, static_cast<char>('a' + n - 1)) : std::to_string(n));
  }
  used.insert(key);
  return key;
}

std::string BibTeX(const std::vector<ExchangeArticle>& articles) {
  std::string out;
  std::set<std::string> used;
  for (const ExchangeArticle& a : articles) {
    const CCRecord& r = a.record;
    const bool journal = r.PubType == "Journal";
    const bool conference = r.PubType == "Conference";
    out += std::string("@") + (journal ? "article" : conference ? "inproceedings" : "misc") + "{" +
           CitationKey(a, used) + ",\n";
    auto field = [&out](std::string_view name, const std::string& value) {
      out += "  " + std::string(name) + " = {" + value + "},\n";
    };
    if (!a.authors.empty()) {
      std::vector<std::string> names;
      // A name part holding "and" or a comma is braced so that it stays one part; so is a name
      // without a given name ("World Health Organization"), which readers would otherwise split
      // into given and family names.
      for (const Person& p : a.authors) {
        auto part = [](const std::string& text, bool whole) {
          const std::string escaped = TexEscaped(text);
          const bool brace = whole || text.find(',') != std::string::npos || text.find(" and ") != std::string::npos;
          return brace ? "{" + escaped + "}" : escaped;
        };
        names.push_back(p.given.empty() ? part(p.family, p.family.find(' ') != std::string::npos)
                                        : part(p.family, false) + ", " + part(p.given, false));
      }
      field("author", Joined(names, " and "));
    }
    if (!OneLine(r.Title).empty()) field("title", TexEscaped(r.Title));
    if (!OneLine(r.Source).empty()) {
      field(journal ? "journal" : conference ? "booktitle" : "howpublished", TexEscaped(r.Source));
    }
    if (!NumericYear(r.Year).empty()) field("year", NumericYear(r.Year));
    if (IsKnownValue(r.DOI)) field("doi", Verbatim(r.DOI));
    if (!OneLine(r.Abstract).empty()) field("abstract", TexEscaped(r.Abstract));
    const std::vector<std::string> keywords = KeywordsWithScreening(a);
    if (!keywords.empty()) field("keywords", TexEscaped(Joined(keywords, ", ")));
    if (IsKnownValue(r.FullTextURL)) field("url", Verbatim(r.FullTextURL));
    // BibTeX has one note: the screening line follows the relations.
    std::string note = (IsUsableID(r.PK) ? "Service ID " + r.PK + ". " : "") + RelationNote(a);
    if (HasScreening(a.screening)) note += " " + ScreeningLine(a.screening);
    field("note", TexEscaped(note));
    out += "}\n\n";
  }
  return out;
}

// --- CSL-JSON ---

std::string JsonString(std::string_view value) {
  std::string out = "\"";
  for (unsigned char c : value) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string CslJson(const std::vector<ExchangeArticle>& articles) {
  std::string out = "[";
  std::set<std::string> used;
  for (size_t n = 0; n < articles.size(); ++n) {
    const ExchangeArticle& a = articles[n];
    const CCRecord& r = a.record;
    std::string item = "\n  {\"id\": " + JsonString(CitationKey(a, used));
    auto member = [&item](std::string_view name, const std::string& json) {
      item += ", " + JsonString(name) + ": " + json;
    };
    member("type", JsonString(r.PubType == "Journal"      ? "article-journal"
                              : r.PubType == "Conference" ? "paper-conference"
                                                          : "document"));
    if (!a.authors.empty()) {
      std::string people;
      for (const Person& p : a.authors) {
        people += std::string(people.empty() ? "" : ", ") + "{\"family\": " + JsonString(p.family);
        if (!p.given.empty()) people += ", \"given\": " + JsonString(p.given);
        people += "}";
      }
      member("author", "[" + people + "]");
    }
    if (!r.Title.empty()) member("title", JsonString(r.Title));
    if (!r.Source.empty()) member("container-title", JsonString(r.Source));
    if (!NumericYear(r.Year).empty()) {
      member("issued", "{\"date-parts\": [[" + std::to_string(std::stoi(NumericYear(r.Year))) + "]]}");
    }
    if (IsKnownValue(r.DOI)) member("DOI", JsonString(r.DOI));
    if (!r.Abstract.empty()) member("abstract", JsonString(r.Abstract));
    const std::vector<std::string> keywords = KeywordsWithScreening(a);
    if (!keywords.empty()) member("keyword", JsonString(Joined(keywords, ", ")));
    if (IsKnownValue(r.FullTextURL)) member("URL", JsonString(r.FullTextURL));
    if (IsUsableID(r.PK)) member("archive_location", JsonString(r.PK));
    member("note", JsonString(RelationNote(a) + (HasScreening(a.screening) ? "\n" + ScreeningLine(a.screening) : "")));
    out += item + "}" + (n + 1 < articles.size() ? "," : "");
  }
  return out + (articles.empty() ? "]\n" : "\n]\n");
}

// --- CSV ---

std::string Csv(const std::vector<ExchangeArticle>& articles) {
  std::string out =
      "ID,DOI,Title,Authors,Year,Venue,Type,CitationCount,CitedByPearls,CitesPearls,CitedByPearlIDs,CitesPearlIDs,"
      "Lists,URL,Abstract,Keywords,Marks,Decision,Reason,Labels,Note,Known,Generation\r\n";
  for (const ExchangeArticle& a : articles) {
    const CCRecord& r = a.record;
    const Screening& s = a.screening;
    std::vector<std::string> names;
    for (const Person& p : a.authors) names.push_back(PersonText(p));
    const std::vector<std::string> fields = {IsUsableID(r.PK) ? r.PK : "",
                                             IsKnownValue(r.DOI) ? r.DOI : "",
                                             r.Title,
                                             Joined(names, "; "),
                                             IsKnownValue(r.Year) ? r.Year : "",
                                             r.Source,
                                             r.PubType,
                                             std::to_string(r.CitationCount),
                                             std::to_string(r.CitedByPearls),
                                             std::to_string(r.CitesPearls),
                                             Joined(a.citedByPearls, " "),
                                             Joined(a.citesPearls, " "),
                                             a.lists,
                                             IsKnownValue(r.FullTextURL) ? r.FullTextURL : "",
                                             r.Abstract,
                                             Joined(a.keywords, "; "),
                                             RecordMarks(r),
                                             s.verdict == Verdict::Undecided ? "" : VerdictName(s.verdict),
                                             s.reason,
                                             Joined(s.labels, "; "),
                                             s.note,
                                             s.known ? "yes" : "",
                                             s.generation >= 0 ? std::to_string(s.generation) : ""};
    for (size_t k = 0; k < fields.size(); ++k) out += (k ? "," : "") + CsvField(fields[k]);
    out += "\r\n";
  }
  return out;
}

}  // namespace

std::optional<ExchangeFormat> ParseExchangeFormat(std::string_view name) {
  if (name == "ris") return ExchangeFormat::Ris;
  if (name == "bibtex") return ExchangeFormat::BibTeX;
  if (name == "csl-json") return ExchangeFormat::CslJson;
  if (name == "csv") return ExchangeFormat::Csv;
  return std::nullopt;
}

std::optional<ExchangeList> ParseExchangeList(std::string_view name) {
  if (name == "pearls") return ExchangeList::Pearls;
  if (name == "cited") return ExchangeList::Cited;
  if (name == "citing") return ExchangeList::Citing;
  if (name == "all") return ExchangeList::All;
  if (name == "candidates") return ExchangeList::Candidates;
  if (name == "new") return ExchangeList::New;
  return std::nullopt;
}

const char* ExchangeExtension(ExchangeFormat format) {
  switch (format) {
    case ExchangeFormat::Ris: return "ris";
    case ExchangeFormat::BibTeX: return "bib";
    case ExchangeFormat::CslJson: return "json";
    case ExchangeFormat::Csv: return "csv";
  }
  return "";
}

namespace {

std::string Formatted(const std::vector<ExchangeArticle>& articles, ExchangeFormat format) {
  switch (format) {
    case ExchangeFormat::Ris: return Ris(articles);
    case ExchangeFormat::BibTeX: return BibTeX(articles);
    case ExchangeFormat::CslJson: return CslJson(articles);
    case ExchangeFormat::Csv: return Csv(articles);
  }
  return {};
}

}  // namespace

std::string FormatExchange(const MASCitationChain& chain, ExchangeList list, ExchangeFormat format,
                           std::optional<Verdict> decision) {
  return Formatted(Articles(chain, list, decision), format);
}

std::string FormatExchange(const MASCitationChain& chain, const std::vector<CCRecord>& records, ExchangeFormat format,
                           std::optional<Verdict> decision) {
  return Formatted(Articles(chain, records, decision), format);
}

namespace {

ExchangeResult Written(const std::vector<ExchangeArticle>& articles, ExchangeFormat format, const std::string& path) {
  ExchangeResult result;
  try {
    WriteFileReplacing(path, Formatted(articles, format));
    result.written = true;
    result.articles = static_cast<int32_t>(articles.size());
  } catch (const ChainError& e) {
    result.reason = e.what();
  }
  return result;
}

}  // namespace

ExchangeResult ExportExchange(const MASCitationChain& chain, ExchangeList list, ExchangeFormat format,
                              const std::string& path, std::optional<Verdict> decision) {
  return Written(Articles(chain, list, decision), format, path);
}

ExchangeResult ExportExchange(const MASCitationChain& chain, const std::vector<CCRecord>& records,
                              ExchangeFormat format, const std::string& path, std::optional<Verdict> decision) {
  return Written(Articles(chain, records, decision), format, path);
}

}  // namespace wendrel
