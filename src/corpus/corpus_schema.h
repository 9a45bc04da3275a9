// The layout of a corpus file (SQLite): tables, indexes and the full-text index, shared by the
// importer that writes it and the reader that serves it.
//
// publication      one row per publication; authors, keywords and urls as JSON arrays
//                  ([[id,"first","last"],...], [[id,"name"],...], ["url",...]); `id` is the row
//                  number every other table refers to, `external_id` the ID the service shows
//                  (a number or a text such as "W2099326003"), unique without regard to ASCII case
// venue            journals (kind 1) and conferences (kind 2)
// reference_edge   citing -> cited, clustered by (citing, cited's citation count desc, cited)
// citation_edge    cited -> citing, clustered by (cited, citing's citation count desc, citing)
// publication_text contentless FTS5 index over title, abstract, author names, journal, conference;
//                  its rowid is the publication's row
// corpus_info      key/value pairs; "format" marks the file as a corpus
#pragma once

namespace wendrel {

constexpr const char* kCorpusFormat = "wendrel-corpus-2";
// Files of the first format have no external_id: there the row number is the ID. They stay
// readable; nothing writes them any more.
constexpr const char* kNumericCorpusFormat = "wendrel-corpus-1";

constexpr const char* kCorpusTables = R"sql(
CREATE TABLE corpus_info(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE venue(id INTEGER PRIMARY KEY, kind INTEGER NOT NULL, name TEXT NOT NULL);
CREATE TABLE publication(
  id INTEGER PRIMARY KEY,
  external_id TEXT NOT NULL UNIQUE COLLATE NOCASE,
  title TEXT NOT NULL,
  abstract TEXT NOT NULL,
  year INTEGER NOT NULL,
  venue_id INTEGER,
  doi TEXT NOT NULL,
  authors TEXT NOT NULL,
  keywords TEXT NOT NULL,
  urls TEXT NOT NULL,
  citation_count INTEGER NOT NULL,
  reference_count INTEGER NOT NULL);
CREATE TABLE reference_edge(citing INTEGER NOT NULL, cited_citations INTEGER NOT NULL, cited INTEGER NOT NULL,
  PRIMARY KEY(citing, cited_citations DESC, cited)) WITHOUT ROWID;
CREATE TABLE citation_edge(cited INTEGER NOT NULL, citing_citations INTEGER NOT NULL, citing INTEGER NOT NULL,
  PRIMARY KEY(cited, citing_citations DESC, citing)) WITHOUT ROWID;
CREATE VIRTUAL TABLE publication_text USING fts5(title, abstract, authors, journal, conference,
  content='', tokenize='unicode61 remove_diacritics 0');
)sql";

// Built after loading, when every row is in place.
constexpr const char* kCorpusIndexes = R"sql(
CREATE INDEX publication_by_year ON publication(year DESC, citation_count DESC, id);
CREATE INDEX publication_by_citations ON publication(citation_count DESC, id, year);
)sql";

}  // namespace wendrel
