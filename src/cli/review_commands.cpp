// wendrel screen and wendrel known: a session opened for writing, its screening book changed.
#include "cli/review_commands.h"

#include <iostream>
#include <memory>

#include "chain/chain_file_io.h"
#include "cli/arguments.h"
#include "cli/session_chain.h"
#include "platform/text_encoding.h"
#include "review/known_papers.h"
#include "review/library_reader.h"
#include "review/review_error.h"
#include "review/screening_import.h"

namespace wendrel {

namespace {

constexpr const char* kScreenUsage =
    "usage: wendrel screen --session FILE (--include | --exclude | --maybe | --undecided) ID ...\n"
    "                      [--reason TEXT] [--label TEXT ...] [--note TEXT]\n"
    "       wendrel screen --session FILE --import FILE\n"
    "Records screening decisions in a session file.\n"
    "  ID ...          the articles' IDs as the lists and exports show them\n"
    "  --include, --exclude, --maybe\n"
    "                  the decision; --undecided takes a decision back\n"
    "  --reason TEXT   why the articles are excluded (default \"other\"); with --exclude only\n"
    "  --label TEXT    adds a label to the articles (again for more labels)\n"
    "  --note TEXT     sets the articles' note\n"
    "  --import FILE   takes the decisions of a screening file: this program's CSV or RIS export, an\n"
    "                  ASReview export (RIS notes or CSV with an included column) or a Rayyan RIS\n"
    "                  export (when its reviewers disagree the article becomes a maybe, the note\n"
    "                  says who decided what). Each reference is matched to the session's articles\n"
    "                  by ID, else DOI, else title, year within one and first author; the decision,\n"
    "                  labels and note go to every article it matches, and no decision is taken back\n"
    "Exit status 0 when every ID or reference was applied; 3 when some were not (each is named);\n"
    "1 when none was, or the session or file cannot be read or written; 2 on a usage error.\n";

constexpr const char* kKnownUsage =
    "usage: wendrel known --session FILE --import LIBRARY\n"
    "Marks the session's articles that are papers of your library as known. LIBRARY is a reference\n"
    "manager's BibTeX, RIS or CSL-JSON export or a list of DOIs (one a line), told by its content.\n"
    "An entry matches an article with the same DOI (any case, with or without a resolver address),\n"
    "else the same title (case, accents and punctuation aside) with years at most one apart and an\n"
    "author surname in common; two different DOIs never match. An entry whose title is alike but\n"
    "whose year or authors are not is a possible match: listed for you to check, never marked. The\n"
    "library stays with the session: articles that arrive later by `wendrel grow` are matched too.\n"
    "Prints how many entries matched, possibly matched and did not match, and lists the possible\n"
    "matches. Exit status 0 when the library was read; 1 when it or the session cannot be read or\n"
    "written; 2 on a usage error.\n";

constexpr int kPartlyApplied = 3;

// The session opened for writing, as `wendrel grow --session` opens it, and restored into a chain
// that asks no service. Changes to the chain's book are written as they are made.
class WritableSession {
 public:
  explicit WritableSession(const std::string& path) : m_session(SessionFile::Open(path)) {
    if (m_session->ReadOnly()) throw SessionError(m_session->ReadOnlyReason());
    m_session->Restore(m_chain);
    m_session->Attach(m_chain);
  }
  MASCitationChain& Chain() { return m_chain; }
  SessionFile& File() { return *m_session; }
  const std::string& WriteError() const { return m_session->WriteError(); }

 private:
  ScriptedHost m_host;
  NoNetworkHttpClient m_http;
  MASCitationChain m_chain{m_host, m_http, "http://127.0.0.1:1"};
  std::unique_ptr<SessionFile> m_session;
};

// Every "--label TEXT" taken out of the arguments; the rest goes to the shared parser.
std::vector<std::string> TakeLabels(const std::vector<std::string>& args, std::vector<std::string>& rest) {
  std::vector<std::string> labels;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--label") {
      rest.push_back(args[i]);
    } else if (i + 1 < args.size()) {
      labels.push_back(args[++i]);
    } else {
      throw UsageError("--label needs a value");
    }
  }
  return labels;
}

std::string Articles(int32_t n) { return std::to_string(n) + (n == 1 ? " article" : " articles"); }

int ScreenByID(MASCitationChain& chain, Verdict verdict, const Arguments& a, const std::vector<std::string>& labels,
               std::ostream& out, std::ostream& err) {
  ScreeningBook& book = chain.Screenings();
  const std::string reason = a.Value("--reason").value_or("");
  int32_t applied = 0, missing = 0;
  for (const std::string& id : a.Plain()) {
    const int32_t article = chain.FindIndex(LowerCaseText(id), "", "");
    if (article == 0 || !IsUsableID(id)) {
      err << "wendrel screen: the session holds no article with ID " << id << "\n";
      ++missing;
      continue;
    }
    book.Decide(article, verdict, reason);
    if (!labels.empty()) {
      std::vector<std::string> all = book.Of(article).labels;
      all.insert(all.end(), labels.begin(), labels.end());
      book.SetLabels(article, std::move(all));
    }
    if (const std::optional<std::string> note = a.Value("--note")) book.SetNote(article, *note);
    ++applied;
  }
  if (applied > 0) {
    out << Articles(applied) << ' ' << VerdictName(verdict);
    if (verdict == Verdict::Excluded) out << " (" << book.LastReason() << ")";
    out << "\n";
  }
  return applied == 0 ? 1 : missing > 0 ? kPartlyApplied : 0;
}

int ScreenFromFile(MASCitationChain& chain, const std::string& file, std::ostream& out) {
  std::vector<ScreenedReference> references;
  try {
    references = ReadScreeningFile(ReadWholeFile(file));
  } catch (const ReviewError& e) {
    throw ReviewError(file + " holds no screening decisions: " + e.what());
  }
  const ScreeningImport result = ApplyScreening(chain, references);
  out << result.matched << " of " << result.references << " references matched, " << result.decided
      << " with a decision";
  if (!result.unmatched.empty()) out << "; not matched:";
  out << "\n";
  for (const std::string& label : result.unmatched) out << "  " << label << "\n";
  return result.matched == 0 ? 1 : result.unmatched.empty() ? 0 : kPartlyApplied;
}

}  // namespace

int RunScreen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (WantsHelp(args)) {
    out << kScreenUsage;
    return 0;
  }
  try {
    std::vector<std::string> rest;
    const std::vector<std::string> labels = TakeLabels(args, rest);
    const Arguments a(rest, {"--session", "--reason", "--note", "--import"},
                      {"--include", "--exclude", "--maybe", "--undecided"}, rest.size());
    const std::string path = a.Required("--session");
    std::optional<Verdict> verdict;
    for (Verdict v : {Verdict::Included, Verdict::Excluded, Verdict::Maybe, Verdict::Undecided}) {
      const std::string flag = v == Verdict::Included   ? "--include"
                               : v == Verdict::Excluded ? "--exclude"
                               : v == Verdict::Maybe    ? "--maybe"
                                                        : "--undecided";
      if (!a.Has(flag)) continue;
      if (verdict) throw UsageError("give one of --include, --exclude, --maybe and --undecided");
      verdict = v;
    }
    const std::optional<std::string> import = a.Value("--import");
    if (import.has_value() == verdict.has_value())
      throw UsageError("give either a decision with IDs or --import with a file");
    if (import && (!a.Plain().empty() || !labels.empty() || a.Has("--reason") || a.Has("--note")))
      throw UsageError("--import takes what the file says: give no IDs, --reason, --label or --note with it");
    if (verdict && a.Plain().empty()) throw UsageError("name at least one article by its ID");
    if (a.Has("--reason") && verdict != Verdict::Excluded) throw UsageError("--reason goes with --exclude");

    WritableSession session(path);
    int status = 0;
    {
      SessionFile::Batch batch(session.File());
      status = import ? ScreenFromFile(session.Chain(), *import, out)
                      : ScreenByID(session.Chain(), *verdict, a, labels, out, err);
    }
    if (!session.WriteError().empty()) {
      err << "wendrel screen: " << session.WriteError() << "\n";
      return 1;
    }
    return status;
  } catch (const UsageError& e) {
    err << "wendrel screen: " << e.what() << " (see --help)\n";
    return 2;
  } catch (const ChainError& e) {
    err << "wendrel screen: " << e.what() << "\n";
    return 1;
  } catch (const SessionError& e) {
    err << "wendrel screen: " << e.what() << "\n";
    return 1;
  } catch (const ReviewError& e) {
    err << "wendrel screen: " << e.what() << "\n";
    return 1;
  }
}

int RunKnown(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (WantsHelp(args)) {
    out << kKnownUsage;
    return 0;
  }
  try {
    const Arguments a(args, {"--session", "--import"});
    const std::string path = a.Required("--session");
    const std::string file = a.Required("--import");
    Library library;
    try {
      library = ReadLibrary(ReadWholeFile(file));
    } catch (const ReviewError& e) {
      throw ReviewError(file + " cannot be read as a library: " + e.what());
    }
    WritableSession session(path);
    MASCitationChain& chain = session.Chain();
    std::vector<size_t> positions;
    {
      SessionFile::Batch batch(session.File());
      positions = ImportKnownPapers(chain, library.entries);
    }
    const std::vector<KnownPaper>& papers = chain.Screenings().KnownPapers();
    const KnownImportCounts counts = CountKnownImport(chain.Screenings(), positions);
    std::string possibleLines;
    for (size_t k = 0; k < positions.size(); ++k) {
      const KnownPaper& paper = papers[positions[k]];
      if (paper.match != KnownMatch::Possible) continue;
      possibleLines += "  " + ReferenceLabel(library.entries[k], static_cast<int32_t>(k + 1)) + "\n";
      for (int32_t article : paper.articles)
        possibleLines += "    may be " + chain.GetRecord(article).PK + ": " + Trimmed(chain.Reference(article)) + "\n";
    }
    int32_t known = 0;
    for (int32_t i = 1; i <= chain.Count(); ++i) known += chain.Screenings().Of(i).known ? 1 : 0;
    out << library.entries.size() << " entries read (" << LibraryFormatName(library.format) << "): " << counts.matched
        << " matched, " << counts.possible << " possible, " << counts.unmatched << " unmatched; " << Articles(known)
        << " of the session known\n";
    if (counts.possible > 0) out << "Possible matches, not marked (check them by hand):\n" << possibleLines;
    if (!session.WriteError().empty()) {
      err << "wendrel known: " << session.WriteError() << "\n";
      return 1;
    }
    return 0;
  } catch (const UsageError& e) {
    err << "wendrel known: " << e.what() << " (see --help)\n";
    return 2;
  } catch (const ChainError& e) {
    err << "wendrel known: " << e.what() << "\n";
    return 1;
  } catch (const SessionError& e) {
    err << "wendrel known: " << e.what() << "\n";
    return 1;
  } catch (const ReviewError& e) {
    err << "wendrel known: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace wendrel
