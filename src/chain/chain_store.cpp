// The chain's record store: the table with its empty slot 0, the hash indexes behind the look-ups,
// and the small read operations the window uses.
#include <algorithm>
#include <charconv>

#include "chain/citation_chain.h"
#include "chain/duplicate_rule.h"
#include "platform/text_encoding.h"
#include "search_client/result_set.h"

namespace wendrel {

MASCitationChain::MASCitationChain(Host& host, HttpClient& http, std::string baseAddress)
    : m_host(host),
      m_http(http),
      m_baseAddress(std::move(baseAddress)),
      m_applicationId(kDefaultApplicationID),
      m_records(1) {}

void MASCitationChain::Clear() {
  m_records.assign(1, CCRecord{});
  m_byPK.Clear();
  m_byTitle.Clear();
  m_byAK.Clear();
  m_eventHistory.clear();
  m_pearlOrder.clear();
  m_unresolved.clear();
  m_partlyGrown.clear();
  m_grown.clear();
  m_screenings.Clear();
}

void MASCitationChain::RestoreState(ChainState state) {
  const auto count = static_cast<int32_t>(state.records.size());
  auto valid = [&](const std::vector<int32_t>& numbers) {
    return std::all_of(numbers.begin(), numbers.end(), [&](int32_t i) { return i >= 1 && i <= count; });
  };
  std::vector<int32_t> grownPearls;
  for (const auto& entry : state.grown) grownPearls.push_back(entry.first);
  if (!valid(state.pearlOrder) || !valid(state.unresolved) || !valid(state.partlyGrown) || !valid(grownPearls))
    throw ChainError("the session names a pearl that is not among its " + std::to_string(count) + " articles");
  Clear();
  m_records.reserve(state.records.size() + 1);
  for (CCRecord& record : state.records) AppendRecord(std::move(record));
  m_pearlOrder = std::move(state.pearlOrder);
  m_unresolved.insert(state.unresolved.begin(), state.unresolved.end());
  m_partlyGrown.insert(state.partlyGrown.begin(), state.partlyGrown.end());
  m_grown.insert(state.grown.begin(), state.grown.end());
}

CCRecord MASCitationChain::GetRecord(int32_t indexNum) const {
  return Holds(indexNum) ? m_records[static_cast<size_t>(indexNum)] : CCRecord{};
}

int32_t MASCitationChain::FindIndex(const std::string& pk, const std::string& ak, const std::string& title) const {
  // Only the stored side is lower-cased: "ABC" as given never finds a stored "ABC".
  if (!pk.empty()) {
    if (int32_t found = m_byPK.First(pk)) return found;
  }
  if (!title.empty()) {
    if (int32_t found = m_byTitle.First(LowerCaseText(title))) return found;
  }
  if (!ak.empty()) {
    if (int32_t found = m_byAK.First(ak)) return found;
  }
  return 0;
}

int32_t MASCitationChain::FindArticle(const CCRecord& article) const {
  const bool hasID = IsUsableID(article.PK);
  if (hasID) {
    if (int32_t found = m_byPK.First(article.PK)) return found;
  }
  if (article.Title.empty()) return 0;
  const std::string id = LowerCaseText(article.PK);
  for (int32_t candidate : m_byTitle.All(LowerCaseText(article.Title))) {
    const CCRecord& stored = m_records[static_cast<size_t>(candidate)];
    const bool anotherID = hasID && IsUsableID(stored.PK) && LowerCaseText(stored.PK) != id;
    if (!anotherID || MayBeSameWork(article, stored)) return candidate;
  }
  return 0;
}

int32_t MASCitationChain::TitleIndex(const std::string& title) const { return m_byTitle.First(LowerCaseText(title)); }

int32_t MASCitationChain::ClusterIDIndex(int32_t clusterId) const {
  for (int32_t i = 1; i <= Count(); ++i) {
    const std::string& ak = m_records[static_cast<size_t>(i)].AK;
    int64_t value = 0;
    auto [end, error] = std::from_chars(ak.data(), ak.data() + ak.size(), value);
    if (!ak.empty() && error == std::errc() && end == ak.data() + ak.size() && value == clusterId) return i;
  }
  return 0;
}

std::string MASCitationChain::Reference(int32_t indexNum) const {
  const CCRecord r = GetRecord(indexNum);
  return r.FirstAuthor + " (" + r.Year + ")" + " " + r.Title + " " + r.Source;
}

std::array<std::string, 6> MASCitationChain::IndexItemStrArr(int32_t indexNum) const {
  CCRecord r = GetRecord(indexNum);
  return {std::move(r.CoAuthors), std::move(r.Year),    std::move(r.Title),
          std::move(r.Source),    std::move(r.PubType), std::move(r.Abstract)};
}

std::string MASCitationChain::LastFieldValue(int32_t field) const {
  const CCRecord& last = m_records.back();
  if (field == 0) return last.AK;
  if (field == 1) return last.Title;
  return {};
}

std::string MASCitationChain::FindPK(int32_t, bool, bool) const { return {}; }

std::string MASCitationChain::FindDOI(int32_t, bool) const { return {}; }

int32_t MASCitationChain::AppendRecord(CCRecord record) {
  m_records.push_back(std::move(record));
  IndexRecord(Count());
  return Count();
}

void MASCitationChain::ReplaceMetadata(int32_t indexNum, const CCRecord& fetched) {
  UnindexRecord(indexNum);
  CCRecord& r = m_records[static_cast<size_t>(indexNum)];
  r.PK = fetched.PK;
  r.AK = fetched.AK;
  r.CitationCount = fetched.CitationCount;
  r.ReferenceCount = fetched.ReferenceCount;
  r.PubType = fetched.PubType;
  r.Year = fetched.Year;
  r.Title = fetched.Title;
  r.Abstract = fetched.Abstract;
  r.FirstAuthor = fetched.FirstAuthor;
  r.CoAuthors = fetched.CoAuthors;
  r.Source = fetched.Source;
  r.Keywords = fetched.Keywords;
  r.DOI = fetched.DOI;
  r.FullTextURL = fetched.FullTextURL;
  r.Retracted = fetched.Retracted;
  r.WorkType = fetched.WorkType;
  IndexRecord(indexNum);
}

void MASCitationChain::IndexRecord(int32_t indexNum) {
  const CCRecord& r = m_records[static_cast<size_t>(indexNum)];
  if (!r.PK.empty()) m_byPK.Add(LowerCaseText(r.PK), indexNum);
  m_byTitle.Add(LowerCaseText(r.Title), indexNum);
  if (!r.AK.empty()) m_byAK.Add(r.AK, indexNum);
}

void MASCitationChain::UnindexRecord(int32_t indexNum) {
  const CCRecord& r = m_records[static_cast<size_t>(indexNum)];
  if (!r.PK.empty()) m_byPK.Remove(LowerCaseText(r.PK), indexNum);
  m_byTitle.Remove(LowerCaseText(r.Title), indexNum);
  if (!r.AK.empty()) m_byAK.Remove(r.AK, indexNum);
}

}  // namespace wendrel
