#include "corpus/corpus_check.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "platform/sqlite_db.h"
#include "service/service_error.h"

namespace wendrel {

namespace {

// Bytes this process has read through read() and pread() so far: SQLite reads each page once in
// a check, so their growth over the file's size tells how far it has come. Zero where unknown.
uint64_t BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return 0;
}

}  // namespace

std::vector<std::string> CheckCorpusFile(const std::string& path, bool quick, int limit,
                                         const CheckProgressHandler& progress) {
  std::vector<std::string> problems;
  try {
    SqliteDb db(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
    struct Watch {
      const CheckProgressHandler* progress;
      uint64_t start;
      double size;
      std::chrono::steady_clock::time_point next;
    } watch{&progress, BytesRead(), 0, std::chrono::steady_clock::now()};
    std::error_code ec;
    watch.size = static_cast<double>(std::filesystem::file_size(path, ec));
    if (progress && watch.size > 0)
      sqlite3_progress_handler(
          db.Handle(), 100000,
          [](void* context) {
            auto& w = *static_cast<Watch*>(context);
            auto now = std::chrono::steady_clock::now();
            if (now < w.next) return 0;
            w.next = now + std::chrono::milliseconds(500);
            (*w.progress)(std::min(0.99, static_cast<double>(BytesRead() - w.start) / w.size));
            return 0;
          },
          &watch);
    SqliteStatement check(db, std::string(quick ? "PRAGMA quick_check(" : "PRAGMA integrity_check(") +
                                  std::to_string(std::max(1, limit)) + ")");
    // The first complaint comes as "*** in database main ***" and the complaint on a second line.
    static constexpr std::string_view kHeading = "*** in database main ***\n";
    while (check.Step()) {
      std::string line = check.Text(0);
      if (line == "ok") continue;
      if (line.compare(0, kHeading.size(), kHeading) == 0) line.erase(0, kHeading.size());
      std::replace(line.begin(), line.end(), '\n', ' ');
      problems.push_back(line);
    }
    if (progress) progress(1.0);
  } catch (const SqliteError& e) {
    // A file damaged in its first pages fails before the check can say anything.
    if ((e.Code() & 0xff) != SQLITE_CORRUPT && (e.Code() & 0xff) != SQLITE_NOTADB)
      throw ServiceError("cannot check " + path + ": " + e.Reason());
    problems.push_back(e.SqliteText());
  }
  return problems;
}

std::string CheckCorpusAtStart(const std::string& path, const std::string& what, const std::string& advice) {
  std::error_code ec;
  uint64_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > kCheckAtStartLimit)
    return what + " " + path + " is too large to check at start; `wendrel corpus check " + path +
           "` checks it";
  std::vector<std::string> problems = CheckCorpusFile(path, true, 1);
  if (!problems.empty())
    throw ServiceError(what + " " + path + " is damaged (" + problems.front() + "); " + advice);
  return {};
}

}  // namespace wendrel
