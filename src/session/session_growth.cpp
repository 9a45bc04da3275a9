// Growing what a session still owes: pearls left partly grown, capped pearls under a higher limit,
// and the queue; growing every pearl again as a new run; and queuing the included articles as the
// next generation of pearls.
#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>
#include <unordered_set>

#include "platform/text_encoding.h"

#include "session/session_file.h"

namespace wendrel {

namespace {

// A pearl left partly grown, or capped below the chain's citing limit now.
bool OwesPages(const MASCitationChain& chain, int32_t pearl) {
  const GrownPages* pages = chain.Grown(pearl);
  const bool higherLimit = chain.Capped(pearl) && pages && chain.LargeCitationLimit() > pages->citingLimit;
  return chain.PartlyGrown(pearl) || higherLimit;
}

}  // namespace

int32_t OwedPearls(const MASCitationChain& chain, const SessionFile& session) {
  const std::vector<int32_t> order = chain.PearlOrder();
  return static_cast<int32_t>(std::count_if(order.begin(), order.end(), [&](int32_t p) { return OwesPages(chain, p); }) +
                              session.Queue().size());
}

int32_t GrowOwed(MASCitationChain& chain, SessionFile& session, Caption& callingForm) {
  int32_t grown = 0;
  // AddPearl moves nothing in the order when it grows a pearl on, so the copy stays true.
  const std::vector<int32_t> order = chain.PearlOrder();
  for (int32_t pearl : order) {
    if (!OwesPages(chain, pearl)) continue;
    int32_t index = pearl, citingAsked = 0;
    if (chain.AddPearl(index, chain.GetRecord(pearl).PK, "", citingAsked, callingForm)) ++grown;
    if (chain.Interrupted()) return grown;
  }
  // A queued pearl joins the generation it was queued for.
  struct GenerationReset {
    MASCitationChain& chain;
    int32_t generation;
    ~GenerationReset() { chain.SetNewPearlGeneration(generation); }
  } generationReset{chain, chain.NewPearlGeneration()};
  for (const QueuedPearl& queued : session.Queue()) {
    int32_t index = 0, citingAsked = 0;
    chain.SetNewPearlGeneration(queued.generation);
    if (chain.AddPearl(index, queued.pk, "", citingAsked, callingForm)) {
      ++grown;
    } else if (chain.LastRefusal() != PearlRefusal::NoResponse) {
      session.Dequeue(queued.pk);
    }
    if (chain.Interrupted()) return grown;
  }
  return grown;
}

SessionRefresh RefreshSession(MASCitationChain& chain, SessionFile& session, Caption& callingForm) {
  SessionRefresh result;
  result.run = session.BeginRun("refresh", nlohmann::json{{"citing_limit", chain.LargeCitationLimit()}}.dump());
  std::set<int32_t> added, unlisted, retracted;
  result.complete = true;
  // RefreshPearl moves nothing in the order, so the copy stays true.
  const std::vector<int32_t> order = chain.PearlOrder();
  for (int32_t pearl : order) {
    if (chain.Unresolved(pearl)) continue;
    std::optional<PearlRefresh> refresh = chain.RefreshPearl(pearl, callingForm);
    if (chain.Interrupted()) result.complete = false;
    // A service that left a request unanswered is not asked on: the run says it is incomplete.
    const bool stop = chain.Interrupted() || chain.FailedRequests() > 0;
    if (!refresh) {
      result.notGrown.push_back(pearl);
      result.complete = false;
      if (stop) break;
      continue;
    }
    result.complete = result.complete && refresh->complete;
    added.insert(refresh->added.begin(), refresh->added.end());
    unlisted.insert(refresh->unlisted.begin(), refresh->unlisted.end());
    retracted.insert(refresh->retracted.begin(), refresh->retracted.end());
    result.pearls.push_back(std::move(*refresh));
    if (stop) break;
  }
  result.added.assign(added.begin(), added.end());
  result.unlisted.assign(unlisted.begin(), unlisted.end());
  result.retracted.assign(retracted.begin(), retracted.end());
  return result;
}

std::string RefreshSummary(const MASCitationChain& chain, const SessionRefresh& refresh) {
  auto count = [](size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  auto name = [&](int32_t i) {
    const CCRecord r = chain.GetRecord(i);
    return r.PK + " " + r.FirstAuthor + " (" + r.Year + ") " + r.Title;
  };
  std::string text = count(refresh.added.size(), "new article", "new articles") + ", " +
                     std::to_string(refresh.unlisted.size()) + " no longer listed, from " +
                     count(refresh.pearls.size(), "pearl", "pearls") + "\n";
  for (const PearlRefresh& p : refresh.pearls) {
    if (!p.CountsChanged()) continue;
    text += "counts changed: " + name(p.pearl) + ": references " + std::to_string(p.referencesBefore) + " -> " +
            std::to_string(p.referencesNow) + ", citations " + std::to_string(p.citationsBefore) + " -> " +
            std::to_string(p.citationsNow) + "\n";
  }
  for (int32_t i : refresh.retracted) text += "retracted since the last run: " + name(i) + "\n";
  for (const PearlRefresh& p : refresh.pearls) {
    for (int32_t i : p.unlisted)
      text += "no longer listed by pearl " + chain.GetRecord(p.pearl).PK + ": " + name(i) + "\n";
  }
  for (int32_t i : refresh.notGrown) text += "could not be grown again: " + name(i) + "\n";
  return text;
}

int32_t PromoteIncluded(const MASCitationChain& chain, SessionFile& session) {
  const ScreeningBook& book = chain.Screenings();
  int32_t highest = -1;
  for (int32_t pearl : chain.PearlOrder()) highest = std::max(highest, book.PearlGeneration(pearl));
  std::unordered_set<std::string> queued;
  for (const QueuedPearl& entry : session.Queue()) queued.insert(LowerCaseText(entry.pk));
  std::vector<std::string> promoted;
  for (int32_t i = 1; i <= chain.Count(); ++i) {
    if (book.Of(i).verdict != Verdict::Included) continue;
    const CCRecord r = chain.GetRecord(i);
    // An article without an ID cannot be grown; one queued already waits in its generation.
    if (r.IsPearl || !IsUsableID(r.PK) || !queued.insert(LowerCaseText(r.PK)).second) continue;
    promoted.push_back(r.PK);
  }
  if (!promoted.empty()) session.Enqueue(promoted, highest + 1);
  return static_cast<int32_t>(promoted.size());
}

}  // namespace wendrel
