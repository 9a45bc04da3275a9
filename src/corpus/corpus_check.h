// Whether a corpus file is whole: SQLite's own checks of its pages and indexes, quick at start
// and complete on request.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace wendrel {

// Files up to this size are checked when a service opens them; the quick check reads about
// 1 GB a second, so that costs a second or two at most.
constexpr uint64_t kCheckAtStartLimit = 2ull << 30;

// Told now and then how far the check has come, from 0 to 1.
using CheckProgressHandler = std::function<void(double done)>;

// Runs SQLite's integrity check (or the quick one, which leaves out comparing indexes with their
// tables) over the file, read-only, and returns its complaints, at most `limit` of them: none
// when the file is whole. Throws ServiceError when the file cannot be opened.
std::vector<std::string> CheckCorpusFile(const std::string& path, bool quick, int limit = 10,
                                         const CheckProgressHandler& progress = nullptr);

// For a service opening a corpus or a cache: a quick check of a file up to kCheckAtStartLimit.
// Throws ServiceError naming the file and SQLite's first complaint when it is damaged; returns a
// note naming `wendrel corpus check` for a file too large to check here, empty otherwise.
// `what` names the file in messages ("the corpus", "the OpenAlex cache"); `advice` ends the
// message for a damaged file.
std::string CheckCorpusAtStart(const std::string& path, const std::string& what,
                               const std::string& advice = "`wendrel corpus check` lists what is wrong with it");

}  // namespace wendrel
