// The session file: one SQLite file (.wendrel) that keeps a whole session of pearl growing (every
// article with the generation it first appeared in, the pearls in order, every relation with the
// fetch it came from, the fetch log, the queue of pearls still owed, the growth options, and the
// screening of the articles) and is written change by change as the chain grows and is screened.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "chain/citation_chain.h"

namespace wendrel {

class SqliteDb;
class SessionWriter;

// A file that cannot be opened or created as a session, with the reason in words a user can act on
// ("... is a corpus file of the local search service, not a session"). The file is left as it was.
class SessionError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The version of the program, as the build gives it ("0.3.0").
std::string ProgramVersion();

// The schema version this program writes and the newest it reads.
constexpr int32_t kSessionSchemaVersion = 2;

// How a fetch source is described in the fetch log: a corpus file by its name, size and
// modification time, OpenAlex by its address.
std::string CorpusSourceText(const std::string& corpusPath);
std::string OpenAlexSourceText(const std::string& address);
// A search service known only by its address (the command line's --service).
std::string ServiceSourceText(const std::string& address);

// A pearl asked for and not yet grown.
struct QueuedPearl {
  std::string pk;
  int32_t generation = 0;
};

// One line of the fetch log: one direction of one growth of one pearl.
struct FetchEntry {
  int64_t id = 0;
  int32_t pearl = 0;
  PearlRelation relation = PearlRelation::Cited;
  std::string source;
  std::string request;
  std::string startedUtc;   // ISO 8601, "2026-12-07T14:02:11Z"
  std::string endedUtc;     // the last page's time; empty before any page
  int64_t expected = -1;    // the count the service gave; -1 when it gave none
  int32_t available = 0;    // the pearl record's count for this direction
  int32_t asked = 0;        // articles asked for (the limit when capped)
  int32_t received = 0;
  int32_t pagesDone = 0;    // of the pages this growth fetched or found merged
  int32_t pagesNeeded = 0;
  std::string status;       // "growing", "complete", "capped", "stopped", "failed"
  bool kept = true;         // false once the pearl was removed and its relations dropped
  int32_t run = 1;          // the run it belongs to
};

// One run of the run log: the first growth of a session (run 1, "grow"), or growing every pearl
// again afresh ("refresh").
struct RunEntry {
  int32_t id = 1;
  std::string startedUtc;
  std::string kind;     // "grow" or "refresh"
  std::string options;  // a JSON object of the options the run was started with
};

// What a pearl's growth holds in one direction, for the Complete column and `session info`.
struct DirectionState {
  int32_t pagesHad = 0;
  int32_t pagesNeeded = 0;  // of the last growth
  int32_t asked = 0;
  int32_t available = 0;
  int32_t received = 0;     // articles on the pages had
  std::string status;       // of the last growth; empty when never grown
};

// "references 48 of 50, citing 500 of 1,287 (capped)"; a direction stopped or failed part way
// says so ("citing stopped at page 3 of 13"). Counts are grouped by thousands.
std::string CompletenessText(const DirectionState& references, const DirectionState& citing);
// The Complete column's short form: "yes", "500 of 1,287 citing", "stopped at page 3 of 13".
std::string CompleteColumnText(const DirectionState& references, const DirectionState& citing);

// An open session file. Open reads and checks an existing one (an older version opened for writing
// is migrated first, in one transaction; one open read-only is read as it is); Create writes a new
// one holding the chain and its screening as they are. Attach hooks the file to a chain as its
// journal and as the listener of its screening book: from then on every change (each merged page
// with its articles, relations and fetch progress, a pearl started or ended, a removal, a
// deletion, a decision, labels, a note, a known mark, the exclusion reasons) is written at once,
// in one transaction per change, touching only the rows the change touched. A process holds the file through a lock beside it (FILE-lock); a second
// opener gets it read-only (ReadOnly, ReadOnlyReason) and never writes. A write that fails (disk
// full, folder read-only) is rolled back and ends the writing: WriteError says why, and the chain
// in memory keeps everything, to be saved elsewhere with Create.
// Record numbers are the chain's, from 1.
class SessionFile final : public ChainJournal {
 public:
  // Opens an existing session. Throws SessionError, touching nothing, for a missing or empty file,
  // a file that is not SQLite, an SQLite file that is no session (a corpus file is named as
  // such), a session of a newer schema, or a damaged one.
  static std::unique_ptr<SessionFile> Open(const std::string& path);
  // Writes the chain as a new session file (through a temporary file beside it, so that a kill
  // leaves no half file) and opens it. `source` describes where the chain's pages came from.
  // Throws SessionError when the path exists or cannot be written.
  static std::unique_ptr<SessionFile> Create(const std::string& path, const MASCitationChain& chain,
                                             const std::string& source = "");
  // Copies the session, fetch log and all, to a new file (never over an existing one) and opens
  // the copy; the caller detaches this one and attaches the copy. After a WriteError the file is
  // behind the chain: save with Create instead.
  std::unique_ptr<SessionFile> SaveAs(const std::string& path) const;
  ~SessionFile() override;
  SessionFile(const SessionFile&) = delete;
  SessionFile& operator=(const SessionFile&) = delete;

  const std::string& Path() const { return m_path; }
  bool ReadOnly() const { return !m_readOnlyReason.empty(); }
  const std::string& ReadOnlyReason() const { return m_readOnlyReason; }
  const std::string& WriteError() const { return m_writeError; }

  // Holds every change made while it lives in one transaction, committed when it ends: for an
  // import that decides or marks thousands of articles, which one transaction each would make
  // take a flush to disk each. A failed write rolls back the whole batch and ends the writing
  // (WriteError). Batches nest (the outermost commits). Not for a growth, whose pages are meant
  // to reach the disk one by one, nor around Enqueue or Dequeue.
  class Batch {
   public:
    explicit Batch(SessionFile& session);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    SessionFile& m_session;
  };

  // Puts the chain back as the file holds it (RestoreState), with its screening book (without
  // telling the book's listener; the book's run is the latest of the run log), and sets its citing
  // limit.
  void Restore(MASCitationChain& chain) const;
  // Becomes the chain's journal and its book's listener (nothing is written for a read-only file:
  // the book still changes in memory). The chain must hold what the file holds (Restore, or the
  // chain Create wrote); Detach or the destructor ends it.
  void Attach(MASCitationChain& chain);
  void Detach();

  // Where the next fetches come from (CorpusSourceText, OpenAlexSourceText).
  void SetSource(std::string source) { m_source = std::move(source); }

  // The queue of pearls asked for and not yet grown, in the order asked. A pearl leaves it when its
  // growth starts (its generation goes to the pearl), or by Dequeue when it cannot be grown.
  void Enqueue(const std::vector<std::string>& pks, int32_t generation = 0);
  void Dequeue(const std::string& pk);
  std::vector<QueuedPearl> Queue() const;

  // Opens a new run of the run log ("refresh"; `options` a JSON object) and makes it the attached
  // chain's run: the fetches from now on are of it, and the articles first appearing in them.
  // Gives its number. Throws SessionError for a read-only session or one not attached.
  int32_t BeginRun(const std::string& kind, const std::string& options);
  std::vector<RunEntry> Runs() const;

  // Reading for reports.
  std::vector<FetchEntry> FetchLog() const;
  DirectionState Direction(int32_t pearl, PearlRelation relation) const;
  int32_t Generation(int32_t pearl) const;  // -1 for no pearl
  // The schema version the file is in: kSessionSchemaVersion, or older for a file read-only.
  int32_t SchemaVersion() const { return m_version; }
  int64_t ArticleCount() const;
  int64_t PearlCount() const;
  int64_t RelationCount() const;
  // session_info: "created_utc", "changed_utc" (the last change), "created_by", "written_by",
  // "citing_limit"; empty when the file has no such entry.
  std::string Info(const std::string& key) const;
  // One relation the file holds: the pearl, its direction, the article (record numbers) and the
  // fetch it came from (0 when none was recorded). Relations() gives them in the order of the
  // pearls, references before citing, then by article (session_reading.cpp).
  struct RelationRow {
    int32_t pearl = 0;
    PearlRelation relation = PearlRelation::Cited;
    int32_t article = 0;
    int64_t fetch = 0;
  };
  std::vector<RelationRow> Relations() const;

  // --- ChainJournal ---
  void PearlStarted(int32_t pearl) override;
  void GrowthStarted(const GrowthStep& step) override;
  void PageMerged(const MergedPage& page) override;
  void GrowthEnded(const GrowthStep& step, GrowthEnd end) override;
  void PearlEnded(int32_t pearl) override;
  void PearlRemoved(int32_t pearl, const std::vector<int32_t>& touched) override;
  void RecordChanged(int32_t indexNum) override;

 private:
  class Lock;
  SessionFile(std::string path, std::unique_ptr<Lock> lock, std::unique_ptr<SqliteDb> db, std::string readOnly,
              int32_t version);
  static std::unique_ptr<SessionFile> WriteNew(const std::string& path, const std::string& source,
                                               const std::function<void(SqliteDb& db)>& write);

  // Runs `write` in one transaction unless writing has ended; a failure rolls back and ends it.
  template <typename Write>
  void Transaction(Write&& write);
  int64_t& CurrentFetch(int32_t pearl, PearlRelation relation);
  // The highest run of the run log (1 for a file of the first format).
  int32_t LatestRun() const;
  void ScreeningChanged(ScreeningBook::Change change, int32_t article);

  std::string m_path;
  std::unique_ptr<Lock> m_lock;
  std::unique_ptr<SqliteDb> m_db;
  std::unique_ptr<SessionWriter> m_writer;
  std::string m_readOnlyReason;
  std::string m_writeError;
  std::string m_source;
  int32_t m_version = kSessionSchemaVersion;
  std::vector<int32_t> m_pendingGenerations;  // set since the last transaction
  int m_batchDepth = 0;
  bool m_batchOpen = false;  // a batch's transaction is open
  MASCitationChain* m_chain = nullptr;
  int32_t m_fetchPearl = 0;  // the pearl whose fetches these are
  int64_t m_citedFetch = 0;
  int64_t m_citingFetch = 0;
};

// Grows what the session still owes, in this order: its pearls left partly grown, its capped pearls
// when the chain's citing limit is now above what they have (both only the pages they lack), then
// the queue. A queued pearl the service does not know, or that is a pearl already, leaves the
// queue; one without an answer stays. Ends early when the chain's StopRequested says so. Gives the
// number of pearls grown.
int32_t GrowOwed(MASCitationChain& chain, SessionFile& session, Caption& callingForm);
// The number of pearls GrowOwed would grow now (for progress).
int32_t OwedPearls(const MASCitationChain& chain, const SessionFile& session);
// What growing every pearl of a session again (RefreshSession) found.
struct SessionRefresh {
  int32_t run = 0;                     // the run it opened
  std::vector<PearlRefresh> pearls;    // one per pearl grown again, in pearl order
  std::vector<int32_t> notGrown;       // pearls whose record could not be retrieved again
  std::vector<int32_t> added;          // articles new to the session, in table order
  std::vector<int32_t> unlisted;       // articles some pearl no longer lists, in table order
  std::vector<int32_t> retracted;      // marked retracted since the last run, in table order
  bool complete = false;               // every pearl was grown again to its end
};

// Opens a new run of the session ("refresh", with the citing limit as its option) and grows every
// pearl again afresh (RefreshPearl), in pearl order; pearls kept unresolved from a file are left
// as they are. Ends early when the chain's StopRequested says so or a request to the service
// fails. Decisions already made stay.
SessionRefresh RefreshSession(MASCitationChain& chain, SessionFile& session, Caption& callingForm);
// "3 new articles, 1 no longer listed, from 2 pearls", then one line per pearl whose counts
// changed, per article retracted since the last run, per article no longer listed (by which
// pearl) and per pearl that could not be grown again. Lines end with "\n".
std::string RefreshSummary(const MASCitationChain& chain, const SessionRefresh& refresh);

// Queues every included article that is neither a pearl nor queued already as a pearl of the next
// generation (the highest pearl generation so far plus one), for GrowOwed to grow. Gives the number
// queued. Throws SessionError for a read-only session.
int32_t PromoteIncluded(const MASCitationChain& chain, SessionFile& session);

}  // namespace wendrel
