// Making the report of a session: its searches from the fetch log, its records from the relations,
// their screening from the chain's book, and the methods paragraph.
#include "review/report.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <set>

#include "session/session_file.h"

namespace wendrel {

namespace {

// "2026-12-07T14:02:11Z" -> "7 December 2026"; anything else as it is.
std::string LongDate(const std::string& utc) {
  static constexpr std::array<const char*, 12> kMonths = {"January",   "February", "March",    "April",
                                                          "May",       "June",     "July",     "August",
                                                          "September", "October",  "November", "December"};
  int year = 0, month = 0, day = 0;
  if (utc.size() < 10 || std::sscanf(utc.c_str(), "%4d-%2d-%2d", &year, &month, &day) != 3 || month < 1 || month > 12 ||
      day < 1 || day > 31)
    return utc;
  return std::to_string(day) + " " + kMonths[static_cast<size_t>(month - 1)] + " " + std::to_string(year);
}

// "1 seed reference", "12 seed references".
std::string Counted(int64_t count, const std::string& one, const std::string& many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// A source as the methods name it: "OpenAlex (https://...)", "the local corpus demo.sqlite (...)".
std::string SourceInWords(const std::string& source) {
  auto strip = [&](const std::string& prefix, std::string& rest) {
    if (source.rfind(prefix, 0) != 0) return false;
    rest = source.substr(prefix.size());
    return true;
  };
  std::string rest;
  if (strip("OpenAlex at ", rest)) return "OpenAlex (" + rest + ")";
  if (strip("corpus file ", rest)) return "the local corpus " + rest;
  if (strip("search service at ", rest)) return "the academic search service at " + rest;
  return source;
}

std::string JoinedInWords(const std::vector<std::string>& items) {
  std::string text;
  for (size_t k = 0; k < items.size(); ++k) {
    if (k > 0) text += k + 1 == items.size() ? " and " : ", ";
    text += items[k];
  }
  return text;
}

// Where growing ended: the last generation grown, and whether anything of it is left to grow.
std::string StoppingPoint(const Report& report, int64_t undecidedThere) {
  if (report.stoppedAfter < 0) return "";
  const ReportGeneration& last = report.generations[static_cast<size_t>(report.stoppedAfter)];
  const std::string start = "Growing stopped after generation " + std::to_string(last.generation) + ": ";
  if (last.records == 0) return start + "its pearls brought no new records.";
  if (last.included == 0 && undecidedThere == last.records)
    return start + "its " + Counted(last.records, "new record is", "new records are") + " not yet screened.";
  if (last.included == 0) {
    std::string text = start + "none of its " + Counted(last.records, "new record", "new records") + " was included";
    if (undecidedThere > 0) text += " (" + std::to_string(undecidedThere) + " not yet screened)";
    return text + ".";
  }
  return start + std::to_string(last.included) + " of its " + Counted(last.records, "new record", "new records") +
         (last.included == 1 ? " was" : " were") + " included and could be grown as pearls of generation " +
         std::to_string(last.generation + 1) + ".";
}

std::string Methods(const Report& report) {
  if (report.searches.empty()) return "";
  std::string first = report.searches.front().date, last = first;
  std::vector<std::string> sources;
  int64_t capped = 0, unfinished = 0;
  for (const ReportSearch& s : report.searches) {
    first = std::min(first, s.date);
    last = std::max(last, s.lastDate);
    if (s.status == "capped") ++capped;
    if (s.status == "stopped" || s.status == "failed") ++unfinished;
  }
  std::set<std::string> seen;
  for (const ReportSearch& s : report.searches) {
    for (size_t at = 0; at <= s.source.size();) {
      size_t end = s.source.find("; ", at);
      if (end == std::string::npos) end = s.source.size();
      const std::string one = s.source.substr(at, end - at);
      if (!one.empty() && seen.insert(one).second) sources.push_back(SourceInWords(one));
      at = end + 2;
    }
  }
  const std::string firstDay = LongDate(first), lastDay = LongDate(last);
  std::string text = "Backward and forward citation searching was performed " +
                     (firstDay == lastDay ? "on " + firstDay : "between " + firstDay + " and " + lastDay) + " on " +
                     Counted(report.seeds, "seed reference", "seed references") + " using " +
                     (sources.empty() ? std::string("an unrecorded source") : JoinedInWords(sources)) +
                     ", with Wendrel Search " + report.programVersion + ".";
  int32_t laterPearls = 0, laterGenerations = 0;
  for (const ReportGeneration& g : report.generations) {
    if (g.generation == 0 || g.pearls == 0) continue;
    laterPearls += g.pearls;
    ++laterGenerations;
  }
  if (laterGenerations > 0)
    text += " Included records were taken as further seed references in " +
            Counted(laterGenerations, "further iteration", "further iterations") + " (" +
            Counted(laterPearls, "record", "records") + ").";
  if (capped > 0)
    text += " In " + Counted(capped, "search", "searches") +
            " only the most cited of the citing articles were retrieved (capped).";
  if (unfinished > 0)
    text += " " + Counted(unfinished, "search", "searches") + (unfinished == 1 ? " was" : " were") +
            " stopped or failed before its last page.";
  const ReportTotals& t = report.totals;
  text += " The searches retrieved " + Counted(t.identified, "record", "records") + "; after " +
          Counted(t.duplicatesRemoved, "duplicate", "duplicates") + " were removed, " +
          Counted(t.unique, "unique record", "unique records") + " remained";
  if (t.known > 0) text += ", " + std::to_string(t.known) + " of them already known";
  text += ".";
  if (t.screened > 0) {
    text += " " + std::to_string(t.screened) + " were screened: " + std::to_string(t.included) + " included, " +
            std::to_string(t.excluded) + " excluded and " + std::to_string(t.maybe) + " marked maybe";
    if (t.undecided > 0) text += "; " + std::to_string(t.undecided) + " are not yet screened";
    text += ".";
  }
  if (!report.stoppingPoint.empty()) text += " " + report.stoppingPoint;
  return text;
}

}  // namespace

const char* SearchDirectionName(PearlRelation relation) {
  return relation == PearlRelation::Cited ? "backward" : "forward";
}

Report MakeReport(const SessionFile& session, const MASCitationChain& chain) {
  Report report;
  report.sessionName = std::filesystem::path(session.Path()).filename().string();
  report.programVersion = ProgramVersion();
  auto id = [&](int32_t record) { return record >= 1 && record <= chain.Count() ? chain.GetRecord(record).PK : ""; };

  const std::vector<FetchEntry> log = session.FetchLog();
  std::map<int64_t, const FetchEntry*> fetches;
  for (const FetchEntry& e : log) fetches[e.id] = &e;
  std::map<int32_t, int32_t> generationOf;  // of the chain's pearls
  for (int32_t pearl : chain.PearlOrder()) generationOf[pearl] = std::max(session.Generation(pearl), 0);

  // Relations of pearls the chain no longer has are not counted (the file keeps none).
  std::vector<SessionFile::RelationRow> relations = session.Relations();
  std::erase_if(relations, [&](const SessionFile::RelationRow& r) { return !generationOf.count(r.pearl); });
  std::map<std::pair<int32_t, PearlRelation>, int32_t> related;
  for (const SessionFile::RelationRow& r : relations) ++related[{r.pearl, r.relation}];

  std::map<int32_t, int32_t> pearlsOf;  // generation -> pearls with a search
  for (int32_t pearl : chain.PearlOrder()) {
    bool searched = false;
    for (PearlRelation relation : {PearlRelation::Cited, PearlRelation::Citing}) {
      std::vector<const FetchEntry*> fetched;
      for (const FetchEntry& e : log)
        if (e.kept && e.pearl == pearl && e.relation == relation) fetched.push_back(&e);
      if (fetched.empty()) continue;
      ReportSearch s;
      s.pearl = id(pearl);
      s.title = chain.GetRecord(pearl).Title;
      s.relation = relation;
      s.generation = generationOf[pearl];
      std::vector<std::string> sources;
      for (const FetchEntry* e : fetched)
        if (!e->source.empty() && std::find(sources.begin(), sources.end(), e->source) == sources.end())
          sources.push_back(e->source);
      for (const std::string& source : sources) s.source += (s.source.empty() ? "" : "; ") + source;
      s.date = fetched.front()->startedUtc;
      s.lastDate = fetched.back()->startedUtc;
      s.expected = fetched.back()->available;
      for (const FetchEntry* e : fetched)
        if (e->expected >= 0) s.expected = e->expected;
      s.status = fetched.back()->status == "growing" ? "stopped" : fetched.back()->status;
      // A file written from a chain in memory knows the relations but not what each page named.
      s.retrieved = std::max(session.Direction(pearl, relation).received, related[{pearl, relation}]);
      report.searches.push_back(std::move(s));
      searched = true;
    }
    if (!searched) continue;
    ++pearlsOf[generationOf[pearl]];
    if (generationOf[pearl] == 0) ++report.seeds;
    report.stoppedAfter = std::max(report.stoppedAfter, generationOf[pearl]);
  }

  // Each article counts once, in the generation of the earliest fetch that reached it (unless
  // the screening knows its generation).
  constexpr int64_t kUnrecorded = std::numeric_limits<int64_t>::max();
  std::map<int32_t, std::pair<int64_t, int32_t>> firstReached;  // article -> (fetch, pearl)
  for (const SessionFile::RelationRow& r : relations) {
    const int64_t fetch = r.fetch > 0 ? r.fetch : kUnrecorded;
    auto [at, added] = firstReached.try_emplace(r.article, fetch, r.pearl);
    if (!added && fetch < at->second.first) at->second = {fetch, r.pearl};
  }
  ReportTotals& t = report.totals;
  for (const ReportSearch& s : report.searches) t.identified += s.retrieved;
  t.unique = static_cast<int64_t>(firstReached.size());
  t.duplicatesRemoved = t.identified - t.unique;

  const ScreeningBook& book = chain.Screenings();
  std::map<std::string, int64_t> reasons;
  std::map<int32_t, std::pair<int64_t, int64_t>> yields;  // generation -> (records, included)
  std::map<int32_t, int64_t> undecidedOf;
  for (const auto& [article, reached] : firstReached) {
    const Screening& screening = book.Of(article);
    const int32_t generation = screening.generation >= 0 ? screening.generation : generationOf[reached.second];
    ++yields[generation].first;
    if (screening.known) ++t.known;
    switch (screening.verdict) {
      case Verdict::Included:
        ++t.included;
        ++yields[generation].second;
        break;
      case Verdict::Excluded:
        ++t.excluded;
        ++reasons[screening.reason];
        break;
      case Verdict::Maybe: ++t.maybe; break;
      case Verdict::Undecided:
        ++t.undecided;
        ++undecidedOf[generation];
        break;
    }
  }
  t.screened = t.included + t.excluded + t.maybe;
  for (const std::string& reason : book.Reasons()) {
    auto found = reasons.find(reason);
    if (found == reasons.end()) continue;
    t.excludedByReason.emplace_back(found->first, found->second);
    reasons.erase(found);
  }
  for (const auto& [reason, count] : reasons) t.excludedByReason.emplace_back(reason, count);

  int32_t lastGeneration = report.stoppedAfter;
  if (!yields.empty()) lastGeneration = std::max(lastGeneration, yields.rbegin()->first);
  for (int32_t g = 0; g <= lastGeneration; ++g)
    report.generations.push_back({g, pearlsOf[g], yields[g].first, yields[g].second});

  for (const SessionFile::RelationRow& r : relations) {
    auto fetch = fetches.find(r.fetch);
    report.edges.push_back({id(r.pearl), r.relation, id(r.article), generationOf[r.pearl],
                            fetch == fetches.end() ? "" : fetch->second->startedUtc});
  }
  report.stoppingPoint = StoppingPoint(report, undecidedOf[report.stoppedAfter]);
  report.methods = Methods(report);
  return report;
}

}  // namespace wendrel
