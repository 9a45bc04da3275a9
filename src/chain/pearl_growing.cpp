// Pearl growing: adding a pearl with its cited and citing articles page by page, the merge rule
// and relation counts, removing pearls, suppressing articles, resolving an ID from a reference.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <map>

#include "chain/citation_chain.h"
#include "chain/duplicate_rule.h"
#include "platform/text_encoding.h"
#include "platform/web_text.h"
#include "search_client/result_set.h"

namespace wendrel {

namespace {

constexpr int32_t kPageSize = 100;
constexpr const char* kApplicationTitle = "Wendrel Search";
constexpr const char* kNoResponse = "Cannot retrieve document summary record: No response from server";

// The counts are 16-bit and the ages 8-bit; both stop at their largest value instead of wrapping.
void CountUp(int16_t& count) {
  if (count < std::numeric_limits<int16_t>::max()) ++count;
}
void AgeUp(uint8_t& age) {
  if (age < std::numeric_limits<uint8_t>::max()) ++age;
}

// Removes every occurrence of the token; true when there was one.
bool RemoveToken(std::string& list, const std::string& token) {
  bool found = false;
  for (size_t at = list.find(token); at != std::string::npos; at = list.find(token, at)) {
    list.erase(at, token.size());
    found = true;
  }
  return found;
}

int32_t Pages(int32_t articles) { return articles > 0 ? (articles + kPageSize - 1) / kPageSize : 0; }

// The articles a page asks for: a full hundred, or with a limit the rest up to it.
int32_t PageAsk(int32_t page, int32_t asked, bool limited) {
  return limited ? std::min(kPageSize, asked - (page - 1) * kPageSize) : kPageSize;
}

// True when an earlier growth merged the page asking for at least as many articles.
bool HasPage(const std::map<int32_t, int32_t>& had, int32_t page, int32_t ask) {
  auto found = had.find(page);
  return found != had.end() && found->second >= ask;
}

int32_t PagesHad(const std::map<int32_t, int32_t>& had, int32_t asked, bool limited) {
  int32_t count = 0;
  for (int32_t page = 1; page <= Pages(asked); ++page) count += HasPage(had, page, PageAsk(page, asked, limited));
  return count;
}

// The citing articles the merged pages cover without a gap from the first.
int32_t CoveredArticles(const std::map<int32_t, int32_t>& had) {
  int32_t covered = 0;
  for (int32_t page = 1;; ++page) {
    auto found = had.find(page);
    if (found == had.end()) return covered;
    covered = (page - 1) * kPageSize + found->second;
    if (found->second < kPageSize) return covered;
  }
}

int32_t NamedArticles(const std::vector<CCRecord>& page) {
  int32_t named = 0;
  for (size_t k = 1; k < page.size(); ++k) named += !NamesNoArticle(page[k]);
  return named;
}

// The "###" pattern: a whole number without leading zeros, nothing for less than one half.
std::string WholeSeconds(double seconds) {
  long long rounded = std::llround(seconds);
  return rounded < 1 ? std::string() : std::to_string(rounded);
}

}  // namespace

void MASCitationChain::BeginOperation() {
  if (m_busyDepth != 0) return;
  m_interrupted = false;
  m_failedRequests = 0;
  m_lastRequestError.clear();
}

void MASCitationChain::RequestFailed(const std::string& reason) {
  ++m_failedRequests;
  m_lastRequestError = reason;
  m_requestFailed = true;
}

bool MASCitationChain::StopNow() {
  if (m_events.StopRequested && m_events.StopRequested()) m_interrupted = true;
  return m_interrupted;
}

void MASCitationChain::RaisePageDone(const MergedPage& merged, std::optional<double> secondsLeft) {
  if (m_events.PageDone) m_events.PageDone({m_pagesDone, std::max(m_pagesDone, m_pagesNeeded), merged, secondsLeft});
}

void MASCitationChain::StartGrowth(const GrowthStep& step) {
  if (m_journal) m_journal->GrowthStarted(step);
  if (m_events.GrowthStarted) m_events.GrowthStarted(step);
}

void MASCitationChain::AgeRelations() {
  for (size_t i = 1; i < m_records.size(); ++i) {
    CCRecord& r = m_records[i];
    if (r.IsCiting) AgeUp(r.CitingAge);
    if (r.IsCited) AgeUp(r.CitedAge);
  }
}

std::vector<int32_t> MASCitationChain::MergePage(const std::vector<CCRecord>& page, int32_t pearlIndex,
                                                 PearlRelation relation) {
  const std::string token = RelationToken(pearlIndex);
  const bool resuming = pearlIndex != 0 && pearlIndex == m_resumingPearl;
  const bool refreshing = m_refreshing && pearlIndex == m_refreshing->pearl;
  // An age of 0 on a list member means it was already counted for this pearl, and so does the
  // pearl's token when its growth goes on from an earlier one; the stored metadata is kept and
  // the incoming copy dropped.
  auto relate = [&](bool& member, int16_t& count, uint8_t& age, std::string& list) {
    const bool counted = member && (age == 0 || (resuming && list.find(token) != std::string::npos));
    if (!counted) {
      member = true;
      CountUp(count);
      list += token;
    }
    age = 0;
  };
  std::vector<int32_t> touched;
  for (size_t k = 1; k < page.size(); ++k) {
    const CCRecord& incoming = page[k];
    if (NamesNoArticle(incoming)) continue;
    int32_t i = FindArticle(incoming);
    if (i == 0) {
      CCRecord added = incoming;
      added.IsPearl = false;
      added.IsCited = false;
      added.IsCiting = false;
      added.CitedAge = 0;
      added.CitingAge = 0;
      i = AppendRecord(std::move(added));
      m_screenings.SetGeneration(i, m_screenings.PearlGeneration(pearlIndex));
      m_screenings.SetFirstRun(i, m_screenings.Run());
    } else if (refreshing && incoming.Retracted && !m_records[static_cast<size_t>(i)].Retracted) {
      // A refresh takes a retraction the service reports now; the rest of the stored record stays.
      m_records[static_cast<size_t>(i)].Retracted = true;
      m_refreshing->retracted.push_back(i);
    }
    if (std::find(touched.begin(), touched.end(), i) == touched.end()) touched.push_back(i);
    CCRecord& r = m_records[static_cast<size_t>(i)];
    if (relation == PearlRelation::Cited) {
      relate(r.IsCited, r.CitedByPearls, r.CitedAge, r.CitedPearlList);
    } else {
      relate(r.IsCiting, r.CitesPearls, r.CitingAge, r.CitingPearlList);
    }
  }
  return touched;
}

bool MASCitationChain::Capped(int32_t indexNum) const {
  const GrownPages* grown = Grown(indexNum);
  return grown && grown->citingLimit >= 0 && grown->citingLimit < m_records[static_cast<size_t>(indexNum)].CitationCount;
}

const GrownPages* MASCitationChain::Grown(int32_t indexNum) const {
  auto found = m_grown.find(indexNum);
  return found == m_grown.end() ? nullptr : &found->second;
}

bool MASCitationChain::AddPearl(int32_t& indexNum, const std::string& pk, const std::string&, int32_t& citingAsked,
                                Caption& callingForm) {
  BeginOperation();
  m_lastRefusal = PearlRefusal::None;
  RaisePhase(PearlPhase::Begin);
  int32_t pearl = indexNum;
  if (pearl != 0) {
    if (!Holds(pearl)) return Refuse(PearlRefusal::Unknown);
    if (m_records[static_cast<size_t>(pearl)].IsPearl && !Unresolved(pearl) && !PartlyGrown(pearl) &&
        !Capped(pearl)) {
      m_host.MessageBox("Record already in Pearl list", kApplicationTitle, MessageIcon::Information,
                        MessageButtons::Ok);
      return Refuse(PearlRefusal::AlreadyPearl);
    }
  } else {
    if (!IsUsableID(pk)) return Refuse(PearlRefusal::UnusableID);
    pearl = FindIndex(pk, "", "");
    // Growing a pearl a second time would count each of its relations twice.
    if (pearl != 0 && m_records[static_cast<size_t>(pearl)].IsPearl && !Unresolved(pearl) && !PartlyGrown(pearl) &&
        !Capped(pearl))
      return Refuse(PearlRefusal::AlreadyPearl);
  }
  BusyScope busy(*this);
  // A pearl known only by its ID, or only by what a file held, needs its record first; without
  // it the pearl would be saved blank or keep data the service may not confirm, so it is refused
  // and the table stays as it was.
  if (pearl == 0 || m_records[static_cast<size_t>(pearl)].Title.empty() || Unresolved(pearl)) {
    RaisePhase(PearlPhase::Record);
    std::optional<CCRecord> fetched = RetrievePearlRecord(pk, callingForm);
    if (!fetched) return false;
    if (pearl == 0) {
      pearl = AppendRecord(std::move(*fetched));
    } else {
      ReplaceMetadata(pearl, *fetched);
    }
  }
  indexNum = pearl;
  m_unresolved.erase(pearl);
  GrowPearl(pearl, pk, citingAsked, callingForm);
  AppendEvent("ADD", m_records[static_cast<size_t>(pearl)]);
  return true;
}

std::optional<PearlRefresh> MASCitationChain::RefreshPearl(int32_t pearl, Caption& callingForm) {
  BeginOperation();
  m_lastRefusal = PearlRefusal::None;
  RaisePhase(PearlPhase::Begin);
  if (!Holds(pearl) || !m_records[static_cast<size_t>(pearl)].IsPearl || Unresolved(pearl)) {
    Refuse(PearlRefusal::NotPearl);
    return std::nullopt;
  }
  BusyScope busy(*this);
  const CCRecord before = m_records[static_cast<size_t>(pearl)];
  RaisePhase(PearlPhase::Record);
  std::optional<CCRecord> fetched = RetrievePearlRecord(before.PK, callingForm);
  if (!fetched) return std::nullopt;
  ReplaceMetadata(pearl, *fetched);
  const CCRecord& now = m_records[static_cast<size_t>(pearl)];
  PearlRefresh refresh;
  refresh.pearl = pearl;
  refresh.referencesBefore = before.ReferenceCount;
  refresh.referencesNow = now.ReferenceCount;
  refresh.citationsBefore = before.CitationCount;
  refresh.citationsNow = now.CitationCount;
  if (now.Retracted && !before.Retracted) refresh.retracted.push_back(pearl);

  // What the pearl's lists held before, to tell what the service no longer returns.
  const std::string token = RelationToken(pearl);
  std::vector<int32_t> related[2];
  for (int32_t i = 1; i <= Count(); ++i) {
    const CCRecord& r = m_records[static_cast<size_t>(i)];
    if (r.CitedPearlList.find(token) != std::string::npos) related[0].push_back(i);
    if (r.CitingPearlList.find(token) != std::string::npos) related[1].push_back(i);
  }
  const int32_t countBefore = Count();
  m_refreshing = RefreshWork{pearl, {}, {}, {GrowthEnd::Stopped, GrowthEnd::Stopped}};
  struct RefreshReset {
    std::optional<RefreshWork>& work;
    ~RefreshReset() { work.reset(); }
  } refreshReset{m_refreshing};
  int32_t citingAsked = 0;
  GrowPearl(pearl, before.PK, citingAsked, callingForm);

  for (int32_t i = countBefore + 1; i <= Count(); ++i) refresh.added.push_back(i);
  bool complete = true;
  for (int direction = 0; direction < 2; ++direction) {
    const GrowthEnd end = m_refreshing->end[direction];
    if (end != GrowthEnd::Complete && end != GrowthEnd::Capped) {
      complete = false;
      continue;
    }
    for (int32_t i : related[direction])
      if (!m_refreshing->returned[direction].contains(i)) refresh.unlisted.push_back(i);
  }
  refresh.complete = complete;
  std::sort(refresh.unlisted.begin(), refresh.unlisted.end());
  refresh.unlisted.erase(std::unique(refresh.unlisted.begin(), refresh.unlisted.end()), refresh.unlisted.end());
  refresh.retracted.insert(refresh.retracted.end(), m_refreshing->retracted.begin(), m_refreshing->retracted.end());
  return refresh;
}

void MASCitationChain::GrowPearl(int32_t pearl, const std::string& pk, int32_t& citingAsked, Caption& callingForm) {
  m_growingIndex = pearl;
  // A stopped, failed or capped growth goes on from the pages it has, and a refresh fetches every
  // page again: either way its relations stay and an article related to it is not counted again.
  m_resumingPearl = PartlyGrown(pearl) || Capped(pearl) || m_refreshing ? pearl : 0;
  struct GrowingReset {
    int32_t& index;
    int32_t& resuming;
    ~GrowingReset() { index = resuming = 0; }
  } growingReset{m_growingIndex, m_resumingPearl};

  m_requestFailed = false;
  TakePearlGeneration(pearl);
  AgeRelations();
  m_records[static_cast<size_t>(pearl)].IsPearl = true;
  if (std::find(m_pearlOrder.begin(), m_pearlOrder.end(), pearl) == m_pearlOrder.end()) m_pearlOrder.push_back(pearl);
  m_pagesDone = 0;
  const GrownPages& had = PagesToSkip(pearl);
  const int32_t references = m_records[static_cast<size_t>(pearl)].ReferenceCount;
  const int32_t citations = m_records[static_cast<size_t>(pearl)].CitationCount;
  m_pagesNeeded = Pages(references) - PagesHad(had.cited, references, false) + Pages(citations) -
                  PagesHad(had.citing, citations, false);
  if (m_journal) m_journal->PearlStarted(pearl);
  Raise(m_events.PearlAdded);

  GrowCited(pearl, pk, callingForm);
  Raise(m_events.CitedAdded);

  citingAsked = GrowCiting(pearl, pk, callingForm);
  Raise(m_events.CitingAdded);

  if (m_interrupted || m_requestFailed) {
    m_partlyGrown.insert(pearl);
  } else {
    m_partlyGrown.erase(pearl);
  }
  if (m_journal) m_journal->PearlEnded(pearl);
}

const GrownPages& MASCitationChain::PagesToSkip(int32_t pearl) {
  static const GrownPages kNone;
  return m_refreshing && m_refreshing->pearl == pearl ? kNone : m_grown[pearl];
}

std::optional<CCRecord> MASCitationChain::RetrievePearlRecord(const std::string& pk, Caption& callingForm) {
  callingForm.SetCaption("Retrieving Pearl meta-data");
  m_host.DoEvents();
  ResultSet results(m_host, m_http, m_baseAddress);
  if (!results.RequestMASRetrieve(m_applicationId, pk)) {
    m_lastRefusal = PearlRefusal::NoResponse;
    // A request the user stopped failed as asked: there is nothing to report.
    if (StopNow()) return std::nullopt;
    RequestFailed(results.LastError());
    m_host.MessageBox(kNoResponse, "Retrieving target document data", MessageIcon::Critical, MessageButtons::Ok);
    return std::nullopt;
  }
  std::vector<CCRecord> fetched = results.ResultRecords();
  if (fetched.size() < 2 || NamesNoArticle(fetched[1])) {
    m_lastRefusal = PearlRefusal::NotFound;
    return std::nullopt;
  }
  CCRecord pearl = std::move(fetched[1]);
  pearl.IsPearl = pearl.IsCited = pearl.IsCiting = false;
  pearl.CitedAge = pearl.CitingAge = 0;
  return pearl;
}

void MASCitationChain::GrowCited(int32_t indexNum, const std::string& pk, Caption& callingForm) {
  const CCRecord& pearl = m_records[static_cast<size_t>(indexNum)];
  const int32_t references = pearl.ReferenceCount;
  const GrownPages& grown = PagesToSkip(indexNum);
  const GrowthStep step{indexNum, PearlRelation::Cited, references, references, Pages(references),
                        PagesHad(grown.cited, references, false)};
  const int32_t failedBefore = m_failedRequests;
  callingForm.SetCaption("Retrieving articles CITED BY " + pearl.Title);
  RaisePhase(PearlPhase::Cited);
  StartGrowth(step);
  ResultSet results(m_host, m_http, m_baseAddress);
  for (int32_t start = 1; start <= references; start += kPageSize) {
    const int32_t page = (start - 1) / kPageSize + 1;
    if (HasPage(grown.cited, page, kPageSize)) continue;
    if (StopNow()) break;
    if (!results.RequestMASCitedArticles(m_applicationId, pk, start, kPageSize)) {
      if (StopNow()) break;
      RequestFailed(results.LastError());
      m_host.MessageBox(kNoResponse, "Retrieving cited document data", MessageIcon::Critical, MessageButtons::Ok);
      continue;
    }
    callingForm.SetCaption(callingForm.GetCaption() + ".");
    m_host.DoEvents();
    RaisePageDone(PageMerged(results, indexNum, PearlRelation::Cited, page, kPageSize), std::nullopt);
  }
  EndGrowth(step, failedBefore, false);
}

MergedPage MASCitationChain::PageMerged(const ResultSet& results, int32_t pearl, PearlRelation relation, int32_t page,
                                        int32_t ask) {
  const std::vector<CCRecord> records = results.ResultRecords();
  MergedPage merged{pearl, relation, page, ask, results.TotalItems(), NamedArticles(records), {}};
  merged.touched = MergePage(records, pearl, relation);
  if (m_refreshing && m_refreshing->pearl == pearl)
    m_refreshing->returned[relation == PearlRelation::Cited ? 0 : 1].insert(merged.touched.begin(), merged.touched.end());
  GrownPages& grown = m_grown[pearl];
  (relation == PearlRelation::Cited ? grown.cited : grown.citing)[page] = ask;
  ++m_pagesDone;
  if (m_journal) m_journal->PageMerged(merged);
  return merged;
}

void MASCitationChain::EndGrowth(const GrowthStep& step, int32_t failedBefore, bool limited) {
  GrowthEnd end = GrowthEnd::Complete;
  if (m_interrupted) {
    end = GrowthEnd::Stopped;
  } else if (m_failedRequests != failedBefore) {
    end = GrowthEnd::Failed;
  } else if (limited) {
    end = GrowthEnd::Capped;
  }
  if (step.relation == PearlRelation::Citing) {
    // A later growth with a lower limit does not make the pages beyond it missing.
    GrownPages& grown = m_grown[step.pearl];
    grown.citingLimit = std::max(step.asked, CoveredArticles(grown.citing));
  }
  if (m_refreshing && m_refreshing->pearl == step.pearl)
    m_refreshing->end[step.relation == PearlRelation::Cited ? 0 : 1] = end;
  if (m_journal) m_journal->GrowthEnded(step, end);
}

int32_t MASCitationChain::GrowCiting(int32_t indexNum, const std::string& pk, Caption& callingForm) {
  const std::string title = m_records[static_cast<size_t>(indexNum)].Title;
  const int32_t citations = m_records[static_cast<size_t>(indexNum)].CitationCount;
  callingForm.SetCaption("Retrieving articles CITING " + title);
  RaisePhase(PearlPhase::Citing);
  int32_t citingAsked = citations;
  bool limited = false;
  if (citations > m_largeCitationLimit && !StopNow()) {
    // During a load the question may be answered once for the rest of the pearls.
    MessageResult answer = m_limitForAll.value_or(MessageResult::No);
    if (!m_limitForAll) {
      answer = m_host.MessageBox(
          title + " has a large citation count (" + std::to_string(citations) +
              " times). This may take some time to download. Click YES to limit the number of retrieved records to the " +
              std::to_string(m_largeCitationLimit) + " most cited",
          "XCR", MessageIcon::None, m_loading ? MessageButtons::YesNoToAll : MessageButtons::YesNo);
      if (answer == MessageResult::YesToAll || answer == MessageResult::NoToAll) m_limitForAll = answer;
    }
    if (answer == MessageResult::Yes || answer == MessageResult::YesToAll) {
      citingAsked = m_largeCitationLimit;
      limited = true;
    }
  }
  const GrownPages& grown = PagesToSkip(indexNum);
  const GrowthStep step{indexNum,         PearlRelation::Citing, citations, citingAsked, Pages(citingAsked),
                        PagesHad(grown.citing, citingAsked, limited)};
  const int32_t failedBefore = m_failedRequests;
  m_pagesNeeded = m_pagesDone + step.pagesNeeded - step.pagesHad;
  StartGrowth(step);
  const std::string shortTitle = FirstCodePoints(title, 64);
  ResultSet results(m_host, m_http, m_baseAddress);
  for (int32_t start = 1; start <= citingAsked; start += kPageSize) {
    // With a limit the last page stops at it; without one every page asks for a full hundred.
    const int32_t page = (start - 1) / kPageSize + 1;
    const int32_t count = PageAsk(page, citingAsked, limited);
    if (HasPage(grown.citing, page, count)) continue;
    if (StopNow()) break;
    const auto began = std::chrono::steady_clock::now();
    if (!results.RequestMASCitingArticles(m_applicationId, pk, start, count)) {
      if (StopNow()) break;
      RequestFailed(results.LastError());
      continue;
    }
    m_host.DoEvents();
    const MergedPage merged = PageMerged(results, indexNum, PearlRelation::Citing, page, count);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const double remaining = (static_cast<double>(citingAsked - start) / kPageSize) * seconds;
    callingForm.SetCaption("Retrieving articles CITING " + shortTitle + "... [" + WholeSeconds(remaining) +
                           " seconds remaining]");
    RaisePageDone(merged, remaining);
  }
  EndGrowth(step, failedBefore, limited && citingAsked < citations);
  return citingAsked;
}

bool MASCitationChain::RemovePearl(int32_t indexNum) {
  if (!Holds(indexNum)) return false;
  m_records[static_cast<size_t>(indexNum)].IsPearl = false;
  std::erase(m_pearlOrder, indexNum);
  m_partlyGrown.erase(indexNum);
  m_grown.erase(indexNum);
  const std::vector<int32_t> touched = DropRelations(indexNum);
  if (m_journal) m_journal->PearlRemoved(indexNum, touched);
  AppendEvent("REMOVE", m_records[static_cast<size_t>(indexNum)]);
  return true;
}

std::vector<int32_t> MASCitationChain::DropRelations(int32_t pearlIndex) {
  const std::string token = RelationToken(pearlIndex);
  std::vector<int32_t> touched;
  for (size_t i = 1; i < m_records.size(); ++i) {
    CCRecord& r = m_records[i];
    bool dropped = false;
    if (RemoveToken(r.CitedPearlList, token)) {
      if (r.CitedByPearls > 0) --r.CitedByPearls;
      if (r.CitedByPearls == 0) r.IsCited = false;
      dropped = true;
    }
    if (RemoveToken(r.CitingPearlList, token)) {
      if (r.CitesPearls > 0) --r.CitesPearls;
      if (r.CitesPearls == 0) r.IsCiting = false;
      dropped = true;
    }
    if (dropped) touched.push_back(static_cast<int32_t>(i));
  }
  return touched;
}

bool MASCitationChain::SuppressDoc(int32_t indexNum) {
  if (!Holds(indexNum)) return false;
  CCRecord& r = m_records[static_cast<size_t>(indexNum)];
  if (r.IsPearl) {
    m_host.MessageBox("This article is a member of your Pearl List. Remove from the Pearl List first and then delete",
                      kApplicationTitle, MessageIcon::Exclamation, MessageButtons::Ok);
    return false;
  }
  r.Suppressed = true;
  if (m_journal) m_journal->RecordChanged(indexNum);
  AppendEvent("SUPPRESS", r);
  return true;
}

std::string MASCitationChain::FindPKFromDOI(ResultSet& results, const std::string& doiKey) {
  if (!results.RequestDOISearch(m_applicationId, doiKey)) {
    RequestFailed(results.LastError());
    return {};
  }
  const std::vector<CCRecord> hits = results.ResultRecords();
  for (size_t i = 1; i < hits.size(); ++i) {
    if (DoiKey(hits[i].DOI) == doiKey) return hits[i].PK;
  }
  return {};
}

std::string MASCitationChain::FindPKFromRef(const std::string& title, std::string& firstAuthor, bool quiet,
                                            const std::string& doi, const std::string& year) {
  std::erase(firstAuthor, '.');
  BeginOperation();
  std::string found;
  std::string undated;  // a title hit without a DOI, taken when the DOI finds nothing
  const std::string wantedDoi = DoiKey(doi);
  ResultSet results(m_host, m_http, m_baseAddress);
  if (title.empty()) {
    // Only a DOI to go by (a plain seed list's entry): nothing to search by title.
  } else if (!results.RequestMASSearch(m_applicationId, 1, 10, "", title, firstAuthor, "", "", 0, 0)) {
    RequestFailed(results.LastError());
  } else {
    const std::string wanted = LowerCaseText(title);
    const std::string wantedYear = Trimmed(year);
    const std::vector<CCRecord> hits = results.ResultRecords();
    // The DOI decides first, then the year, then the first hit whose title matches.
    size_t byTitle = 0, byYear = 0;
    for (size_t i = 1; i < hits.size() && found.empty(); ++i) {
      const std::string hitDoi = DoiKey(hits[i].DOI);
      if (!wantedDoi.empty() && hitDoi == wantedDoi) found = hits[i].PK;
      const std::string hit = LowerCaseText(hits[i].Title);
      // An empty title would occur in every text and match any reference.
      if (hit.empty()) continue;
      if (wanted.find(FirstCodePoints(hit, 16)) == std::string::npos &&
          wanted.find(LastCodePoints(hit, 16)) == std::string::npos) {
        continue;
      }
      const bool sameYear = !wantedYear.empty() && Trimmed(hits[i].Year) == wantedYear;
      if (!wantedDoi.empty() && (!hitDoi.empty() || !sameYear)) continue;
      if (byTitle == 0) byTitle = i;
      if (byYear == 0 && sameYear) byYear = i;
    }
    if (found.empty() && (byYear != 0 || byTitle != 0)) {
      // With a DOI to go by, the only title hits left are of the same year without a DOI: the DOI
      // is asked for first, and one of them taken only when it finds nothing.
      (wantedDoi.empty() ? found : undated) = hits[byYear != 0 ? byYear : byTitle].PK;
    }
  }
  // A DOI no title hit bears is asked for directly: the title may be written otherwise there.
  if (found.empty() && !wantedDoi.empty()) found = FindPKFromDOI(results, wantedDoi);
  if (found.empty()) found = undated;
  if (!IsUsableID(found)) found = kUnresolvedMarker;
  if (found == kUnresolvedMarker && !quiet) {
    m_host.MessageBox("Failed to resolve Article ID for " + firstAuthor + ". " + title, "XCR", MessageIcon::Exclamation,
                      MessageButtons::Ok);
  }
  return found;
}

void MASCitationChain::TakePearlGeneration(int32_t pearl) {
  if (m_screenings.PearlGeneration(pearl) < 0) m_screenings.SetPearlGeneration(pearl, m_newPearlGeneration);
  m_screenings.SetGeneration(pearl, m_screenings.PearlGeneration(pearl));
  m_screenings.SetFirstRun(pearl, m_screenings.Run());
}

void MASCitationChain::AppendEvent(const char* type, const CCRecord& record) {
  m_eventHistory += std::string("<EVENT type=\"") + type + "\" ut=\"" + record.PK + "\" recid=\"" + record.AK +
                    "\" author=\"" + record.FirstAuthor + "\" year=\"" + record.Year + "\"/>\r\n";
}

}  // namespace wendrel
