// The layout of a corpus file (SQLite): tables, indexes and the full-text index, shared by the
// importer that writes it and the reader that serves it.
//
// publication      one row per publication; authors, keywords and urls as JSON arrays
//                  ([[id,"first","last"],...], [[id,"name"],...], ["url",...])
// venue            journals (kind 1) and conferences (kind 2)
// reference_edge   citing -> cited, clustered by (citing, cited's citation count desc, cited)
// citation_edge    cited -> citing, clustered by (cited, citing's citation count desc, citing)
// publication_text contentless FTS5 index over title, abstract, author names, journal, conference
// corpus_info      key/value pairs; "format" marks the file as a corpus
#pragma once

namespace wendrel {

constexpr const char* kCorpusFormat = "wendrel-corpus-1";

constexpr const char* kCorpusTables = R"sql(
CREATE TABLE corpus_info(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE venue(id INTEGER PRIMARY KEY, kind INTEGER NOT NULL, name TEXT NOT NULL);
CREATE TABLE publication(
  id INTEGER PRIMARY KEY,
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
