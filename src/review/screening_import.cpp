// Reading the decisions of screening files and applying them to the session's articles.
#include "review/screening_import.h"

#include <algorithm>
#include <map>

#include "platform/text_encoding.h"
#include "review/article_matcher.h"
#include "review/csv_table.h"
#include "review/review_error.h"

namespace wendrel {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> parts;
  for (size_t at = 0; at <= text.size();) {
    const size_t end = std::min(text.find(separator, at), text.size());
    std::string part = Trimmed(text.substr(at, end - at));
    if (!part.empty()) parts.push_back(std::move(part));
    at = end + separator.size();
  }
  return parts;
}

// "included", "excluded (wrong outcome)", "maybe"; false when the word is none of the verdicts.
bool ReadDecision(std::string_view decision, ScreenedReference& into) {
  const std::string text = Trimmed(decision);
  const size_t open = text.find(" (");
  const std::optional<Verdict> verdict = ParseVerdict(std::string_view(text).substr(0, open));
  if (!verdict) return false;
  if (*verdict != Verdict::Undecided) into.verdict = *verdict;
  if (open != std::string::npos && text.back() == ')') into.reason = Trimmed(text.substr(open + 2, text.size() - open - 3));
  return true;
}

// Takes the part named `name` ("note: ") off the end of the text: from the name at its start or
// after "; " to the end.
std::optional<std::string> CutPart(std::string& text, const std::string& name) {
  size_t at = StartsWith(text, name) ? 0 : text.find("; " + name);
  if (at == std::string::npos) return std::nullopt;
  const size_t from = at + (at == 0 && StartsWith(text, name) ? 0 : 2) + name.size();
  std::string value = text.substr(from);
  text.resize(at);
  return value;
}

// "Screening: excluded (wrong outcome); labels: a, b; note: text; known": parts without content
// are left out; the note comes last but for the known mark and may hold "; " itself.
void ReadOwnLine(std::string_view line, ScreenedReference& into) {
  std::string rest(line.substr(std::string_view("Screening: ").size()));
  if (rest == "known" || (rest.size() > 7 && rest.compare(rest.size() - 7, 7, "; known") == 0)) {
    into.known = true;
    rest.resize(rest.size() == 5 ? 0 : rest.size() - 7);
  }
  if (std::optional<std::string> note = CutPart(rest, "note: ")) into.note = Trimmed(*note);
  if (std::optional<std::string> labels = CutPart(rest, "labels: ")) into.labels = Split(*labels, ", ");
  ReadDecision(rest, into);
}

// The quoted texts of a Ruby-style hash ({"Ann"=>["a \"b\""]}), unescaped, with whether each
// stands before "=>" (a key) or after it.
std::vector<std::pair<std::string, bool>> QuotedTexts(std::string_view text) {
  std::vector<std::pair<std::string, bool>> texts;
  for (size_t at = text.find('"'); at != std::string_view::npos;) {
    std::string quoted;
    size_t k = at + 1;
    for (; k < text.size() && text[k] != '"'; ++k) {
      if (text[k] == '\\' && k + 1 < text.size()) ++k;
      quoted += text[k];
    }
    if (k >= text.size()) break;
    const bool key = text.substr(k + 1, 3).find("=>") != std::string_view::npos;
    texts.emplace_back(std::move(quoted), key);
    at = text.find('"', k + 1);
  }
  return texts;
}

void ReadRayyanNote(std::string_view note, ScreenedReference& into) {
  std::vector<std::pair<std::string, Verdict>> decisions;
  std::string reasons;
  std::vector<std::string> notes;
  for (const std::string& part : Split(note, " | ")) {
    const size_t colon = part.find(": ");
    if (colon == std::string::npos) continue;
    const std::string name = part.substr(0, colon);
    const std::string_view value = std::string_view(part).substr(colon + 2);
    if (name == "RAYYAN-INCLUSION") {
      const auto texts = QuotedTexts(value);
      for (size_t k = 0; k + 1 < texts.size(); ++k) {
        if (!texts[k].second || texts[k + 1].second) continue;
        if (std::optional<Verdict> v = ParseVerdict(texts[k + 1].first); v && *v != Verdict::Undecided)
          decisions.emplace_back(texts[k].first, *v);
      }
    } else if (name == "RAYYAN-LABELS") {
      for (std::string& label : Split(value, ",")) into.labels.push_back(std::move(label));
    } else if (name == "RAYYAN-EXCLUSION-REASONS") {
      for (const std::string& reason : Split(value, ",")) reasons += (reasons.empty() ? "" : ", ") + reason;
    } else if (name == "USER-NOTES") {
      for (auto& [text, key] : QuotedTexts(value))
        if (!key && !Trimmed(text).empty()) notes.push_back(Trimmed(text));
    }
  }
  if (!decisions.empty()) {
    const bool agree = std::all_of(decisions.begin(), decisions.end(),
                                   [&](const auto& d) { return d.second == decisions.front().second; });
    into.verdict = agree ? decisions.front().second : Verdict::Maybe;
    if (!agree) {
      std::string said = "Reviewers disagreed:";
      for (size_t k = 0; k < decisions.size(); ++k)
        said += (k ? ", " : " ") + decisions[k].first + " " + VerdictName(decisions[k].second);
      if (!reasons.empty()) said += " (" + reasons + ")";
      notes.insert(notes.begin(), said);
    }
  }
  into.reason = reasons;
  for (const std::string& text : notes) into.note += (into.note.empty() ? "" : "\n") + text;
}

ScreenedReference FromRis(RisReference reference) {
  ScreenedReference screened;
  for (const std::string& note : reference.notes) {
    if (StartsWith(note, "Screening: ")) {
      ReadOwnLine(note, screened);
    } else if (note.find("RAYYAN-INCLUSION:") != std::string::npos || note.find("RAYYAN-LABELS:") != std::string::npos) {
      ReadRayyanNote(note.substr(note.find("RAYYAN-")), screened);
    } else if (!screened.verdict && note.find("ASReview_relevant") != std::string::npos) {
      screened.verdict = Verdict::Included;
    } else if (!screened.verdict && note.find("ASReview_irrelevant") != std::string::npos) {
      screened.verdict = Verdict::Excluded;
    }
  }
  screened.reference = std::move(reference);
  return screened;
}

std::vector<ScreenedReference> FromCsv(const std::vector<std::vector<std::string>>& rows) {
  std::map<std::string, size_t> columns;
  for (size_t k = 0; k < rows.front().size(); ++k) columns.emplace(LowerCaseText(Trimmed(rows.front()[k])), k);
  const bool own = columns.count("decision") != 0;
  if (!own && columns.count("included") == 0)
    throw ReviewError("it is a CSV file without a Decision or an included column");
  std::vector<ScreenedReference> references;
  for (size_t n = 1; n < rows.size(); ++n) {
    const std::vector<std::string>& row = rows[n];
    auto cell = [&](const char* name) {
      auto it = columns.find(name);
      return it != columns.end() && it->second < row.size() ? Trimmed(row[it->second]) : std::string();
    };
    ScreenedReference s;
    RisReference& r = s.reference;
    r.listedId = own ? cell("id") : "";
    r.doi = cell("doi");
    r.title = cell("title");
    r.year = cell("year");
    if (r.year.empty()) r.year = cell("publication_year");
    std::vector<std::string> authors = Split(cell("authors"), ";");
    if (!authors.empty()) {
      r.firstAuthor = authors.front();
      r.coAuthors.assign(authors.begin() + 1, authors.end());
    }
    if (own) {
      ReadDecision(cell("decision"), s);
      if (s.verdict == Verdict::Excluded && s.reason.empty()) s.reason = cell("reason");
      s.labels = Split(cell("labels"), ";");
      s.note = cell("note");
      s.known = LowerCaseText(cell("known")) == "yes";
    } else {
      const std::string included = cell("included");
      if (included == "1") s.verdict = Verdict::Included;
      if (included == "0") s.verdict = Verdict::Excluded;
    }
    references.push_back(std::move(s));
  }
  return references;
}

}  // namespace

std::vector<ScreenedReference> ReadScreeningFile(std::string_view bytes) {
  const std::string text = TextFromFileBytes(std::string(bytes));
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) throw ReviewError("it is empty");
  std::vector<RisReference> ris = ReadRisReferences(text);
  std::vector<ScreenedReference> references;
  if (!ris.empty()) {
    for (RisReference& r : ris) references.push_back(FromRis(std::move(r)));
    return references;
  }
  const std::vector<std::vector<std::string>> rows = ReadCsvRows(text);
  if (rows.empty() || rows.front().size() < 2)
    throw ReviewError("it is neither RIS nor CSV with a Decision or an included column");
  return FromCsv(rows);
}

ScreeningImport ApplyScreening(MASCitationChain& chain, const std::vector<ScreenedReference>& references) {
  const ArticleMatcher matcher(chain);
  ScreeningBook& book = chain.Screenings();
  ScreeningImport result;
  for (const ScreenedReference& s : references) {
    ++result.references;
    const std::vector<int32_t> articles = matcher.MatchScreened(s.reference);
    if (articles.empty()) {
      result.unmatched.push_back(ReferenceLabel(s.reference, result.references));
      continue;
    }
    ++result.matched;
    if (s.verdict) ++result.decided;
    for (int32_t article : articles) {
      if (s.verdict) book.Decide(article, *s.verdict, s.reason);
      if (!s.labels.empty()) {
        std::vector<std::string> labels = book.Of(article).labels;
        labels.insert(labels.end(), s.labels.begin(), s.labels.end());
        book.SetLabels(article, std::move(labels));
      }
      const std::string& held = book.Of(article).note;
      if (!s.note.empty() && held.find(s.note) == std::string::npos)
        book.SetNote(article, held.empty() ? s.note : held + "\n" + s.note);
      if (s.known) book.SetKnown(article, true);
    }
  }
  return result;
}

}  // namespace wendrel
