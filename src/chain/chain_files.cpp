// The chain's files: the RIS file of a list (the program's save format for the Pearl List), the
// Web of Science tagged export, and loading a pearl list back from RIS.
#include <memory>
#include <utility>

#include "chain/bibtex_reader.h"
#include "chain/chain_file_io.h"
#include "chain/identifier_list.h"
#include "platform/text_encoding.h"
#include "chain/citation_chain.h"
#include "chain/ris_reader.h"

namespace wendrel {

namespace {

// One line of a tagged file: a value that holds line breaks (abstracts often do) would end the
// field early and could read as a tag of its own, so its breaks become blanks.
void AppendLine(std::string& out, std::string_view tag, std::string_view value = {}) {
  out += tag;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
      out += ' ';
    } else {
      out += c;
    }
  }
  out += "\r\n";
}

// A file with bare LF line ends, as other tools write it.
bool HasBareLineFeeds(const std::string& bytes) {
  return bytes.find('\n') != std::string::npos && bytes.find('\r') == std::string::npos;
}

std::string WithCrLf(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16);
  for (char c : bytes) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// The record types of the list files as RIS codes, and back; a file written before the lists
// were standard RIS names the type itself ("Journal"), which is kept as it is.
const char* RisTypeCode(const std::string& pubType) {
  return pubType == "Journal" ? "JOUR" : pubType == "Conference" ? "CONF" : "GEN";
}

std::string PubTypeFromRis(const std::string& type) {
  if (type == "JOUR") return "Journal";
  if (type == "CONF") return "Conference";
  if (type == "GEN") return "";
  return type;
}

// The co-authors stored as "Last, First, " pairs, each as "Last, First" ("Last" alone without a
// first name).
std::vector<std::string> CoAuthorNames(const std::string& coAuthors) {
  std::vector<std::string> parts;
  for (size_t at = 0; at < coAuthors.size();) {
    const size_t comma = coAuthors.find(", ", at);
    parts.push_back(Trimmed(std::string_view(coAuthors).substr(at, comma == std::string::npos ? comma : comma - at)));
    at = comma == std::string::npos ? coAuthors.size() : comma + 2;
  }
  std::vector<std::string> names;
  for (size_t k = 0; k < parts.size(); k += 2) {
    const std::string given = k + 1 < parts.size() ? parts[k + 1] : "";
    if (parts[k].empty() && given.empty()) continue;
    names.push_back(given.empty() ? parts[k] : parts[k] + ", " + given);
  }
  return names;
}

// A reference as the message of failed imports names it: first author, year, title and DOI (or
// the ID a plain list gave), as far as the file has them; its place in the file when it has none.
// The service takes request lines of up to 8 KB: a longer title (a whole text pasted into the
// field, a damaged file) cannot be searched for, and would fail the request rather than the one
// reference.
constexpr size_t kMaxSearchedTitle = 2000;

bool TitleTooLong(const RisReference& r) { return r.title.size() > kMaxSearchedTitle; }

std::string ReferenceLabel(const RisReference& r, int32_t item) {
  std::string label = r.firstAuthor;
  auto add = [&label](const std::string& separator, const std::string& part) {
    if (!part.empty()) label += (label.empty() ? "" : separator) + part;
  };
  if (!r.year.empty()) add(" ", "(" + r.year + ")");
  add(". ", TitleTooLong(r) ? FirstCodePoints(r.title, 100) + "..." : r.title);
  add(". ", r.doi.empty() ? (r.listedId.empty() ? "" : "ID " + r.listedId) : "DOI " + r.doi);
  if (label.empty()) label = "record " + std::to_string(item) + " of the file (no author, year, title or DOI)";
  if (TitleTooLong(r)) {
    const size_t size = r.title.size();
    label += " (the title is too long to search: " +
             (size >= 1000000 ? std::to_string((size + 500000) / 1000000) + " MB"
                              : std::to_string((size + 500) / 1000) + " KB") +
             ")";
  }
  return label;
}

std::string FileStem(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return (slash == std::string::npos ? path : path.substr(slash + 1)) + "_";
}

}  // namespace

std::vector<int32_t> MASCitationChain::ListMembers(ChainList list) const {
  // Saved in the order they were added, the pearls grow again in that order when the file is
  // loaded, and every merge then finds what it found the first time: the same records again.
  if (list == ChainList::Pearls) return m_pearlOrder;
  std::vector<int32_t> members;
  // Every record takes part (a 16-bit record counter would leave out records above 32767); a
  // suppressed article is deleted from the Cited and Citing Lists the window shows, so from
  // their files too.
  for (int32_t i = 1; i <= Count(); ++i) {
    const CCRecord& r = m_records[static_cast<size_t>(i)];
    if (!r.Suppressed && (list == ChainList::Cited ? r.IsCited : r.IsCiting)) members.push_back(i);
  }
  return members;
}

std::string MASCitationChain::RISText(ChainList list) const {
  // Standard RIS, so that the lists open in reference managers too; the service's ID goes in AN,
  // which ImportRIS reads back to grow the same pearls. Fields the record lacks are left out
  // rather than written as placeholders.
  std::string out;
  for (int32_t i : ListMembers(list)) {
    const CCRecord& r = m_records[static_cast<size_t>(i)];
    AppendLine(out, "TY  - ", RisTypeCode(r.PubType));
    if (IsUsableID(r.PK)) AppendLine(out, "AN  - MAS:", r.PK);
    if (!r.FirstAuthor.empty()) AppendLine(out, "AU  - ", r.FirstAuthor);
    for (const std::string& name : CoAuthorNames(r.CoAuthors)) AppendLine(out, "AU  - ", name);
    const std::pair<const char*, const std::string*> fields[] = {{"PY  - ", &r.Year},     {"TI  - ", &r.Title},
                                                                 {"T2  - ", &r.Source},   {"AB  - ", &r.Abstract},
                                                                 {"DO  - ", &r.DOI},      {"UR  - ", &r.FullTextURL}};
    for (const auto& [tag, value] : fields) {
      if (IsKnownValue(Trimmed(*value))) AppendLine(out, tag, *value);
    }
    AppendLine(out, "ER  - ");
    AppendLine(out, "");
  }
  return out;
}

bool MASCitationChain::ExportRIS(const std::string& fileName, ChainList list) const {
  WriteFileReplacing(fileName, RISText(list));
  return !ListMembers(list).empty();
}

std::string MASCitationChain::WOSText(ChainList list) const {
  std::string out;
  AppendLine(out, "FN Thomson Reuters Web of Knowledge");
  AppendLine(out, "VR 1.0");
  for (int32_t i : ListMembers(list)) {
    const CCRecord& r = m_records[static_cast<size_t>(i)];
    AppendLine(out, "PT ", FirstCodePoints(r.PubType, 1));
    AppendLine(out, "AU ", r.FirstAuthor);
    AppendLine(out, "AF ", r.FirstAuthor);
    AppendLine(out, "TI ", r.Title);
    AppendLine(out, "SO ", r.Source);
    AppendLine(out, "LA English");
    AppendLine(out, "DT Article");
    AppendLine(out, "DE ");
    AppendLine(out, "ID ");
    AppendLine(out, "AB ", r.Abstract);
    AppendLine(out, "C1 ");
    AppendLine(out, "RP ");
    AppendLine(out, "EM ");
    AppendLine(out, "CR ");
    AppendLine(out, "NR  0");
    AppendLine(out, "TC ", std::to_string(r.CitationCount));
    AppendLine(out, "PR ", std::to_string(list == ChainList::Citing ? r.CitesPearls : r.CitedByPearls));
    AppendLine(out, "PY ", r.Year);
    AppendLine(out, "DI ", r.DOI);
    AppendLine(out, "UT MAS:", r.PK);
    AppendLine(out, "ER");
    AppendLine(out, "");
  }
  AppendLine(out, "EF");
  return out;
}

bool MASCitationChain::ExportWOS(const std::string& fileName, ChainList list) const {
  WriteFileReplacing(fileName, WOSText(list));
  return false;
}

void MASCitationChain::ImportRIS(const std::string& fileName, int32_t& citingAsked, Caption& callingForm) {
  BeginOperation();
  m_importFailures.clear();
  std::string bytes = ReadWholeFile(fileName);
  // A file that yields nothing (empty, BibTeX given as RIS, Web of Science) is refused rather than
  // loaded as an empty session without a word.
  if (std::string problem = PearlListProblem(fileName, bytes); !problem.empty())
    throw ChainError("Cannot load " + fileName + ": " + problem);
  BusyScope busy(*this);
  std::vector<RisReference> references;
  if (IsBibTeXFileName(fileName)) {
    // References exported by a reference manager as BibTeX are looked up like other tools' RIS.
    references = ReadBibTeXReferences(bytes);
  } else if (IsIdentifierList(bytes)) {
    references = ReadIdentifierList(bytes);
  } else {
    // A file with bare LF ends is read through a CR LF copy in the temporary folder, which goes
    // away with this scope whatever happens.
    std::unique_ptr<TemporaryFile> copy;
    if (HasBareLineFeeds(bytes)) {
      copy = std::make_unique<TemporaryFile>(FileStem(fileName), WithCrLf(bytes));
      bytes = ReadWholeFile(copy->Path());
    }
    references = ReadRisReferences(bytes, [this] { m_host.DoEvents(); });
  }

  // The large-citation question offers "to All" for the pearls of this file.
  struct LoadScope {
    MASCitationChain& chain;
    explicit LoadScope(MASCitationChain& c) : chain(c) {
      chain.m_loading = true;
      chain.m_limitForAll.reset();
    }
    ~LoadScope() {
      chain.m_loading = false;
      chain.m_limitForAll.reset();
    }
  } loading(*this);
  int32_t imported = 0;
  const int32_t items = static_cast<int32_t>(references.size());
  for (int32_t item = 1; item <= items; ++item) {
    if (StopNow()) break;
    if (m_events.ImportItem) m_events.ImportItem(item, items);
    const RisReference& reference = references[static_cast<size_t>(item - 1)];
    std::string author = reference.firstAuthor;
    // A record this program saved names its pearl by ID; only others are looked up by title and
    // first author, which may find another article or none.
    std::string id = AccessionPublicationID(reference.accession);
    const bool saved = !id.empty();
    if (!saved) id = reference.listedId;
    if (id.empty()) {
      author = author.substr(0, author.find(','));
      // A title too long to search leaves the DOI, if any, to go by.
      id = FindPKFromRef(TitleTooLong(reference) ? std::string() : reference.title, author, true, reference.doi,
                         reference.year);
    }
    if (!IsUsableID(id)) {
      m_importFailures.push_back(ReferenceLabel(reference, item));
      continue;
    }
    ++imported;
    callingForm.SetCaption("Import item #" + std::to_string(imported));
    int32_t indexNum = 0;
    if (AddPearl(indexNum, id, "", citingAsked, callingForm) ||
        (m_lastRefusal != PearlRefusal::NoResponse && m_lastRefusal != PearlRefusal::NotFound)) {
      continue;
    }
    // The pearl's record cannot be retrieved: a saved pearl stays as the file held it, and is
    // listed with the references that failed so that nobody takes it for a grown pearl.
    if (saved) KeepUnresolved(id, reference);
    m_importFailures.push_back(ReferenceLabel(reference, item) + (saved ? " (kept as the file holds it)" : ""));
  }
  if (!m_importFailures.empty()) {
    // A list of a whole library that resolves badly would make a message of megabytes; the rest
    // are in ImportFailures for whoever wants all of them.
    constexpr size_t kListed = 100;
    std::string failed;
    for (size_t k = 0; k < m_importFailures.size() && k < kListed; ++k) failed += "\n" + m_importFailures[k];
    if (m_importFailures.size() > kListed)
      failed += "\nand " + std::to_string(m_importFailures.size() - kListed) + " more";
    m_host.MessageBox("Import of the following " + std::to_string(m_importFailures.size()) + " articles failed:" + failed,
                      "XCR Import", MessageIcon::Information, MessageButtons::Ok);
  }
}

void MASCitationChain::KeepUnresolved(const std::string& pk, const RisReference& reference) {
  int32_t i = FindIndex(pk, "", "");
  if (i != 0 && m_records[static_cast<size_t>(i)].IsPearl) return;  // unresolved already
  if (i == 0) {
    CCRecord added;
    added.PK = pk;
    i = AppendRecord(std::move(added));
  }
  // A record the chain knew only by its ID takes what the file held, so that saving the Pearl
  // List again writes it back instead of a blank record.
  if (m_records[static_cast<size_t>(i)].Title.empty()) {
    CCRecord held = m_records[static_cast<size_t>(i)];
    held.PubType = PubTypeFromRis(reference.type);
    held.FirstAuthor = reference.firstAuthor;
    held.CoAuthors.clear();
    // Each co-author as "Last, First, ", a name without a first name as "Name, , ", so that the
    // pairs of the list cannot shift.
    for (const std::string& coAuthor : reference.coAuthors) {
      held.CoAuthors += coAuthor + (coAuthor.find(", ") == std::string::npos ? ", , " : ", ");
    }
    held.Year = reference.year;
    held.Title = reference.title;
    held.Source = reference.source;
    held.Abstract = reference.abstract;
    held.DOI = reference.doi;
    held.FullTextURL = reference.url;
    ReplaceMetadata(i, held);
  }
  m_records[static_cast<size_t>(i)].IsPearl = true;
  m_pearlOrder.push_back(i);
  m_unresolved.insert(i);
  TakePearlGeneration(i);
  if (m_journal) m_journal->RecordChanged(i);
}

}  // namespace wendrel
