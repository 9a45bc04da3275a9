// The layout of a session file (SQLite): version 1 and the migration to version 2, which every new
// file goes through too; docs/session-file.md describes every column.
#pragma once

#include <cstdint>

namespace wendrel {

// PRAGMA application_id of a session file: "Wdrs" in ASCII.
constexpr int32_t kSessionApplicationId = 0x57647273;

// Version 1, as the first files were written; a new file starts from it and is migrated.
constexpr const char* kSessionTables = R"sql(
CREATE TABLE session_info(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE article(
  id INTEGER PRIMARY KEY,
  pk TEXT NOT NULL, ak TEXT NOT NULL,
  citation_count INTEGER NOT NULL, reference_count INTEGER NOT NULL,
  pub_type TEXT NOT NULL, year TEXT NOT NULL, title TEXT NOT NULL, abstract TEXT NOT NULL,
  first_author TEXT NOT NULL, co_authors TEXT NOT NULL, source TEXT NOT NULL, keywords TEXT NOT NULL,
  doi TEXT NOT NULL, full_text_url TEXT NOT NULL,
  is_cited INTEGER NOT NULL, cited_by_pearls INTEGER NOT NULL, cited_age INTEGER NOT NULL,
  cited_pearl_list TEXT NOT NULL,
  is_citing INTEGER NOT NULL, cites_pearls INTEGER NOT NULL, citing_age INTEGER NOT NULL,
  citing_pearl_list TEXT NOT NULL,
  is_pearl INTEGER NOT NULL, suppressed INTEGER NOT NULL, unresolved INTEGER NOT NULL,
  retracted INTEGER NOT NULL, work_type TEXT NOT NULL);
CREATE TABLE pearl(
  article INTEGER PRIMARY KEY REFERENCES article(id),
  position INTEGER NOT NULL,
  generation INTEGER NOT NULL,
  partly_grown INTEGER NOT NULL,
  citing_limit INTEGER NOT NULL);
CREATE TABLE fetch(
  id INTEGER PRIMARY KEY,
  pearl INTEGER NOT NULL REFERENCES article(id),
  direction TEXT NOT NULL CHECK(direction IN ('references', 'citing')),
  source TEXT NOT NULL, request TEXT NOT NULL,
  started_utc TEXT NOT NULL, ended_utc TEXT NOT NULL,
  expected INTEGER NOT NULL, available INTEGER NOT NULL, asked INTEGER NOT NULL, received INTEGER NOT NULL,
  pages_done INTEGER NOT NULL, pages_needed INTEGER NOT NULL,
  status TEXT NOT NULL CHECK(status IN ('growing', 'complete', 'capped', 'stopped', 'failed')),
  kept INTEGER NOT NULL);
CREATE INDEX fetch_by_pearl ON fetch(pearl, direction);
CREATE TABLE fetched_page(
  fetch INTEGER NOT NULL REFERENCES fetch(id), page INTEGER NOT NULL, asked INTEGER NOT NULL,
  received INTEGER NOT NULL, PRIMARY KEY(fetch, page)) WITHOUT ROWID;
CREATE TABLE relation(
  pearl INTEGER NOT NULL REFERENCES article(id),
  direction TEXT NOT NULL CHECK(direction IN ('references', 'citing')),
  article INTEGER NOT NULL REFERENCES article(id),
  fetch INTEGER REFERENCES fetch(id),
  PRIMARY KEY(pearl, direction, article)) WITHOUT ROWID;
CREATE TABLE queue(position INTEGER PRIMARY KEY, pk TEXT NOT NULL, generation INTEGER NOT NULL);
)sql";

// Each article's first generation as version 1 files let it be worked out: the lowest generation of
// the pearls it relates to, and for a pearl at most its own. Articles related to no pearl (their
// pearl was removed) have none.
constexpr const char* kFirstGenerations = R"sql(
SELECT article, min(generation) AS generation FROM (
  SELECT article, generation FROM pearl
  UNION ALL SELECT r.article, p.generation FROM relation r JOIN pearl p ON p.article = r.pearl)
GROUP BY article)sql";

// Version 1 to 2: the screening of the articles (decision, reason, labels as a JSON array of texts,
// note, known mark; a row only for an article with any of them), the history of decisions, the
// session's exclusion reasons (none: the defaults), each article's first generation (-1 none), and
// the entries of the user's library with their match state (authors and the articles matched or
// possibly matched as JSON arrays), and the run log: every growth so far is run 1, and each article
// and fetch is of the run it came in.
constexpr const char* kSessionMigrationTo2 = R"sql(
ALTER TABLE article ADD COLUMN generation INTEGER NOT NULL DEFAULT -1;
ALTER TABLE article ADD COLUMN first_run INTEGER NOT NULL DEFAULT 1;
ALTER TABLE fetch ADD COLUMN run INTEGER NOT NULL DEFAULT 1;
CREATE TABLE run(
  id INTEGER PRIMARY KEY,
  started_utc TEXT NOT NULL,
  kind TEXT NOT NULL CHECK(kind IN ('grow', 'refresh')),
  options TEXT NOT NULL);
INSERT INTO run VALUES(1, coalesce((SELECT min(started_utc) FROM fetch),
                                   (SELECT value FROM session_info WHERE key = 'created_utc'), ''), 'grow', '{}');
CREATE TABLE screening(
  article INTEGER PRIMARY KEY REFERENCES article(id),
  verdict TEXT NOT NULL CHECK(verdict IN ('undecided', 'included', 'excluded', 'maybe')),
  reason TEXT NOT NULL, labels TEXT NOT NULL, note TEXT NOT NULL, known INTEGER NOT NULL);
CREATE TABLE decision(
  id INTEGER PRIMARY KEY,
  article INTEGER NOT NULL REFERENCES article(id),
  decided_utc TEXT NOT NULL,
  verdict TEXT NOT NULL CHECK(verdict IN ('undecided', 'included', 'excluded', 'maybe')),
  reason TEXT NOT NULL);
CREATE TABLE exclusion_reason(position INTEGER PRIMARY KEY, text TEXT NOT NULL);
CREATE TABLE known_paper(
  position INTEGER PRIMARY KEY,
  doi TEXT NOT NULL, title TEXT NOT NULL, year TEXT NOT NULL, authors TEXT NOT NULL,
  match TEXT NOT NULL CHECK(match IN ('unmatched', 'possible', 'matched')), articles TEXT NOT NULL);
)sql";

}  // namespace wendrel
