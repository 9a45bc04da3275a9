// What the chain tells a journal that keeps the session on disk, and what such a journal gives back
// to restore a chain: the pages each pearl's growth has merged, page by page.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "search_client/cc_record.h"

namespace wendrel {

// The two relations a page of articles can have to the pearl being added.
enum class PearlRelation {
  Cited,   // the pearl cites them (its references): the Cited List
  Citing,  // they cite the pearl: the Citing List
};

// The pages of a pearl's growth that are merged, per direction: page number (from 1, a hundred
// articles each) -> the articles asked for on it (a hundred, or fewer on the last page of a capped
// citing list). citingLimit is the largest number of citing articles a growth asked for (the limit
// when capped); -1 before any growth.
struct GrownPages {
  std::map<int32_t, int32_t> cited;
  std::map<int32_t, int32_t> citing;
  int32_t citingLimit = -1;

  bool operator==(const GrownPages&) const = default;
};

// One direction of one pearl's growth.
struct GrowthStep {
  int32_t pearl = 0;
  PearlRelation relation = PearlRelation::Cited;
  int32_t available = 0;     // what the pearl's record says it has (ReferenceCount or CitationCount)
  int32_t asked = 0;         // the articles asked for: all available, or the citing limit
  int32_t pagesNeeded = 0;   // pages of `asked`
  int32_t pagesHad = 0;      // of them, merged before this growth (a resumed growth)
};

// A page merged into the table.
struct MergedPage {
  int32_t pearl = 0;
  PearlRelation relation = PearlRelation::Cited;
  int32_t page = 0;     // from 1 within its direction
  int32_t asked = 0;    // articles asked for on it
  int64_t total = -1;   // the whole answer's size as the service gave it; -1 when it did not say
  int32_t received = 0; // articles the page named
  std::vector<int32_t> touched;  // record numbers the page named (created, counted or already related)
};

// How one direction of a growth ended.
enum class GrowthEnd {
  Complete,  // every page asked for is merged and nothing was left out
  Capped,    // complete up to the citing limit, below the citation count
  Stopped,   // StopRequested ended it before its last page
  Failed,    // a page got no usable reply
};

// Told, on the chain's thread and in this order, of every change a growth makes: a pearl starts
// (its record, flag and place in the order are set and the relations are aged), each direction
// starts, each page is merged, each direction ends, and the pearl ends (its partly-grown mark is
// set). Removals and record changes outside a growth (a deletion, an unresolved pearl kept from a
// file) come by themselves. A journal must not call back into the chain's growing operations.
class ChainJournal {
 public:
  virtual ~ChainJournal() = default;
  virtual void PearlStarted(int32_t pearl) = 0;
  virtual void GrowthStarted(const GrowthStep& step) = 0;
  virtual void PageMerged(const MergedPage& page) = 0;
  virtual void GrowthEnded(const GrowthStep& step, GrowthEnd end) = 0;
  virtual void PearlEnded(int32_t pearl) = 0;
  // The pearl is no pearl any more; `touched` are the records whose relation lists lost it.
  virtual void PearlRemoved(int32_t pearl, const std::vector<int32_t>& touched) = 0;
  // A record changed by itself: suppressed, or kept as an unresolved pearl.
  virtual void RecordChanged(int32_t indexNum) = 0;
};

// Everything of a chain a session file keeps, to put the chain back as it was (RestoreState).
struct ChainState {
  std::vector<CCRecord> records;  // records 1 to n, in their numbering
  std::vector<int32_t> pearlOrder;
  std::vector<int32_t> unresolved;
  std::vector<int32_t> partlyGrown;
  std::map<int32_t, GrownPages> grown;  // by pearl
};

}  // namespace wendrel
