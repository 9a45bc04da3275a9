// Small corpus files for tests that run the local service.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "corpus/corpus_import.h"
#include "temp_dir.h"

namespace wendrel::test {

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// Imports the JSON Lines into <name>.sqlite in the folder and returns that path; any malformed
// line is a test setup error.
inline std::string BuildCorpus(const TempDir& dir, const std::string& name, const std::string& jsonLines) {
  std::string input = dir.Path(name + ".jsonl");
  std::string output = dir.Path(name + ".sqlite");
  WriteText(input, jsonLines);
  ImportCorpus(input, output, [](int64_t line, const std::string& reason) {
    throw std::runtime_error("fixture line " + std::to_string(line) + ": " + reason);
  });
  return output;
}

// Overwrites `count` pages of an SQLite file with zeros from 1-based page `first` on (to the end
// of the file at most), as a damaged disk or copy would leave them; returns the file's page count.
inline int64_t ZeroPages(const std::string& path, int64_t first, int64_t count) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  unsigned char field[2] = {};
  file.seekg(16);
  file.read(reinterpret_cast<char*>(field), 2);
  int64_t pageSize = field[0] << 8 | field[1];
  if (pageSize == 1) pageSize = 65536;
  const auto size = static_cast<int64_t>(std::filesystem::file_size(path));
  const int64_t pages = size / pageSize;
  for (int64_t page = first; page < first + count && page <= pages; ++page) {
    file.seekp((page - 1) * pageSize);
    file.write(std::string(static_cast<size_t>(pageSize), '\0').data(), pageSize);
  }
  return pages;
}

// A corpus small enough to know by heart. Citation counts: 1 has 4 (cited by 2, 3, 4, 5),
// 2 and 3 have 2, 5 has 3, 6 and 10 have 1. Publication 2 also cites 999999, which is not in the
// corpus; 7 lists 5 twice and itself; 4's year is unknown.
constexpr const char* kSmallCorpus = R"(
{"id":1,"title":"Text mining: a survey","abstract":"We review methods for mining text collections.\nA second line.","year":2001,"authors":[{"last":"Kowalski","first":"Anna"},{"last":"Müller","first":"Jürgen"}],"venue":{"kind":"journal","name":"Journal of Text Studies"},"doi":"10.1000/jts.2001.1","urls":["http://a.example.org/1.pdf","http://a.example.org/1.html"],"keywords":["Text Mining","survey"],"references":[]}
{"id":2,"title":"Citation analysis of text mining","abstract":"","year":2005,"authors":[{"last":"Kowalski","first":"Anna"}],"venue":{"kind":"conference","name":"Conference on Citation Studies"},"references":[1,999999]}
{"id":3,"title":"Mining citation networks","year":2010,"authors":[{"last":"O'Brien","first":"Bob"}],"venue":null,"references":[1,2]}
{"id":4,"title":"Networks of mining","year":0,"authors":[],"references":[1,2,3]}
{"id":5,"title":"Quotes \"and\" slashes / back\\slash","abstract":"Tab\there","year":1999,"authors":[{"last":"Sánchez","first":"Łukasz"}],"references":[1]}
{"id":6,"title":"Zebra studies","abstract":"Nothing about text mining in the title.","year":2010,"references":[3,5]}
{"id":7,"title":"Repeated references","year":2012,"references":[5,5,7]}
{"id":8,"title":"Graph kernels revisited","year":2015,"references":[5,6,10]}
{"id":9,"title":"Graph kernels","year":2011}
{"id":10,"title":"Graph kernels","year":2011}
{"id":11,"title":"Graph","year":2011}
)";

}  // namespace wendrel::test
