// Thin RAII wrappers over an SQLite connection and a prepared statement; every failure becomes an
// SqliteError carrying SQLite's message, its result code and the file's path.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace wendrel {

// What() reads "<what was done>: <SQLite's text>", the what naming the file.
class SqliteError : public std::runtime_error {
 public:
  SqliteError(const std::string& what, int code, std::string path, std::string sqliteText)
      : std::runtime_error(what), m_code(code), m_path(std::move(path)), m_sqliteText(std::move(sqliteText)) {}
  // SQLite's extended result code (SQLITE_FULL, SQLITE_CORRUPT_..., ...).
  int Code() const { return m_code; }
  const std::string& Path() const { return m_path; }
  const std::string& SqliteText() const { return m_sqliteText; }
  // The failure in plain words where the code says more than SQLite's text ("no space left on
  // the device", "the file is damaged"); SQLite's text otherwise.
  std::string Reason() const;

 private:
  int m_code;
  std::string m_path;
  std::string m_sqliteText;
};

// An SQLite file's header (its first 100 bytes), read without opening the database.
using SqliteHeader = std::array<unsigned char, 100>;
// A big-endian field of the header: `width` bytes from `offset`.
uint32_t SqliteHeaderField(const SqliteHeader& header, size_t offset, int width);
// Page size times page count: the size the file must have, when the header says its page count is
// current and counts any page; nothing otherwise. Whether a write-ahead log still holds later
// pages is for the caller to judge.
std::optional<uint64_t> SqliteCountedSize(const SqliteHeader& header);

class SqliteDb {
 public:
  // flags are sqlite3_open_v2's (SQLITE_OPEN_READONLY, ...).
  SqliteDb(const std::string& path, int flags);
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  // Runs one or more statements that return no rows.
  void Execute(const std::string& sql);
  sqlite3* Handle() const { return m_db; }
  const std::string& Path() const { return m_path; }

 private:
  sqlite3* m_db = nullptr;
  std::string m_path;
};

class SqliteStatement {
 public:
  SqliteStatement(SqliteDb& db, const std::string& sql);
  ~SqliteStatement();
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  // Parameters count from 1, as in SQLite.
  SqliteStatement& Bind(int index, int64_t value);
  SqliteStatement& Bind(int index, std::string_view value);
  SqliteStatement& BindNull(int index);

  // Advances to the next row; false when there is none left.
  bool Step();
  // Runs a statement that returns no rows, then makes it ready for new bindings.
  void Run();
  // Makes the statement ready to run again and clears its bindings.
  void Reset();

  // Columns count from 0.
  bool IsNull(int column) const;
  int64_t Int(int column) const;
  std::string Text(int column) const;
  double Real(int column) const;

 private:
  SqliteDb& m_db;
  sqlite3_stmt* m_statement = nullptr;
};

}  // namespace wendrel
