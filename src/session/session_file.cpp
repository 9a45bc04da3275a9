// The session file: checking a file before it is opened, the lock beside it, creating one from a
// chain, writing each change as it happens, and reading it back into a chain.
#include "session/session_file.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>

#include "platform/program_version.h"
#include "platform/replacing_file.h"
#include "platform/sqlite_db.h"
#include "platform/utc_time.h"
#include "session/session_schema.h"

namespace wendrel {

namespace {

constexpr int32_t kPageSize = 100;  // the articles of a growth page

const char* DirectionName(PearlRelation relation) {
  return relation == PearlRelation::Cited ? "references" : "citing";
}

const char* EndName(GrowthEnd end) {
  switch (end) {
    case GrowthEnd::Complete:
      return "complete";
    case GrowthEnd::Capped:
      return "capped";
    case GrowthEnd::Stopped:
      return "stopped";
    case GrowthEnd::Failed:
      return "failed";
  }
  return "failed";
}

int32_t Pages(int32_t articles) { return articles > 0 ? (articles + kPageSize - 1) / kPageSize : 0; }

// 1287 -> "1,287".
std::string Grouped(int64_t number) {
  std::string digits = std::to_string(number < 0 ? -number : number);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) digits.insert(digits.begin() + at, ',');
  if (number < 0) digits.insert(digits.begin(), '-');
  return digits;
}

// What the first bytes and the size of a file say it is; throws SessionError for anything that is
// not a session this program can open. Reads only.
void CheckIdentity(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) throw SessionError(path + " does not exist");
  if (!std::filesystem::is_regular_file(status)) throw SessionError(path + " is not a file");
  const auto size = std::filesystem::file_size(path, error);
  if (error) throw SessionError("cannot read " + path + ": " + error.message());
  if (size == 0) throw SessionError(path + " is empty: it is not a session file");
  SqliteHeader header{};
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(header.data()), header.size());
  if (!in && in.gcount() == 0) throw SessionError("cannot read " + path);
  if (in.gcount() < 100 || std::memcmp(header.data(), "SQLite format 3", 16) != 0)
    throw SessionError(path + " is not a session file (not an SQLite database)");
  const uint32_t applicationId = SqliteHeaderField(header, 68, 4);
  if (applicationId != static_cast<uint32_t>(kSessionApplicationId)) {
    bool corpus = false;
    try {
      SqliteDb db(path, SQLITE_OPEN_READONLY);
      SqliteStatement find(db, "SELECT count(*) FROM sqlite_master WHERE name = 'corpus_info'");
      corpus = find.Step() && find.Int(0) > 0;
    } catch (const SqliteError&) {
    }
    throw SessionError(path + (corpus ? " is a corpus file of the local search service, not a session file"
                                      : " is an SQLite database of another kind, not a session file"));
  }
  const uint32_t version = SqliteHeaderField(header, 60, 4);
  if (version > static_cast<uint32_t>(kSessionSchemaVersion))
    throw SessionError(path + " was written by a newer version of the program (session format " +
                       std::to_string(version) + "; this one reads up to " + std::to_string(kSessionSchemaVersion) +
                       ")");
  // The header's page count holds while no write-ahead log waits to be copied into the file.
  const std::optional<uint64_t> counted = SqliteCountedSize(header);
  const auto wal = std::filesystem::file_size(path + "-wal", error);
  const bool walPending = !error && wal > 0;
  if (counted && !walPending && size < *counted)
    throw SessionError(path + " is damaged: it holds " + std::to_string(size) + " of its " +
                       std::to_string(*counted) + " bytes");
}

}  // namespace

std::string ProgramVersion() { return kProgramVersion; }

std::string CorpusSourceText(const std::string& corpusPath) {
  struct stat info{};
  std::string text = "corpus file " + std::filesystem::path(corpusPath).filename().string();
  if (stat(corpusPath.c_str(), &info) != 0) return text;
  std::tm utc{};
  gmtime_r(&info.st_mtime, &utc);
  char modified[32];
  std::strftime(modified, sizeof modified, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text + " (" + Grouped(static_cast<int64_t>(info.st_size)) + " bytes, modified " + modified + ")";
}

std::string OpenAlexSourceText(const std::string& address) { return "OpenAlex at " + address; }

std::string ServiceSourceText(const std::string& address) { return "search service at " + address; }

std::string CompletenessText(const DirectionState& references, const DirectionState& citing) {
  auto one = [](const char* name, const DirectionState& d) {
    std::string text = name;
    if (d.status.empty()) return text + " not grown";
    if (d.status == "stopped" || d.status == "failed" || d.status == "growing")
      return text + (d.status == "failed" ? " failed at page " : " stopped at page ") +
             std::to_string(d.pagesHad + 1) + " of " + std::to_string(std::max(d.pagesNeeded, d.pagesHad + 1));
    text += " " + Grouped(d.received) + " of " + Grouped(d.available);
    if (d.status == "capped") text += " (capped)";
    return text;
  };
  return one("references", references) + ", " + one("citing", citing);
}

std::string CompleteColumnText(const DirectionState& references, const DirectionState& citing) {
  for (const DirectionState* d : {&references, &citing}) {
    if (d->status == "stopped" || d->status == "growing" || d->status == "failed")
      return (d->status == "failed" ? "failed at page " : "stopped at page ") + std::to_string(d->pagesHad + 1) +
             " of " + std::to_string(std::max(d->pagesNeeded, d->pagesHad + 1));
  }
  if (citing.status == "capped") return Grouped(citing.asked) + " of " + Grouped(citing.available) + " citing";
  return "yes";
}

// The lock beside the session file ("<file>-lock", holding the holder's process ID): an exclusive
// flock, released by the system when the holder ends in any way. The holder removes the file
// when it closes the session.
class SessionFile::Lock {
 public:
  // The lock, or none with the reason the file must be opened read-only.
  static std::unique_ptr<Lock> Take(const std::string& sessionPath, std::string& reason) {
    const std::string path = sessionPath + "-lock";
    for (int attempt = 0; attempt < 5; ++attempt) {
      const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      if (fd < 0) {
        reason = "its folder cannot be written (" + std::string(std::strerror(errno)) + ")";
        return nullptr;
      }
      if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        char holder[32] = {};
        const ssize_t got = pread(fd, holder, sizeof holder - 1, 0);
        close(fd);
        reason = "it is open in another window or process";
        if (got > 0) reason += " (process " + std::string(holder, static_cast<size_t>(got)) + ")";
        return nullptr;
      }
      // A holder that closed in between removed the file this lock is on: take the new one.
      struct stat held{}, named{};
      if (fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
          held.st_dev == named.st_dev) {
        const std::string pid = std::to_string(getpid());
        if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) < 0) {
          // The ID only names the holder in the reason others are given; the lock holds without it.
        }
        return std::unique_ptr<Lock>(new Lock(path, fd));
      }
      close(fd);
    }
    reason = "its lock file keeps changing";
    return nullptr;
  }
  ~Lock() {
    unlink(m_path.c_str());
    close(m_fd);
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  Lock(std::string path, int fd) : m_path(std::move(path)), m_fd(fd) {}
  std::string m_path;
  int m_fd;
};

// The writes a session file takes, on statements prepared once; the caller holds the transaction.
class SessionWriter {
 public:
  explicit SessionWriter(SqliteDb& db)
      : m_db(db),
        m_article(db, "INSERT OR REPLACE INTO article VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, "
                      "?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21, ?22, ?23, ?24, ?25, ?26, ?27, ?28, ?29, ?30)"),
        m_relation(db, "INSERT OR IGNORE INTO relation VALUES(?1, ?2, ?3, ?4)"),
        m_page(db, "INSERT OR REPLACE INTO fetched_page VALUES(?1, ?2, ?3, ?4)"),
        m_progress(db, "UPDATE fetch SET ended_utc = ?2, expected = ?3, received = received + ?4, "
                       "pages_done = pages_done + 1 WHERE id = ?1"),
        m_changed(db, "INSERT OR REPLACE INTO session_info VALUES('changed_utc', ?1)") {}

  SqliteDb& Db() { return m_db; }

  void Article(const MASCitationChain& chain, int32_t indexNum) {
    const CCRecord r = chain.GetRecord(indexNum);
    SqliteStatement& s = m_article;
    s.Bind(1, indexNum).Bind(2, r.PK).Bind(3, r.AK).Bind(4, r.CitationCount).Bind(5, r.ReferenceCount);
    s.Bind(6, r.PubType).Bind(7, r.Year).Bind(8, r.Title).Bind(9, r.Abstract).Bind(10, r.FirstAuthor);
    s.Bind(11, r.CoAuthors).Bind(12, r.Source).Bind(13, r.Keywords).Bind(14, r.DOI).Bind(15, r.FullTextURL);
    s.Bind(16, r.IsCited).Bind(17, r.CitedByPearls).Bind(18, r.CitedAge).Bind(19, r.CitedPearlList);
    s.Bind(20, r.IsCiting).Bind(21, r.CitesPearls).Bind(22, r.CitingAge).Bind(23, r.CitingPearlList);
    s.Bind(24, r.IsPearl).Bind(25, r.Suppressed).Bind(26, chain.Unresolved(indexNum));
    const wendrel::Screening& screening = chain.Screenings().Of(indexNum);
    s.Bind(27, r.Retracted).Bind(28, r.WorkType).Bind(29, screening.generation);
    // An article of no known run came before any later one.
    s.Bind(30, std::max(screening.firstRun, 1));
    s.Run();
  }

  // The article's screening row, gone when nothing is left of it.
  void Screening(const ScreeningBook& book, int32_t article) {
    const wendrel::Screening& s = book.Of(article);
    if (s.verdict == Verdict::Undecided && s.labels.empty() && s.note.empty() && !s.known) {
      SqliteStatement(m_db, "DELETE FROM screening WHERE article = ?1").Bind(1, article).Run();
      return;
    }
    // Labels are the user's text: a byte that is no UTF-8 must not cost the whole row.
    const std::string labels = nlohmann::json(s.labels).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    SqliteStatement(m_db, "INSERT OR REPLACE INTO screening VALUES(?1, ?2, ?3, ?4, ?5, ?6)")
        .Bind(1, article)
        .Bind(2, VerdictName(s.verdict))
        .Bind(3, s.reason)
        .Bind(4, labels)
        .Bind(5, s.note)
        .Bind(6, s.known)
        .Run();
  }

  void Decision(const DecisionChange& change) {
    SqliteStatement(m_db, "INSERT INTO decision(article, decided_utc, verdict, reason) VALUES(?1, ?2, ?3, ?4)")
        .Bind(1, change.article)
        .Bind(2, change.utc)
        .Bind(3, VerdictName(change.verdict))
        .Bind(4, change.reason)
        .Run();
  }

  void Reasons(const std::vector<std::string>& reasons) {
    m_db.Execute("DELETE FROM exclusion_reason");
    SqliteStatement insert(m_db, "INSERT INTO exclusion_reason VALUES(?1, ?2)");
    for (size_t k = 0; k < reasons.size(); ++k) insert.Bind(1, static_cast<int64_t>(k) + 1).Bind(2, reasons[k]).Run();
  }

  void KnownPapers(const std::vector<KnownPaper>& papers) {
    static const char* const kMatch[] = {"unmatched", "possible", "matched"};
    m_db.Execute("DELETE FROM known_paper");
    SqliteStatement insert(m_db, "INSERT INTO known_paper VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    for (size_t k = 0; k < papers.size(); ++k) {
      const KnownPaper& p = papers[k];
      insert.Bind(1, static_cast<int64_t>(k) + 1)
          .Bind(2, p.doi)
          .Bind(3, p.title)
          .Bind(4, p.year)
          .Bind(5, nlohmann::json(p.authors).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace))
          .Bind(6, kMatch[static_cast<int>(p.match)])
          .Bind(7, nlohmann::json(p.articles).dump())
          .Run();
    }
  }

  void Generation(const ScreeningBook& book, int32_t article) {
    SqliteStatement(m_db, "UPDATE article SET generation = ?2 WHERE id = ?1")
        .Bind(1, article)
        .Bind(2, book.Of(article).generation)
        .Run();
  }

  // The pearl's row: a new pearl goes to the end of the order, with the generation the chain gave
  // it (0 when it has none), and its queue entry goes. A pearl counts as partly grown from the start
  // of its growth until its end.
  void Pearl(const MASCitationChain& chain, int32_t pearl, bool starting = false) {
    const GrownPages* grown = chain.Grown(pearl);
    const int64_t citingLimit = grown ? grown->citingLimit : -1;
    const bool partly = starting || chain.PartlyGrown(pearl);
    SqliteStatement update(m_db, "UPDATE pearl SET partly_grown = ?2, citing_limit = ?3 WHERE article = ?1");
    update.Bind(1, pearl).Bind(2, partly).Bind(3, citingLimit).Run();
    if (sqlite3_changes(m_db.Handle()) > 0) return;
    const std::string pk = chain.GetRecord(pearl).PK;
    const int32_t generation = std::max(chain.Screenings().PearlGeneration(pearl), 0);
    SqliteStatement(m_db, "DELETE FROM queue WHERE pk = ?1 COLLATE NOCASE").Bind(1, pk).Run();
    SqliteStatement insert(m_db,
                           "INSERT INTO pearl VALUES(?1, (SELECT coalesce(max(position), 0) + 1 FROM pearl), ?2, ?3, ?4)");
    insert.Bind(1, pearl).Bind(2, generation).Bind(3, partly).Bind(4, citingLimit).Run();
  }

  // A new line of the fetch log, "growing"; gives its ID.
  int64_t StartFetch(const MASCitationChain& chain, const GrowthStep& step, const std::string& source) {
    std::string request = (step.relation == PearlRelation::Cited ? "references of " : "citing articles of ") +
                          chain.GetRecord(step.pearl).PK;
    if (step.asked < step.available) request += ", the " + Grouped(step.asked) + " most cited";
    request += ", " + std::to_string(kPageSize) + " a page";
    SqliteStatement s(m_db,
                      "INSERT INTO fetch(pearl, direction, source, request, started_utc, ended_utc, expected, "
                      "available, asked, received, pages_done, pages_needed, status, kept, run) "
                      "VALUES(?1, ?2, ?3, ?4, ?5, '', -1, ?6, ?7, 0, ?8, ?9, 'growing', 1, ?10)");
    s.Bind(1, step.pearl).Bind(2, DirectionName(step.relation)).Bind(3, source).Bind(4, request);
    s.Bind(5, UtcNow()).Bind(6, step.available).Bind(7, step.asked).Bind(8, step.pagesHad).Bind(9, step.pagesNeeded);
    s.Bind(10, chain.Screenings().Run());
    s.Run();
    return sqlite3_last_insert_rowid(m_db.Handle());
  }

  void EndFetch(int64_t fetch, GrowthEnd end) {
    SqliteStatement(m_db, "UPDATE fetch SET status = ?2 WHERE id = ?1").Bind(1, fetch).Bind(2, EndName(end)).Run();
  }

  void Page(int64_t fetch, int32_t page, int32_t asked, int32_t received) {
    m_page.Bind(1, fetch).Bind(2, page).Bind(3, asked).Bind(4, received).Run();
  }

  void Progress(int64_t fetch, int64_t expected, int32_t received) {
    m_progress.Bind(1, fetch).Bind(2, UtcNow()).Bind(3, expected).Bind(4, received).Run();
  }

  // The time of the last change, for the offer to restore an autosaved session.
  void Changed() { m_changed.Bind(1, UtcNow()).Run(); }

  void Relation(int32_t pearl, PearlRelation relation, int32_t article, int64_t fetch) {
    m_relation.Bind(1, pearl).Bind(2, DirectionName(relation)).Bind(3, article);
    if (fetch > 0) {
      m_relation.Bind(4, fetch);
    } else {
      m_relation.BindNull(4);
    }
    m_relation.Run();
  }

 private:
  SqliteDb& m_db;
  SqliteStatement m_article;
  SqliteStatement m_relation;
  SqliteStatement m_page;
  SqliteStatement m_progress;
  SqliteStatement m_changed;
};

namespace {

// Everything the chain holds, for a new file: the fetch log gets one line per pearl and direction,
// from the pages the chain kept, and the relations as the lists hold them.
void WriteWholeChain(SessionWriter& writer, const MASCitationChain& chain, const std::string& source) {
  // The runs the chain went through before it had a file; their start is not known any better.
  SqliteStatement run(writer.Db(), "INSERT INTO run VALUES(?1, ?2, 'refresh', '{}')");
  for (int32_t id = 2; id <= chain.Screenings().Run(); ++id) run.Bind(1, id).Bind(2, UtcNow()).Run();
  for (int32_t i = 1; i <= chain.Count(); ++i) writer.Article(chain, i);
  std::map<std::pair<int32_t, PearlRelation>, int64_t> fetches;
  for (int32_t pearl : chain.PearlOrder()) {
    writer.Pearl(chain, pearl);
    const GrownPages* grown = chain.Grown(pearl);
    if (!grown) continue;
    const CCRecord record = chain.GetRecord(pearl);
    for (PearlRelation relation : {PearlRelation::Cited, PearlRelation::Citing}) {
      const bool cited = relation == PearlRelation::Cited;
      const auto& pages = cited ? grown->cited : grown->citing;
      const int32_t available = cited ? record.ReferenceCount : record.CitationCount;
      const int32_t asked = cited || grown->citingLimit < 0 ? available : std::min(available, grown->citingLimit);
      const GrowthStep step{pearl, relation, available, asked, Pages(asked), 0};
      const int64_t fetch = writer.StartFetch(chain, step, source);
      fetches[{pearl, relation}] = fetch;
      for (const auto& [page, pageAsked] : pages) writer.Page(fetch, page, pageAsked, 0);
      SqliteStatement(writer.Db(), "UPDATE fetch SET pages_done = ?2 WHERE id = ?1")
          .Bind(1, fetch)
          .Bind(2, static_cast<int64_t>(pages.size()))
          .Run();
      const GrowthEnd end = chain.PartlyGrown(pearl) && static_cast<int32_t>(pages.size()) < step.pagesNeeded
                                ? GrowthEnd::Stopped
                            : asked < available ? GrowthEnd::Capped
                                                : GrowthEnd::Complete;
      writer.EndFetch(fetch, end);
    }
  }
  for (int32_t i = 1; i <= chain.Count(); ++i) {
    const CCRecord r = chain.GetRecord(i);
    for (const auto& [list, relation] :
         {std::pair{&r.CitedPearlList, PearlRelation::Cited}, std::pair{&r.CitingPearlList, PearlRelation::Citing}}) {
      for (int32_t pearl : RelationPearls(*list)) {
        auto fetch = fetches.find({pearl, relation});
        writer.Relation(pearl, relation, i, fetch == fetches.end() ? 0 : fetch->second);
      }
    }
  }
  const ScreeningBook& book = chain.Screenings();
  for (size_t i = 1; i < book.All().size(); ++i) writer.Screening(book, static_cast<int32_t>(i));
  for (const DecisionChange& change : book.History()) writer.Decision(change);
  writer.Reasons(book.Reasons());
  writer.KnownPapers(book.KnownPapers());
}

// Brings a version 1 file to version 2 inside the caller's transaction, keeping everything it
// holds: the screening tables start empty and each article takes the first generation its
// relations give it.
void MigrateTo2(SqliteDb& db) {
  db.Execute(kSessionMigrationTo2);
  db.Execute(std::string("UPDATE article SET generation = first.generation FROM (") + kFirstGenerations +
             ") AS first WHERE article.id = first.article");
  SqliteStatement(db, "INSERT OR REPLACE INTO session_info VALUES('written_by', ?1)").Bind(1, ProgramVersion()).Run();
  db.Execute("PRAGMA user_version = 2");
}

int32_t UserVersion(SqliteDb& db) {
  SqliteStatement version(db, "PRAGMA user_version");
  return version.Step() ? static_cast<int32_t>(version.Int(0)) : 0;
}

}  // namespace

SessionFile::SessionFile(std::string path, std::unique_ptr<Lock> lock, std::unique_ptr<SqliteDb> db,
                         std::string readOnly, int32_t version)
    : m_path(std::move(path)),
      m_lock(std::move(lock)),
      m_db(std::move(db)),
      m_readOnlyReason(std::move(readOnly)),
      m_version(version) {
  if (!ReadOnly()) m_writer = std::make_unique<SessionWriter>(*m_db);
}

SessionFile::~SessionFile() {
  Detach();
  m_writer.reset();
  m_db.reset();
}

std::unique_ptr<SessionFile> SessionFile::Open(const std::string& path) {
  CheckIdentity(path);
  std::string reason;
  std::unique_ptr<Lock> lock = Lock::Take(path, reason);
  try {
    auto db = std::make_unique<SqliteDb>(path, lock ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
    // SQLite opens a write-protected file for reading alone.
    if (lock && sqlite3_db_readonly(db->Handle(), "main") == 1) {
      lock.reset();
      reason = "the file cannot be written";
    }
    db->Execute("PRAGMA busy_timeout = 5000");
    {
      SqliteStatement check(*db, "PRAGMA quick_check");
      if (!check.Step() || check.Text(0) != "ok") throw SessionError(path + " is damaged: " + check.Text(0));
      SqliteStatement format(*db, "SELECT value FROM session_info WHERE key = 'format'");
      if (!format.Step() || format.Text(0) != "wendrel-session")
        throw SessionError(path + " is damaged: it does not say it is a session");
    }
    if (lock) db->Execute("PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL");
    int32_t version = UserVersion(*db);
    if (version < 1) throw SessionError(path + " is damaged: it gives no session format");
    // An older file is brought up to date before anything else is written to it; one open
    // read-only is read as it is.
    if (lock && version < kSessionSchemaVersion) {
      db->Execute("BEGIN IMMEDIATE");
      try {
        MigrateTo2(*db);
        db->Execute("COMMIT");
      } catch (const SqliteError& error) {
        sqlite3_exec(db->Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw SessionError("cannot bring " + path + " up to session format " + std::to_string(kSessionSchemaVersion) +
                           ", it is left as it was: " + error.what());
      }
      version = kSessionSchemaVersion;
    }
    if (!reason.empty()) reason = path + " is open read-only: " + reason;
    return std::unique_ptr<SessionFile>(
        new SessionFile(path, std::move(lock), std::move(db), std::move(reason), version));
  } catch (const SqliteError& error) {
    throw SessionError(path + " is damaged or cannot be read (" + error.what() + ")");
  }
}

// Writes a new session file through a temporary file beside it (so that a kill leaves no half
// file) and opens it; never over an existing file.
std::unique_ptr<SessionFile> SessionFile::WriteNew(const std::string& path, const std::string& source,
                                                   const std::function<void(SqliteDb& db)>& write) {
  std::error_code error;
  if (std::filesystem::exists(path, error)) throw SessionError(path + " exists already");
  try {
    ReplacingFile file(path);
    {
      SqliteDb db(file.Path(), SQLITE_OPEN_READWRITE);
      write(db);
    }
    file.Commit();
  } catch (const ReplaceError& e) {
    throw SessionError(e.what());
  } catch (const SqliteError& e) {
    throw SessionError("cannot write " + path + ": " + e.what());
  }
  std::unique_ptr<SessionFile> session = Open(path);
  session->SetSource(source);
  return session;
}

std::unique_ptr<SessionFile> SessionFile::Create(const std::string& path, const MASCitationChain& chain,
                                                 const std::string& source) {
  return WriteNew(path, source, [&](SqliteDb& db) {
    // A new file goes through the migrations as an old one does, so they are always in use.
    db.Execute("PRAGMA application_id = " + std::to_string(kSessionApplicationId) + "; PRAGMA user_version = 1; BEGIN;");
    db.Execute(kSessionTables);
    SqliteStatement info(db, "INSERT INTO session_info VALUES(?1, ?2)");
    for (const auto& [key, value] : {std::pair<const char*, std::string>{"format", "wendrel-session"},
                                     {"created_utc", UtcNow()},
                                     {"created_by", ProgramVersion()},
                                     {"written_by", ProgramVersion()},
                                     {"citing_limit", std::to_string(chain.LargeCitationLimit())}}) {
      info.Bind(1, key).Bind(2, value).Run();
    }
    MigrateTo2(db);
    SessionWriter writer(db);
    WriteWholeChain(writer, chain, source);
    writer.Changed();
    db.Execute("COMMIT");
  });
}

std::unique_ptr<SessionFile> SessionFile::SaveAs(const std::string& path) const {
  return WriteNew(path, m_source, [&](SqliteDb& copy) {
    sqlite3_backup* backup = sqlite3_backup_init(copy.Handle(), "main", m_db->Handle(), "main");
    if (!backup) throw SessionError("cannot write " + path + ": " + sqlite3_errmsg(copy.Handle()));
    const int stepped = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (stepped != SQLITE_DONE) throw SessionError("cannot write " + path + ": " + sqlite3_errstr(stepped));
    // The copy is a file of its own until it is opened: no write-ahead log beside it.
    copy.Execute("PRAGMA journal_mode = DELETE");
  });
}

void SessionFile::Restore(MASCitationChain& chain) const {
  ChainState state;
  std::vector<Screening> screenings(1);
  try {
    SqliteStatement articles(*m_db, "SELECT * FROM article ORDER BY id");
    while (articles.Step()) {
      if (articles.Int(0) != static_cast<int64_t>(state.records.size()) + 1)
        throw SessionError(m_path + " is damaged: its articles are not numbered 1 to n");
      CCRecord r;
      r.PK = articles.Text(1);
      r.AK = articles.Text(2);
      r.CitationCount = static_cast<int16_t>(articles.Int(3));
      r.ReferenceCount = static_cast<int16_t>(articles.Int(4));
      r.PubType = articles.Text(5);
      r.Year = articles.Text(6);
      r.Title = articles.Text(7);
      r.Abstract = articles.Text(8);
      r.FirstAuthor = articles.Text(9);
      r.CoAuthors = articles.Text(10);
      r.Source = articles.Text(11);
      r.Keywords = articles.Text(12);
      r.DOI = articles.Text(13);
      r.FullTextURL = articles.Text(14);
      r.IsCited = articles.Int(15) != 0;
      r.CitedByPearls = static_cast<int16_t>(articles.Int(16));
      r.CitedAge = static_cast<uint8_t>(articles.Int(17));
      r.CitedPearlList = articles.Text(18);
      r.IsCiting = articles.Int(19) != 0;
      r.CitesPearls = static_cast<int16_t>(articles.Int(20));
      r.CitingAge = static_cast<uint8_t>(articles.Int(21));
      r.CitingPearlList = articles.Text(22);
      r.IsPearl = articles.Int(23) != 0;
      r.Suppressed = articles.Int(24) != 0;
      r.Retracted = articles.Int(26) != 0;
      r.WorkType = articles.Text(27);
      if (articles.Int(25) != 0) state.unresolved.push_back(static_cast<int32_t>(state.records.size()) + 1);
      state.records.push_back(std::move(r));
      Screening& screening = screenings.emplace_back();
      screening.generation = m_version >= 2 ? static_cast<int32_t>(articles.Int(28)) : -1;
      screening.firstRun = m_version >= 2 ? static_cast<int32_t>(articles.Int(29)) : 1;
    }
    SqliteStatement pearls(*m_db, "SELECT article, partly_grown, citing_limit FROM pearl ORDER BY position");
    while (pearls.Step()) {
      const auto pearl = static_cast<int32_t>(pearls.Int(0));
      state.pearlOrder.push_back(pearl);
      if (pearls.Int(1) != 0) state.partlyGrown.push_back(pearl);
      if (pearls.Int(2) >= 0) state.grown[pearl].citingLimit = static_cast<int32_t>(pearls.Int(2));
    }
    SqliteStatement pages(*m_db,
                          "SELECT f.pearl, f.direction, p.page, max(p.asked) FROM fetched_page p JOIN fetch f "
                          "ON f.id = p.fetch WHERE f.kept GROUP BY f.pearl, f.direction, p.page");
    while (pages.Step()) {
      GrownPages& grown = state.grown[static_cast<int32_t>(pages.Int(0))];
      (pages.Text(1) == "references" ? grown.cited : grown.citing)[static_cast<int32_t>(pages.Int(2))] =
          static_cast<int32_t>(pages.Int(3));
    }
    const auto count = static_cast<int32_t>(state.records.size());
    std::map<int32_t, int32_t> pearlGenerations;
    SqliteStatement pearlGeneration(*m_db, "SELECT article, generation FROM pearl");
    while (pearlGeneration.Step())
      pearlGenerations[static_cast<int32_t>(pearlGeneration.Int(0))] = static_cast<int32_t>(pearlGeneration.Int(1));
    auto article = [&](int64_t id, const char* table) {
      if (id < 1 || id > count)
        throw SessionError(m_path + " is damaged: its " + table + " names article " + std::to_string(id) +
                           " of its " + std::to_string(count));
      return static_cast<int32_t>(id);
    };
    auto verdict = [&](const std::string& name) {
      const std::optional<Verdict> v = ParseVerdict(name);
      if (!v) throw SessionError(m_path + " is damaged: it holds the decision '" + name + "'");
      return *v;
    };
    std::vector<DecisionChange> history;
    std::vector<std::string> reasons;
    std::vector<KnownPaper> knownPapers;
    if (m_version < 2) {
      // A file read as it is: the generations are worked out as its migration will.
      SqliteStatement first(*m_db, kFirstGenerations);
      while (first.Step())
        screenings[static_cast<size_t>(article(first.Int(0), "relations"))].generation = static_cast<int32_t>(first.Int(1));
    } else {
      SqliteStatement rows(*m_db, "SELECT article, verdict, reason, labels, note, known FROM screening");
      while (rows.Step()) {
        Screening& s = screenings[static_cast<size_t>(article(rows.Int(0), "screening"))];
        s.verdict = verdict(rows.Text(1));
        s.reason = rows.Text(2);
        const nlohmann::json labels = nlohmann::json::parse(rows.Text(3), nullptr, false);
        if (!labels.is_array()) throw SessionError(m_path + " is damaged: labels of article " + rows.Text(0));
        for (const nlohmann::json& label : labels) {
          if (label.is_string()) s.labels.push_back(label.get<std::string>());
        }
        s.note = rows.Text(4);
        s.known = rows.Int(5) != 0;
      }
      SqliteStatement decisions(*m_db, "SELECT article, decided_utc, verdict, reason FROM decision ORDER BY id");
      while (decisions.Step())
        history.push_back({article(decisions.Int(0), "decisions"), decisions.Text(1), verdict(decisions.Text(2)),
                           decisions.Text(3)});
      SqliteStatement reasonRows(*m_db, "SELECT text FROM exclusion_reason ORDER BY position");
      while (reasonRows.Step()) reasons.push_back(reasonRows.Text(0));
      SqliteStatement paperRows(*m_db, "SELECT doi, title, year, authors, match, articles FROM known_paper ORDER BY position");
      while (paperRows.Step()) {
        KnownPaper& p = knownPapers.emplace_back();
        p.doi = paperRows.Text(0);
        p.title = paperRows.Text(1);
        p.year = paperRows.Text(2);
        const nlohmann::json authors = nlohmann::json::parse(paperRows.Text(3), nullptr, false);
        const nlohmann::json articles = nlohmann::json::parse(paperRows.Text(5), nullptr, false);
        if (!authors.is_array() || !articles.is_array()) throw SessionError(m_path + " is damaged: a known paper");
        for (const nlohmann::json& name : authors)
          if (name.is_string()) p.authors.push_back(name.get<std::string>());
        for (const nlohmann::json& number : articles)
          if (number.is_number_integer()) p.articles.push_back(article(number.get<int64_t>(), "known papers"));
        const std::string match = paperRows.Text(4);
        p.match = match == "matched" ? KnownMatch::Matched : match == "possible" ? KnownMatch::Possible : KnownMatch::Unmatched;
      }
    }
    chain.RestoreState(std::move(state));
    chain.Screenings().Restore(std::move(screenings), std::move(history), std::move(reasons),
                               std::move(pearlGenerations));
    chain.Screenings().RestoreKnownPapers(std::move(knownPapers));
    chain.Screenings().SetRun(LatestRun());
    const std::string limit = Info("citing_limit");
    if (!limit.empty()) chain.SetLargeCitationLimit(std::stoi(limit));
  } catch (const SqliteError& error) {
    throw SessionError(m_path + " is damaged or cannot be read (" + error.what() + ")");
  } catch (const ChainError& error) {
    throw SessionError(m_path + " is damaged: " + error.what());
  }
}

void SessionFile::Attach(MASCitationChain& chain) {
  Detach();
  m_chain = &chain;
  if (ReadOnly()) return;
  chain.SetJournal(this);
  chain.Screenings().SetListener([this](ScreeningBook::Change change, int32_t article) {
    ScreeningChanged(change, article);
  });
}

void SessionFile::Detach() {
  if (m_chain && !m_pendingGenerations.empty()) Transaction([] {});
  m_pendingGenerations.clear();
  if (m_chain && !ReadOnly()) {
    m_chain->SetJournal(nullptr);
    m_chain->Screenings().SetListener(nullptr);
  }
  m_chain = nullptr;
}

void SessionFile::ScreeningChanged(ScreeningBook::Change change, int32_t article) {
  const ScreeningBook& book = m_chain->Screenings();
  // A file never names an article it does not hold: it would not open again.
  const bool wholeSession = change == ScreeningBook::Change::Reasons || change == ScreeningBook::Change::KnownPapers;
  if (!wholeSession && (article < 1 || article > m_chain->Count())) return;
  // An article takes its generation as it first appears, in the middle of a growth: it is written
  // in the transaction of the change that brought it (its page, its pearl), not in one of its own.
  if (change == ScreeningBook::Change::Generation) {
    m_pendingGenerations.push_back(article);
    return;
  }
  Transaction([&] {
    switch (change) {
      case ScreeningBook::Change::Decision:
        m_writer->Screening(book, article);
        if (!book.History().empty()) m_writer->Decision(book.History().back());
        break;
      case ScreeningBook::Change::Labels:
      case ScreeningBook::Change::Note:
      case ScreeningBook::Change::Known:
        m_writer->Screening(book, article);
        break;
      case ScreeningBook::Change::Generation:
        m_writer->Generation(book, article);
        break;
      case ScreeningBook::Change::Reasons:
        m_writer->Reasons(book.Reasons());
        break;
      case ScreeningBook::Change::KnownPapers:
        m_writer->KnownPapers(book.KnownPapers());
        break;
    }
  });
}

template <typename Write>
void SessionFile::Transaction(Write&& write) {
  if (ReadOnly() || !m_writeError.empty() || !m_chain) return;
  // Inside a batch the change joins the batch's transaction; a failure rolls back the whole batch.
  const bool own = !m_batchOpen;
  try {
    if (own) m_db->Execute("BEGIN IMMEDIATE");
    try {
      write();
      for (int32_t article : m_pendingGenerations) m_writer->Generation(m_chain->Screenings(), article);
      m_writer->Changed();
      if (own) m_db->Execute("COMMIT");
      m_pendingGenerations.clear();
    } catch (...) {
      sqlite3_exec(m_db->Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
      m_batchOpen = false;
      throw;
    }
  } catch (const std::exception& error) {
    m_writeError = "cannot write " + m_path + ": " + error.what();
  }
}

SessionFile::Batch::Batch(SessionFile& session) : m_session(session) {
  if (m_session.m_batchDepth++ > 0 || m_session.ReadOnly() || !m_session.m_writeError.empty() || !m_session.m_chain)
    return;
  try {
    m_session.m_db->Execute("BEGIN IMMEDIATE");
    m_session.m_batchOpen = true;
  } catch (const std::exception& error) {
    m_session.m_writeError = "cannot write " + m_session.m_path + ": " + error.what();
  }
}

SessionFile::Batch::~Batch() {
  if (--m_session.m_batchDepth > 0 || !m_session.m_batchOpen) return;
  m_session.m_batchOpen = false;
  try {
    m_session.m_db->Execute("COMMIT");
  } catch (const std::exception& error) {
    sqlite3_exec(m_session.m_db->Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    m_session.m_writeError = "cannot write " + m_session.m_path + ": " + error.what();
  }
}

int64_t& SessionFile::CurrentFetch(int32_t pearl, PearlRelation relation) {
  if (m_fetchPearl != pearl) {
    m_fetchPearl = pearl;
    m_citedFetch = m_citingFetch = 0;
  }
  return relation == PearlRelation::Cited ? m_citedFetch : m_citingFetch;
}

void SessionFile::PearlStarted(int32_t pearl) {
  Transaction([&] {
    // The chain has aged every relation for the new pearl: the same, row for row, in one statement.
    m_db->Execute(
        "UPDATE article SET cited_age = min(cited_age + 1, 255) WHERE is_cited;"
        "UPDATE article SET citing_age = min(citing_age + 1, 255) WHERE is_citing;");
    m_writer->Article(*m_chain, pearl);
    m_writer->Pearl(*m_chain, pearl, true);
    SqliteStatement(*m_db, "INSERT OR REPLACE INTO session_info VALUES('citing_limit', ?1), ('written_by', ?2)")
        .Bind(1, std::to_string(m_chain->LargeCitationLimit()))
        .Bind(2, ProgramVersion())
        .Run();
  });
}

void SessionFile::GrowthStarted(const GrowthStep& step) {
  Transaction([&] { CurrentFetch(step.pearl, step.relation) = m_writer->StartFetch(*m_chain, step, m_source); });
}

void SessionFile::PageMerged(const MergedPage& page) {
  Transaction([&] {
    const int64_t fetch = CurrentFetch(page.pearl, page.relation);
    for (int32_t i : page.touched) {
      m_writer->Article(*m_chain, i);
      m_writer->Relation(page.pearl, page.relation, i, fetch);
    }
    m_writer->Page(fetch, page.page, page.asked, page.received);
    m_writer->Progress(fetch, page.total, page.received);
  });
}

void SessionFile::GrowthEnded(const GrowthStep& step, GrowthEnd end) {
  Transaction([&] { m_writer->EndFetch(CurrentFetch(step.pearl, step.relation), end); });
}

void SessionFile::PearlEnded(int32_t pearl) {
  Transaction([&] { m_writer->Pearl(*m_chain, pearl); });
}

void SessionFile::PearlRemoved(int32_t pearl, const std::vector<int32_t>& touched) {
  Transaction([&] {
    for (int32_t i : touched) m_writer->Article(*m_chain, i);
    m_writer->Article(*m_chain, pearl);
    SqliteStatement(*m_db, "DELETE FROM relation WHERE pearl = ?1").Bind(1, pearl).Run();
    SqliteStatement(*m_db, "DELETE FROM pearl WHERE article = ?1").Bind(1, pearl).Run();
    SqliteStatement(*m_db, "UPDATE fetch SET kept = 0 WHERE pearl = ?1").Bind(1, pearl).Run();
  });
}

void SessionFile::RecordChanged(int32_t indexNum) {
  Transaction([&] {
    m_writer->Article(*m_chain, indexNum);
    if (m_chain->GetRecord(indexNum).IsPearl) m_writer->Pearl(*m_chain, indexNum);
  });
}

void SessionFile::Enqueue(const std::vector<std::string>& pks, int32_t generation) {
  if (ReadOnly()) throw SessionError(m_readOnlyReason);
  try {
    m_db->Execute("BEGIN IMMEDIATE");
    try {
      SqliteStatement s(*m_db, "INSERT INTO queue(pk, generation) VALUES(?1, ?2)");
      for (const std::string& pk : pks) s.Bind(1, pk).Bind(2, generation).Run();
      m_db->Execute("COMMIT");
    } catch (...) {
      sqlite3_exec(m_db->Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  } catch (const SqliteError& error) {
    throw SessionError("cannot write " + m_path + ": " + error.what());
  }
}

void SessionFile::Dequeue(const std::string& pk) {
  if (ReadOnly()) throw SessionError(m_readOnlyReason);
  try {
    SqliteStatement(*m_db, "DELETE FROM queue WHERE pk = ?1 COLLATE NOCASE").Bind(1, pk).Run();
  } catch (const SqliteError& error) {
    throw SessionError("cannot write " + m_path + ": " + error.what());
  }
}

std::vector<QueuedPearl> SessionFile::Queue() const {
  std::vector<QueuedPearl> queue;
  SqliteStatement s(*m_db, "SELECT pk, generation FROM queue ORDER BY position");
  while (s.Step()) queue.push_back({s.Text(0), static_cast<int32_t>(s.Int(1))});
  return queue;
}

int32_t SessionFile::LatestRun() const {
  if (m_version < 2) return 1;
  SqliteStatement s(*m_db, "SELECT coalesce(max(id), 1) FROM run");
  return s.Step() ? static_cast<int32_t>(s.Int(0)) : 1;
}

int32_t SessionFile::BeginRun(const std::string& kind, const std::string& options) {
  if (ReadOnly()) throw SessionError(m_readOnlyReason);
  if (!m_chain) throw SessionError("no chain is attached to " + m_path);
  if (!m_writeError.empty()) throw SessionError(m_writeError);
  const int32_t run = LatestRun() + 1;
  try {
    SqliteStatement(*m_db, "INSERT INTO run VALUES(?1, ?2, ?3, ?4)")
        .Bind(1, run)
        .Bind(2, UtcNow())
        .Bind(3, kind)
        .Bind(4, options)
        .Run();
  } catch (const SqliteError& error) {
    throw SessionError("cannot write " + m_path + ": " + error.what());
  }
  m_chain->Screenings().SetRun(run);
  return run;
}

std::vector<RunEntry> SessionFile::Runs() const {
  if (m_version < 2) return {{1, Info("created_utc"), "grow", "{}"}};
  std::vector<RunEntry> runs;
  SqliteStatement s(*m_db, "SELECT id, started_utc, kind, options FROM run ORDER BY id");
  while (s.Step()) runs.push_back({static_cast<int32_t>(s.Int(0)), s.Text(1), s.Text(2), s.Text(3)});
  return runs;
}

std::vector<FetchEntry> SessionFile::FetchLog() const {
  std::vector<FetchEntry> log;
  SqliteStatement s(*m_db,
                    std::string("SELECT id, pearl, direction, source, request, started_utc, ended_utc, expected, "
                                "available, asked, received, pages_done, pages_needed, status, kept, ") +
                        (m_version >= 2 ? "run" : "1") + " FROM fetch ORDER BY id");
  while (s.Step()) {
    FetchEntry e;
    e.id = s.Int(0);
    e.pearl = static_cast<int32_t>(s.Int(1));
    e.relation = s.Text(2) == "references" ? PearlRelation::Cited : PearlRelation::Citing;
    e.source = s.Text(3);
    e.request = s.Text(4);
    e.startedUtc = s.Text(5);
    e.endedUtc = s.Text(6);
    e.expected = s.Int(7);
    e.available = static_cast<int32_t>(s.Int(8));
    e.asked = static_cast<int32_t>(s.Int(9));
    e.received = static_cast<int32_t>(s.Int(10));
    e.pagesDone = static_cast<int32_t>(s.Int(11));
    e.pagesNeeded = static_cast<int32_t>(s.Int(12));
    e.status = s.Text(13);
    e.kept = s.Int(14) != 0;
    e.run = static_cast<int32_t>(s.Int(15));
    log.push_back(std::move(e));
  }
  return log;
}

DirectionState SessionFile::Direction(int32_t pearl, PearlRelation relation) const {
  DirectionState d;
  SqliteStatement last(*m_db,
                       "SELECT pages_needed, asked, available, status FROM fetch WHERE pearl = ?1 AND direction = ?2 "
                       "AND kept ORDER BY id DESC LIMIT 1");
  if (!last.Bind(1, pearl).Bind(2, DirectionName(relation)).Step()) return d;
  d.pagesNeeded = static_cast<int32_t>(last.Int(0));
  d.asked = static_cast<int32_t>(last.Int(1));
  d.available = static_cast<int32_t>(last.Int(2));
  d.status = last.Text(3);
  SqliteStatement had(*m_db,
                      "SELECT count(*), coalesce(sum(received), 0) FROM (SELECT max(p.received) AS received "
                      "FROM fetched_page p JOIN fetch f ON f.id = p.fetch WHERE f.pearl = ?1 AND f.direction = ?2 "
                      "AND f.kept AND p.page <= ?3 GROUP BY p.page)");
  had.Bind(1, pearl).Bind(2, DirectionName(relation)).Bind(3, d.pagesNeeded).Step();
  d.pagesHad = static_cast<int32_t>(had.Int(0));
  d.received = static_cast<int32_t>(had.Int(1));
  return d;
}

int32_t SessionFile::Generation(int32_t pearl) const {
  SqliteStatement s(*m_db, "SELECT generation FROM pearl WHERE article = ?1");
  return s.Bind(1, pearl).Step() ? static_cast<int32_t>(s.Int(0)) : -1;
}

int64_t SessionFile::ArticleCount() const {
  SqliteStatement s(*m_db, "SELECT count(*) FROM article");
  return s.Step() ? s.Int(0) : 0;
}

int64_t SessionFile::PearlCount() const {
  SqliteStatement s(*m_db, "SELECT count(*) FROM pearl");
  return s.Step() ? s.Int(0) : 0;
}

int64_t SessionFile::RelationCount() const {
  SqliteStatement s(*m_db, "SELECT count(*) FROM relation");
  return s.Step() ? s.Int(0) : 0;
}

std::string SessionFile::Info(const std::string& key) const {
  SqliteStatement s(*m_db, "SELECT value FROM session_info WHERE key = ?1");
  return s.Bind(1, key).Step() ? s.Text(0) : std::string();
}

}  // namespace wendrel
