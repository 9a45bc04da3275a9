// The layout of a session file (SQLite), version 1; docs/session-file.md describes every column.
#pragma once

#include <cstdint>

namespace wendrel {

// PRAGMA application_id of a session file: "Wdrs" in ASCII.
constexpr int32_t kSessionApplicationId = 0x57647273;

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

}  // namespace wendrel
