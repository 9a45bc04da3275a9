// The chain against servers that misbehave on the wire: a pearl whose record cannot be had is
// refused with the table untouched, and one whose pages fail stays marked partly grown.
#include <gtest/gtest.h>

#include "chain_fixture.h"
#include "misbehaving_server.h"

namespace wendrel {
namespace {

using test::Article;
using test::Page;

TEST(ChainFaults, EveryFaultLeavesTheTableAsItWas) {
  CurlHttpClient http;
  for (test::Fault fault : test::kAllFaults) {
    if (fault == test::Fault::Huge) continue;  // as in the request loop's test: a wait period may not hold 64 MB
    SCOPED_TRACE(test::FaultName(fault));
    test::MisbehavingServer server(test::FaultBehaviour(fault));
    ScriptedHost host;  // answers the wait question with Cancel
    ScriptedCaption caption;
    MASCitationChain chain(host, http, server.BaseAddress());
    CCRecord known = Article("a1", "Alpha", "2001", "Lee, A");
    known.ReferenceCount = 3;
    known.CitationCount = 3;
    chain.MergePage(Page({known, Article("b2", "Beta", "2002", "Kim, B")}), 1, PearlRelation::Cited);
    std::vector<CCRecord> before;
    for (int32_t i = 0; i <= chain.Count(); ++i) before.push_back(chain.GetRecord(i));

    int32_t index = 0, citingAsked = 0;
    EXPECT_FALSE(chain.AddPearl(index, "zz9", "", citingAsked, caption));
    EXPECT_EQ(chain.LastRefusal(), PearlRefusal::NoResponse);
    EXPECT_FALSE(chain.LastRequestError().empty());
    ASSERT_EQ(chain.Count(), 2);
    for (int32_t i = 0; i <= chain.Count(); ++i) EXPECT_EQ(chain.GetRecord(i), before[static_cast<size_t>(i)]) << i;
    EXPECT_TRUE(chain.PearlOrder().empty());

    // A known article needs no retrieval; its pages fail, so it is only partly grown. (The
    // servers that keep the client waiting cost a wait period a page: one look is enough.)
    if (fault == test::Fault::Drip || fault == test::Fault::Silence) continue;
    index = 1;
    EXPECT_TRUE(chain.AddPearl(index, "a1", "", citingAsked, caption));
    EXPECT_TRUE(chain.PartlyGrown(1));
    EXPECT_EQ(chain.Count(), 2);
    EXPECT_EQ(chain.GetRecord(2).CitedPearlList, before[2].CitedPearlList);
  }
}

}  // namespace
}  // namespace wendrel
