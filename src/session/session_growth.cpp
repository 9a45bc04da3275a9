// Growing what a session still owes: pearls left partly grown, capped pearls under a higher limit,
// and the queue.
#include <algorithm>

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
  for (const QueuedPearl& queued : session.Queue()) {
    int32_t index = 0, citingAsked = 0;
    if (chain.AddPearl(index, queued.pk, "", citingAsked, callingForm)) {
      ++grown;
    } else if (chain.LastRefusal() != PearlRefusal::NoResponse) {
      session.Dequeue(queued.pk);
    }
    if (chain.Interrupted()) return grown;
  }
  return grown;
}

}  // namespace wendrel
