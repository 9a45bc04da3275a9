// The chain's files: the RIS file of a list (the program's save format for the Pearl List), the
// Web of Science tagged export, and loading a pearl list back from RIS.
#include <memory>

#include "chain/chain_file_io.h"
#include "platform/text_encoding.h"
#include "chain/citation_chain.h"
#include "chain/ris_reader.h"

namespace wendrel {

namespace {

bool InList(const CCRecord& r, uint8_t refList) {
  switch (refList) {
    case 0: return r.IsPearl;
    case 1: return r.IsCited;
    case 2: return r.IsCiting;
    default: return false;
  }
}

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

std::string FileStem(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return (slash == std::string::npos ? path : path.substr(slash + 1)) + "_";
}

}  // namespace

bool MASCitationChain::ExportRIS(const std::string& fileName, uint8_t refList) const {
  std::string out;
  bool written = false;
  // Every record takes part: a 16-bit record counter would leave out records above 32767.
  for (size_t i = 1; i < m_records.size(); ++i) {
    const CCRecord& r = m_records[i];
    if (!InList(r, refList)) continue;
    written = true;
    AppendLine(out, "TY - ", r.PubType);
    AppendLine(out, "AN - MAS:", r.PK);
    AppendLine(out, "AU - ", r.FirstAuthor);
    AppendLine(out, "PY - ", r.Year);
    AppendLine(out, "TI - ", r.Title);
    AppendLine(out, "T2 - ", r.Source);
    AppendLine(out, "AB - ", r.Abstract);
    AppendLine(out, "DO - ", r.DOI);
    AppendLine(out, "UR - ", r.FullTextURL);
    AppendLine(out, "ER - ");
    AppendLine(out, "");
  }
  WriteFileReplacing(fileName, out);
  return written;
}

bool MASCitationChain::ExportWOS(const std::string& fileName, uint8_t refList) const {
  std::string out;
  AppendLine(out, "FN Thomson Reuters Web of Knowledge");
  AppendLine(out, "VR 1.0");
  for (size_t i = 1; i < m_records.size(); ++i) {
    const CCRecord& r = m_records[i];
    if (!InList(r, refList)) continue;
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
    AppendLine(out, "PR ", std::to_string(refList == 2 ? r.CitesPearls : r.CitedByPearls));
    AppendLine(out, "PY ", r.Year);
    AppendLine(out, "DI ", r.DOI);
    AppendLine(out, "UT MAS:", r.PK);
    AppendLine(out, "ER");
    AppendLine(out, "");
  }
  AppendLine(out, "EF");
  WriteFileReplacing(fileName, out);
  return false;
}

void MASCitationChain::ImportRIS(const std::string& fileName, int32_t& maxCiting, Caption& callingForm) {
  if (m_busyDepth == 0) m_interrupted = false;
  std::string bytes = ReadWholeFile(fileName);
  BusyScope busy(*this);
  // A file with bare LF ends is read through a CR LF copy in the temporary folder, which goes
  // away with this scope whatever happens.
  std::unique_ptr<TemporaryFile> copy;
  if (HasBareLineFeeds(bytes)) {
    copy = std::make_unique<TemporaryFile>(FileStem(fileName), WithCrLf(bytes));
    bytes = ReadWholeFile(copy->Path());
  }
  const std::vector<RisReference> references = ReadRisReferences(bytes, [this] { m_host.DoEvents(); });

  int32_t imported = 0;
  int32_t failures = 0;
  std::string failed;
  const int32_t items = static_cast<int32_t>(references.size());
  for (int32_t item = 1; item <= items; ++item) {
    if (StopNow()) break;
    if (m_events.ImportItem) m_events.ImportItem(item, items);
    const RisReference& reference = references[static_cast<size_t>(item - 1)];
    std::string author = reference.firstAuthor;
    // A record this program saved names its pearl by ID; only others are looked up by title and
    // first author, which may find another article or none.
    std::string id = AccessionPublicationID(reference.accession);
    if (id.empty()) {
      author = author.substr(0, author.find(','));
      id = FindPKFromRef(reference.title, author, true);
    }
    if (id.empty() || id == "N/A") {
      failed += UpperCaseText(author) + ", " + reference.title + "; ";
      ++failures;
      continue;
    }
    ++imported;
    callingForm.SetCaption("Import item #" + std::to_string(imported));
    int32_t indexNum = 0;
    AddPearl(indexNum, id, "", maxCiting, callingForm);
  }
  if (failures > 0) {
    m_host.MessageBox("Import of the following " + std::to_string(failures) + " articles failed: " + failed,
                      "XCR Import", MessageIcon::Information, MessageButtons::Ok);
  }
}

}  // namespace wendrel
