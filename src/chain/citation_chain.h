// MASCitationChain: the session's record store of articles, pearl growing over the academic
// search service, and the RIS and Web of Science files of its lists.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "chain/chain_error.h"
#include "chain/chain_journal.h"
#include "chain/record_index.h"
#include "chain/screening.h"
#include "platform/host.h"
#include "platform/http_client.h"
#include "search_client/cc_record.h"

namespace wendrel {

struct RisReference;
class ResultSet;

// Why the last AddPearl refused its pearl.
enum class PearlRefusal {
  None,          // it was added
  Unknown,       // no such record number
  AlreadyPearl,  // the record is a pearl already (and not an unresolved one)
  UnusableID,    // the ID is empty or a marker (IsUsableID)
  NoResponse,    // the request for the pearl's record got no reply
  NotFound,      // the service replied without a publication for the ID
  NotPearl,      // RefreshPearl: the record is no pearl, or one kept unresolved from a file
};

// What growing a pearl again afresh (RefreshPearl) found changed since its last growth.
struct PearlRefresh {
  int32_t pearl = 0;
  // Both directions were fetched again to their end (the citing list up to the limit as set); a
  // stopped or failed refresh reports no article as unlisted.
  bool complete = false;
  std::vector<int32_t> added;     // articles new to the chain, in table order
  // Articles related to the pearl before, in a direction fetched again to its end, that the
  // service no longer returned for it. They keep their relation and counts (nothing is dropped);
  // the owner reports them.
  std::vector<int32_t> unlisted;
  // The pearl or an article it returned, marked retracted now and not before.
  std::vector<int32_t> retracted;
  int32_t referencesBefore = 0, referencesNow = 0;  // the pearl record's ReferenceCount
  int32_t citationsBefore = 0, citationsNow = 0;    // and its CitationCount

  bool CountsChanged() const { return referencesBefore != referencesNow || citationsBefore != citationsNow; }
};

// The lists of a session, as the window shows them and the exports write them.
enum class ChainList : uint8_t { Pearls, Cited, Citing };

// The steps of one AddPearl, in this order: Begin, at once (also for a pearl then refused); Record,
// only when the pearl's record must be retrieved; then Cited and Citing, each followed by its
// GrowthStarted once the pages it needs are known.
enum class PearlPhase { Begin, Record, Cited, Citing };

// A page of the growing pearl merged.
struct PageProgress {
  // Pages merged for the pearl so far and pages it needs (references and citing articles together;
  // the total can shrink once the citing limit is decided).
  int32_t page = 0;
  int32_t pages = 0;
  const MergedPage& merged;
  // The time the chain estimates its citing pages still take; none after a page of references.
  std::optional<double> secondsLeft{};
};

// Callbacks to the chain's owner while a pearl is added or a file loads. Any may be left empty.
struct ChainEvents {
  std::function<void()> PearlAdded{};   // the pearl's record is in place
  std::function<void()> CitedAdded{};   // its cited articles are merged
  std::function<void()> CitingAdded{};  // its citing articles are merged
  // Where AddPearl stands (GrowingIndex names the pearl once its record is in place).
  std::function<void(PearlPhase phase)> PhaseStarted{};
  // A direction of the growing pearl starts, with the citing limit decided: the articles asked for,
  // the pages they need and those merged before.
  std::function<void(const GrowthStep& step)> GrowthStarted{};
  std::function<void(const PageProgress& progress)> PageDone{};
  // Before each record of a file import is grown: its position (from 1) and the number of records.
  std::function<void(int32_t item, int32_t items)> ImportItem{};
  // Asked before each further page and each further record of an import; true stops there, and
  // what was merged so far stays (the pearl keeps the pages it has).
  std::function<bool()> StopRequested{};
};

// The one record table of a session. Records are numbered from 1 to Count and keep their number
// for the whole session (relation lists hold these numbers); slot 0 is an empty record that is
// never filled, searched or exported. The Pearl, Cited and Citing Lists are the flags IsPearl,
// IsCited and IsCiting of these records. Records are only ever appended; only Clear empties the
// table. Look-ups go through hash indexes that answer what a scan from record 1 upward would.
// The chain also remembers the order in which the pearls were added (the order of the saved
// Pearl List) and which pearls came from a file without their record being retrieved.
//
// Pearl growing asks the academic search service through a fresh ResultSet per phase, on the
// given HttpClient and base address; messages, questions, the busy pointer and event-loop turns
// go through the Host, progress into the caption of the CallingForm handed to each operation (for
// people to read) and into the ChainEvents (for programs: captions may be reworded).
// Everything runs on the caller's thread; the owner must keep a second operation from starting
// while one yields to the event loop.
class MASCitationChain {
 public:
  MASCitationChain(Host& host, HttpClient& http, std::string baseAddress);

  // --- Properties ---
  const std::string& ApplicationID() const { return m_applicationId; }
  void SetApplicationID(std::string applicationId) { m_applicationId = std::move(applicationId); }
  // One event line per pearl addition, removal or suppression, each ended by CR LF.
  const std::string& EventHistory() const { return m_eventHistory; }
  std::string CCType() const { return "MAS"; }
  int32_t Count() const { return static_cast<int32_t>(m_records.size()) - 1; }
  int32_t IndexSize() const { return Count(); }
  // Above this citation count AddPearl asks whether to fetch only this many (the most cited)
  // citing articles. 500 unless the owner sets another.
  int32_t LargeCitationLimit() const { return m_largeCitationLimit; }
  void SetLargeCitationLimit(int32_t limit) { m_largeCitationLimit = limit; }
  // The record AddPearl is working on while it runs (for the event handlers); 0 otherwise.
  int32_t GrowingIndex() const { return m_growingIndex; }
  void SetEvents(ChainEvents events) { m_events = std::move(events); }
  // True when the last AddPearl or ImportRIS left pages or records out because StopRequested
  // said so.
  bool Interrupted() const { return m_interrupted; }
  // Requests of the last AddPearl, ImportRIS or FindPKFromRef that got no usable reply, and why the
  // latest of them failed ("Connection refused", "cancelled"); 0 and empty when all were answered.
  int32_t FailedRequests() const { return m_failedRequests; }
  const std::string& LastRequestError() const { return m_lastRequestError; }
  // Why the last AddPearl returned false; None after one that added its pearl.
  PearlRefusal LastRefusal() const { return m_lastRefusal; }
  // The pearls' record numbers in the order they were added (a pearl removed and added again
  // goes to the end): the order of the saved Pearl List.
  const std::vector<int32_t>& PearlOrder() const { return m_pearlOrder; }
  // True for a pearl loaded from a file whose record could not be retrieved: it holds what the
  // file held and has no relations. It stays so when removed from the Pearl List; AddPearl
  // retrieves it again.
  bool Unresolved(int32_t indexNum) const { return m_unresolved.count(indexNum) != 0; }
  // True for a pearl whose growth was stopped, or lost a request to the service, before all its
  // pages were merged; AddPearl grows it again, and a complete growth or RemovePearl clears the mark.
  bool PartlyGrown(int32_t indexNum) const { return m_partlyGrown.contains(indexNum); }
  // The references the last ImportRIS could not resolve (or resolved only to a pearl it kept as the
  // file held it), each named by first author, year, title and DOI as far as the file gives them;
  // empty after a load that resolved every reference.
  const std::vector<std::string>& ImportFailures() const { return m_importFailures; }
  // True for a pearl whose citing articles were limited to fewer than its citation count; AddPearl
  // grows it again, fetching only the pages beyond what it has when the limit is higher or lifted.
  bool Capped(int32_t indexNum) const;
  // The pages the pearl's growths have merged; none for a record that was never grown.
  const GrownPages* Grown(int32_t indexNum) const;
  // Told of every change growing, removing and suppressing make; none when null. The journal must
  // outlive the chain or be taken away first.
  void SetJournal(ChainJournal* journal) { m_journal = journal; }
  // Puts the table back as a session file kept it: the records in their numbering, the pearl
  // order, the unresolved and partly grown marks and the pages grown; the application ID, the
  // events and the journal stay. Throws ChainError, with the chain unchanged, when the state does
  // not hold together (a pearl number outside the records).
  void RestoreState(ChainState state);
  // The screening of the chain's articles (decisions, labels, notes, known papers, generations),
  // by record number; emptied with the table by Clear.
  ScreeningBook& Screenings() { return m_screenings; }
  const ScreeningBook& Screenings() const { return m_screenings; }
  // The generation of a pearl added from now on that has none yet (0, the seeds, unless set): the
  // articles its growth brings new are of its generation. A session sets it while it grows the
  // pearls it queued for a later generation; a pearl grown again keeps the generation it had.
  int32_t NewPearlGeneration() const { return m_newPearlGeneration; }
  void SetNewPearlGeneration(int32_t generation) { m_newPearlGeneration = generation; }

  // --- Store and look-ups ---
  // Empties the table and the event history; the application ID is kept.
  void Clear();
  // A copy of the record; an all-empty record for 0, negative numbers and numbers above Count.
  CCRecord GetRecord(int32_t indexNum) const;
  // The first record whose PK, lower-cased, equals `pk` as given; else the first whose Title
  // equals `title` ignoring case; else the first whose AK equals `ak`. Empty keys are skipped; 0
  // when nothing matches. This is FindArticle for a caller that knows no year or author.
  int32_t FindIndex(const std::string& pk, const std::string& ak, const std::string& title) const;
  // The duplicate rule of the chain, as page merges apply it: the record whose PK, lower-cased,
  // equals the article's PK as given (when it is a usable ID); else the first record with its Title
  // ignoring case that may be the same work. Between two records that both carry a usable ID, and
  // different ones, that takes the year (within one) and the first author's last name to agree as
  // well (MayBeSameWork), so that namesakes ("Editorial", "Reply") stay apart while the same work
  // listed under two IDs is stored once; a record without a usable ID is matched by title alone.
  // 0 when nothing matches.
  int32_t FindArticle(const CCRecord& article) const;
  // The first record whose Title equals `title` ignoring case; 0 when none.
  int32_t TitleIndex(const std::string& title) const;
  // The first record whose AK is the whole number `clusterId`; an AK that is not a whole number
  // matches nothing.
  int32_t ClusterIDIndex(int32_t clusterId) const;
  // FirstAuthor (Year) Title Source: the one-line citation of a record.
  std::string Reference(int32_t indexNum) const;
  // CoAuthors, Year, Title, Source, PubType, Abstract.
  std::array<std::string, 6> IndexItemStrArr(int32_t indexNum) const;
  // Field 0: the AK of the last record; 1: its Title; anything else: empty.
  std::string LastFieldValue(int32_t field) const;
  // Part of the interface the window calls; this service offers no way to complete a record, so
  // both find nothing (an empty text) and change nothing.
  std::string FindPK(int32_t indexNum, bool quiet, bool noRecId) const;
  std::string FindDOI(int32_t indexNum, bool quiet) const;

  // --- Pearl growing ---
  // Makes a record a pearl and grows the chain around it: fetches the pearl's own record when only
  // its ID is known, then its references and its citing articles page by page, merging every page.
  // indexNum: the record's number, or 0 to find (or append) the record by `pk`; on success it holds
  // the pearl's number. `pk` is used for every request; `ak` is accepted and not used. citingAsked is
  // set to the number of citing articles asked for: all of them, or the limit when the
  // large-citation question was answered Yes; it limits nothing itself. False, with nothing changed (LastRefusal says
  // why), when the record is already a pearl (a message says so when asked by number), `pk` is no
  // usable ID, or the pearl's record is needed and cannot be retrieved: no reply (the message
  // "Cannot retrieve document summary record: No response from server") or no publication for the
  // ID. An unresolved pearl is retrieved and grown again; a partly grown or capped pearl is grown on:
  // its relations stay, only the pages it lacks are fetched, and an article already related to it
  // is not counted again.
  bool AddPearl(int32_t& indexNum, const std::string& pk, const std::string& ak, int32_t& citingAsked,
                Caption& callingForm);
  // Grows a pearl again afresh: its record is retrieved again (counts, retracted mark), every page
  // of both directions is fetched again (the citing limit as set now, asking the large-citation
  // question as AddPearl does) and merged, an article already related to the pearl not being counted
  // again. Says what changed; none, with nothing changed (LastRefusal says why), when the record is
  // no grown pearl (NotPearl) or its record cannot be retrieved. A refresh that is stopped or loses
  // a request leaves the pearl partly grown, as AddPearl does.
  std::optional<PearlRefresh> RefreshPearl(int32_t pearl, Caption& callingForm);
  // Clears IsPearl and takes the pearl out of every relation list and count; records stay.
  bool RemovePearl(int32_t indexNum);
  // Hides an article from the lists; refused (with a message) for a pearl.
  bool SuppressDoc(int32_t indexNum);
  // The ID of the article with this title and first author among the service's first ten hits, or
  // "N/A" (with a message unless quiet). Removes every "." from firstAuthor. With the reference's
  // DOI, the hit with that DOI (any case, with or without a resolver address) is chosen; hits with
  // another DOI are passed over, so a DOI that no hit bears gives "N/A" rather than a namesake.
  // With its year, a hit of that year is chosen before the first whose title matches. A DOI no
  // title hit bears (and a DOI without a title) is looked up by itself; only when that finds
  // nothing is a title hit without a DOI of the same year taken.
  std::string FindPKFromRef(const std::string& title, std::string& firstAuthor, bool quiet,
                            const std::string& doi = "", const std::string& year = "");

  // The two steps of AddPearl that touch the table, open to benchmarks and tests: ageing marks
  // the start of a pearl's pages; a page (slots 1 to n, as ResultRecords gives it) is merged so
  // that every article is stored once and counted at most once for the pearl `pearlIndex`.
  // MergePage gives the record numbers the page named, in page order without repeats.
  void AgeRelations();
  std::vector<int32_t> MergePage(const std::vector<CCRecord>& page, int32_t pearlIndex, PearlRelation relation);

  // --- Files ---
  // Makes every record of a RIS file a pearl: a record saved by ExportRIS by its ID, any other by
  // a search for its title and first author. Records that cannot be resolved are listed in one
  // message at the end, one a line (ImportFailures holds them too). A saved record whose own
  // record cannot be retrieved stays in the Pearl List as it was in the file, unresolved. Throws
  // ChainError, with the chain unchanged, when the file cannot be read. citingAsked: as AddPearl
  // sets it, for the last pearl grown.
  void ImportRIS(const std::string& fileName, int32_t& citingAsked, Caption& callingForm);
  // Writes the records of a list as RIS (RISText): the pearls in the
  // order they were added, the others in table order and without suppressed articles, as the
  // window lists them. True when at least one record was written. Throws ChainError, keeping any
  // previous file, when the file cannot be written.
  bool ExportRIS(const std::string& fileName, ChainList list) const;
  // Writes a list in the Web of Science tagged format (WOSText), with the records ExportRIS would
  // write; reports false in every case. Throws ChainError like ExportRIS.
  bool ExportWOS(const std::string& fileName, ChainList list) const;
  // The text of those files. RIS as reference managers read it: "TY  - JOUR" (CONF, GEN), the
  // service's ID as "AN  - MAS:<id>", one AU line per author, and only the fields that are known.
  std::string RISText(ChainList list) const;
  std::string WOSText(ChainList list) const;

 private:
  // Sets the busy pointer for the outermost of nested long operations (ImportRIS calls AddPearl).
  class BusyScope {
   public:
    explicit BusyScope(MASCitationChain& chain) : m_chain(chain) {
      if (m_chain.m_busyDepth++ == 0) m_chain.m_host.SetBusy(true);
    }
    ~BusyScope() {
      if (--m_chain.m_busyDepth == 0) m_chain.m_host.SetBusy(false);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

   private:
    MASCitationChain& m_chain;
  };

  bool Holds(int32_t indexNum) const { return indexNum >= 1 && indexNum <= Count(); }
  // The record numbers an export of a list writes, in the order it writes them.
  std::vector<int32_t> ListMembers(ChainList list) const;
  // Resets the interruption and the failed requests at the start of an outermost operation.
  void BeginOperation();
  void RequestFailed(const std::string& reason);
  bool Refuse(PearlRefusal refusal) {
    m_lastRefusal = refusal;
    return false;
  }
  int32_t AppendRecord(CCRecord record);
  // Takes the article's metadata from `fetched`; the record's list flags, counts, ages and
  // relation lists stay.
  void ReplaceMetadata(int32_t indexNum, const CCRecord& fetched);
  void IndexRecord(int32_t indexNum);
  void UnindexRecord(int32_t indexNum);
  void AppendEvent(const char* type, const CCRecord& record);
  // A record becoming a pearl takes its pearl generation (NewPearlGeneration when it has none),
  // and appears in it (and in the book's run) unless it appeared before.
  void TakePearlGeneration(int32_t pearl);
  // The growth of a pearl whose record is in place: ages, both directions page by page, the marks.
  void GrowPearl(int32_t pearl, const std::string& pk, int32_t& citingAsked, Caption& callingForm);
  // The pages of the pearl an earlier growth merged, which this growth need not fetch again; none
  // while the pearl is refreshed.
  const GrownPages& PagesToSkip(int32_t pearl);
  // The pearl's record from the service; none (LastRefusal set) when it cannot be retrieved.
  std::optional<CCRecord> RetrievePearlRecord(const std::string& pk, Caption& callingForm);
  // The ID of the first of the service's hits for a DOI that bears it (compared as DoiKey gives
  // it); empty when none does or the request failed.
  std::string FindPKFromDOI(ResultSet& results, const std::string& doiKey);
  // Keeps a saved pearl whose record cannot be retrieved as the file held it, unresolved.
  void KeepUnresolved(const std::string& pk, const RisReference& reference);
  // Takes the pearl out of every relation list and count; gives the records it was taken from.
  std::vector<int32_t> DropRelations(int32_t pearlIndex);
  void GrowCited(int32_t indexNum, const std::string& pk, Caption& callingForm);
  int32_t GrowCiting(int32_t indexNum, const std::string& pk, Caption& callingForm);
  // Merges a fetched page of the growing pearl, keeps it among the pearl's pages and tells the
  // journal; `ask` is the number of articles the page asked for.
  MergedPage PageMerged(const ResultSet& results, int32_t pearl, PearlRelation relation, int32_t page, int32_t ask);
  // Tells the journal how a direction ended; the citing one also sets the pearl's citing limit.
  void EndGrowth(const GrowthStep& step, int32_t failedBefore, bool limited);
  static void Raise(const std::function<void()>& event) {
    if (event) event();
  }
  // Asks StopRequested; remembers a yes in m_interrupted.
  bool StopNow();
  void RaisePageDone(const MergedPage& merged, std::optional<double> secondsLeft);
  void RaisePhase(PearlPhase phase) {
    if (m_events.PhaseStarted) m_events.PhaseStarted(phase);
  }
  void StartGrowth(const GrowthStep& step);

  Host& m_host;
  HttpClient& m_http;
  std::string m_baseAddress;
  std::string m_applicationId;
  std::string m_eventHistory;
  std::vector<CCRecord> m_records;  // slot 0 stays empty
  RecordIndex m_byPK;               // lower-cased PK (empty PKs are not indexed)
  RecordIndex m_byTitle;            // lower-cased Title, the empty title included
  RecordIndex m_byAK;               // AK as it is (empty AKs are not indexed)
  int32_t m_largeCitationLimit = 500;
  bool m_loading = false;  // ImportRIS runs: the large-citation question offers "to All"
  std::optional<MessageResult> m_limitForAll;  // its "Yes to All" or "No to All" for this load
  int32_t m_growingIndex = 0;
  int m_busyDepth = 0;
  bool m_interrupted = false;
  bool m_requestFailed = false;  // a request of the growing pearl got no usable reply
  std::unordered_set<int32_t> m_partlyGrown;
  int32_t m_pagesDone = 0;  // pages of the growing pearl
  int32_t m_pagesNeeded = 0;
  int32_t m_failedRequests = 0;
  std::string m_lastRequestError;
  PearlRefusal m_lastRefusal = PearlRefusal::None;
  std::vector<int32_t> m_pearlOrder;
  std::unordered_set<int32_t> m_unresolved;
  std::vector<std::string> m_importFailures;
  ChainEvents m_events;
  ChainJournal* m_journal = nullptr;
  ScreeningBook m_screenings;
  int32_t m_newPearlGeneration = 0;
  std::unordered_map<int32_t, GrownPages> m_grown;  // by pearl
  // The pearl grown on from what it has: its merges look for its token in the relation lists, as
  // the ages cannot tell what an earlier growth of it counted.
  int32_t m_resumingPearl = 0;
  // What a refresh collects while its pearl grows: the articles each direction returned, their
  // retraction marks, and how each direction ended.
  struct RefreshWork {
    int32_t pearl = 0;
    std::unordered_set<int32_t> returned[2];  // by PearlRelation
    std::vector<int32_t> retracted;
    GrowthEnd end[2] = {GrowthEnd::Stopped, GrowthEnd::Stopped};
  };
  std::optional<RefreshWork> m_refreshing;
};

}  // namespace wendrel
