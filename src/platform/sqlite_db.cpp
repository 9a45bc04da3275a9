#include "platform/sqlite_db.h"

#include <sqlite3.h>

namespace wendrel {

namespace {

[[noreturn]] void Fail(sqlite3* db, const std::string& path) {
  std::string text = db ? sqlite3_errmsg(db) : "out of memory";
  throw SqliteError(path + ": " + text, db ? sqlite3_extended_errcode(db) : SQLITE_NOMEM, path, text);
}

}  // namespace

std::string SqliteError::Reason() const {
  switch (m_code & 0xff) {
    case SQLITE_FULL:
      return "no space left on the device";
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return "the file is damaged (" + m_sqliteText + ")";
    case SQLITE_READONLY:
      return "the file or its folder is read-only";
    case SQLITE_IOERR:
      if (m_code == SQLITE_IOERR_NOMEM) return "out of memory";
      return "the file cannot be read or written (" + m_sqliteText + ")";
    default:
      return m_sqliteText;
  }
}

uint32_t SqliteHeaderField(const SqliteHeader& header, size_t offset, int width) {
  uint32_t value = 0;
  for (int k = 0; k < width; ++k) value = value << 8 | header[offset + static_cast<size_t>(k)];
  return value;
}

std::optional<uint64_t> SqliteCountedSize(const SqliteHeader& header) {
  const uint32_t pages = SqliteHeaderField(header, 28, 4);
  // The count is current when the change counter agrees with the version-valid-for number.
  if (pages == 0 || SqliteHeaderField(header, 24, 4) != SqliteHeaderField(header, 92, 4)) return std::nullopt;
  uint32_t pageSize = SqliteHeaderField(header, 16, 2);
  if (pageSize == 1) pageSize = 65536;
  return static_cast<uint64_t>(pageSize) * pages;
}

SqliteDb::SqliteDb(const std::string& path, int flags) : m_path(path) {
  if (int rc = sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr); rc != SQLITE_OK) {
    std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
    sqlite3_close(m_db);
    m_db = nullptr;
    throw SqliteError("cannot open " + path + ": " + message, rc, path, message);
  }
  sqlite3_extended_result_codes(m_db, 1);
}

SqliteDb::~SqliteDb() { sqlite3_close(m_db); }

void SqliteDb::Execute(const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : sqlite3_errmsg(m_db);
    sqlite3_free(message);
    throw SqliteError(m_path + ": " + text, sqlite3_extended_errcode(m_db), m_path, text);
  }
}

SqliteStatement::SqliteStatement(SqliteDb& db, const std::string& sql) : m_db(db) {
  if (sqlite3_prepare_v3(db.Handle(), sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                         &m_statement, nullptr) != SQLITE_OK)
    Fail(db.Handle(), db.Path());
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(m_statement); }

SqliteStatement& SqliteStatement::Bind(int index, int64_t value) {
  if (sqlite3_bind_int64(m_statement, index, value) != SQLITE_OK) Fail(m_db.Handle(), m_db.Path());
  return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, std::string_view value) {
  if (sqlite3_bind_text64(m_statement, index, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8) !=
      SQLITE_OK)
    Fail(m_db.Handle(), m_db.Path());
  return *this;
}

SqliteStatement& SqliteStatement::BindNull(int index) {
  if (sqlite3_bind_null(m_statement, index) != SQLITE_OK) Fail(m_db.Handle(), m_db.Path());
  return *this;
}

bool SqliteStatement::Step() {
  int rc = sqlite3_step(m_statement);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  std::string message = sqlite3_errmsg(m_db.Handle());
  int code = sqlite3_extended_errcode(m_db.Handle());
  sqlite3_reset(m_statement);
  throw SqliteError(m_db.Path() + ": " + message, code, m_db.Path(), message);
}

void SqliteStatement::Run() {
  while (Step()) {
  }
  Reset();
}

void SqliteStatement::Reset() {
  sqlite3_reset(m_statement);
  sqlite3_clear_bindings(m_statement);
}

bool SqliteStatement::IsNull(int column) const { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }

int64_t SqliteStatement::Int(int column) const { return sqlite3_column_int64(m_statement, column); }

double SqliteStatement::Real(int column) const { return sqlite3_column_double(m_statement, column); }

std::string SqliteStatement::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(m_statement, column);
  if (!text) return {};
  auto size = static_cast<size_t>(sqlite3_column_bytes(m_statement, column));
  return std::string(reinterpret_cast<const char*>(text), size);
}

}  // namespace wendrel
