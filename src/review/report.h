// The report of a session's citation searching: every search with its source, date and counts,
// the records in the terms of a review's flow diagram, the generations with their yield and where
// growing stopped, the relations as an edge list, and a methods paragraph; written as Markdown,
// HTML, JSON or CSV.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "chain/citation_chain.h"

namespace wendrel {

class SessionFile;

// One direction of one pearl's growth, the fetches of a resumed growth taken together.
struct ReportSearch {
  std::string pearl;  // the pearl's ID
  std::string title;
  PearlRelation relation = PearlRelation::Cited;  // backward = Cited, forward = Citing
  int32_t generation = 0;
  std::string source;     // the fetch log's source texts, each once, joined by "; "
  std::string date;       // the start of its first fetch, UTC, ISO 8601
  std::string lastDate;   // the start of its last fetch (the same for a search fetched at once)
  int64_t expected = 0;   // the count the source gave; the pearl record's count when it gave none
  int32_t retrieved = 0;  // the articles its pages named, works listed twice counted twice
  std::string status;     // "complete", "capped", "stopped" or "failed" (of its last fetch)

  bool Complete() const { return status == "complete"; }
};

// The records in the terms of the citation-searching column of a review's flow diagram. The
// records are the articles the searches reached; a record's screening counts once.
// identified - duplicatesRemoved == unique; screened + undecided == unique.
struct ReportTotals {
  int64_t identified = 0;         // retrieved, summed over every search
  int64_t duplicatesRemoved = 0;  // the same article reached again, or listed twice
  int64_t unique = 0;
  int64_t known = 0;
  int64_t screened = 0;  // included, excluded or maybe
  int64_t excluded = 0;
  std::vector<std::pair<std::string, int64_t>> excludedByReason;  // the session's reasons first
  int64_t maybe = 0;
  int64_t included = 0;
  int64_t undecided = 0;
};

// What one generation brought: its pearls, the records that first appeared while they grew, and
// the included among those.
struct ReportGeneration {
  int32_t generation = 0;
  int32_t pearls = 0;
  int64_t records = 0;
  int64_t included = 0;
};

// One relation retrieved: which pearl reached which article, in which direction and when.
struct ReportEdge {
  std::string pearl;
  PearlRelation relation = PearlRelation::Cited;
  std::string article;
  int32_t generation = 0;  // the pearl's
  std::string date;        // the start of the fetch it came from; empty when none was recorded
};

struct Report {
  std::string sessionName;  // the session file's name
  std::string programVersion;
  std::vector<ReportSearch> searches;  // in the order of the pearls, backward before forward
  ReportTotals totals;
  std::vector<ReportGeneration> generations;  // 0 to the last with pearls or records
  std::vector<ReportEdge> edges;
  int32_t seeds = 0;  // pearls of generation 0 with a search
  // The last generation whose pearls were grown, and the sentence saying why growing ended there.
  int32_t stoppedAfter = -1;
  std::string stoppingPoint;
  std::string methods;
};

// The report of a session from its file and the chain it was restored into (the chain gives the
// IDs, titles and the screening; the file the searches and the relations). Reads only.
Report MakeReport(const SessionFile& session, const MASCitationChain& chain);

// "backward" for the references of a pearl, "forward" for the articles citing it.
const char* SearchDirectionName(PearlRelation relation);

// The report as a document. Markdown and HTML hold everything but the edge list; JSON holds the
// searches, totals and generations in the layout docs/report.md gives; CSV is the table of searches.
// CSV files end their lines with CR LF.
std::string ReportMarkdown(const Report& report);
std::string ReportHtml(const Report& report);
std::string ReportJson(const Report& report);
std::string ReportSearchesCsv(const Report& report);
// One row per relation: Pearl, Direction, Article, Generation, Date.
std::string ReportEdgesCsv(const Report& report);

}  // namespace wendrel
