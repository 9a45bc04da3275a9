// Finding the session's articles a reference of another file stands for: an entry of the user's
// library (known papers) or a screened reference (decisions imported from another tool).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "chain/citation_chain.h"
#include "chain/ris_reader.h"

namespace wendrel {

// The articles a reference matched, and those it only may stand for (record numbers from 1,
// ascending; `possible` is empty when `matched` is not).
struct ArticleMatch {
  std::vector<int32_t> matched;
  std::vector<int32_t> possible;
};

// An index of a chain's articles by service ID, DOI and folded title, built once for many look-ups.
// The chain must not grow while the matcher is used.
//
// Two different DOIs never match, whatever else agrees; equal DOIs (any case, with or without a
// resolver address) always do. Without a DOI on both sides, titles are compared by TitleKey and a
// year counts as agreeing when either side lacks it.
class ArticleMatcher {
 public:
  explicit ArticleMatcher(const MASCitationChain& chain);

  // A library entry: the service ID this program's own files carry, else the same DOI, else an
  // equal title with years at most one apart and an author surname both share. An equal title
  // whose year or authors do not agree (or that one side gives no authors for), or a title equal
  // but for a subtitle, is a possible match only.
  ArticleMatch MatchKnown(const RisReference& entry) const;
  // A screened reference, by the chain's duplicate rule: the service ID, else the same DOI, else an
  // equal title with years at most one apart and the same first author's last name (either lacking
  // counts as agreeing). Nothing is possible here: a decision is applied or not.
  std::vector<int32_t> MatchScreened(const RisReference& entry) const;

 private:
  struct Article {
    std::string doi;  // DoiKey
    std::optional<int> year;
    std::string firstAuthor;            // LastNameKey
    std::vector<std::string> surnames;  // every author's LastNameKey
  };
  struct Entry {
    std::string id;
    std::string doi;
    std::string title;
    std::string mainTitle;
    std::optional<int> year;
    std::string firstAuthor;
    std::vector<std::string> surnames;
  };
  static Entry EntryOf(const RisReference& reference);
  // The articles with the entry's ID or DOI; empty when neither finds one.
  std::vector<int32_t> ByIdOrDoi(const Entry& entry) const;
  bool YearsAgree(const Entry& entry, const Article& article) const;
  bool DoisConflict(const Entry& entry, const Article& article) const;

  std::vector<Article> m_articles;  // by record number; index 0 unused
  std::unordered_map<std::string, std::vector<int32_t>> m_byId;
  std::unordered_map<std::string, std::vector<int32_t>> m_byDoi;
  std::unordered_map<std::string, std::vector<int32_t>> m_byTitle;
  std::unordered_map<std::string, std::vector<int32_t>> m_byMainTitle;
};

}  // namespace wendrel
