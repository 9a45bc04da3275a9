// The libcurl client against servers that misbehave on the wire: every exchange ends (or can be
// aborted) within the caller's bound, with no status, an empty body and a reason.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "misbehaving_server.h"
#include "platform/curl_http_client.h"

namespace wendrel {
namespace {

using test::Fault;
using test::MisbehavingServer;

TEST(MisbehavingServer, EveryFaultEndsOrAbortsWithAReason) {
  CurlHttpClient http;
  for (Fault fault : test::kAllFaults) {
    SCOPED_TRACE(test::FaultName(fault));
    std::atomic<int64_t> sent{0};
    MisbehavingServer server(test::FaultBehaviour(fault, &sent));
    auto r = http.Get(server.BaseAddress() + "/x");
    const bool endless = fault == Fault::Drip || fault == Fault::Silence;
    const auto start = std::chrono::steady_clock::now();
    const bool ended = r->WaitForResponse(endless ? 1000 : 10000);
    if (endless) {
      // The wait keeps to its bound, and an abort ends the exchange at once.
      EXPECT_FALSE(ended);
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
      r->Abort();
      EXPECT_TRUE(r->WaitForResponse(0));
    }
    ASSERT_TRUE(r->WaitForResponse(0));
    if (fault == Fault::Html) {
      // Nothing wrong on the wire: telling it from a reply is for the caller.
      EXPECT_EQ(r->Status(), 200);
      continue;
    }
    EXPECT_EQ(r->Status(), 0);
    EXPECT_TRUE(r->Body().empty());
    EXPECT_FALSE(r->Error().empty());
    if (fault == Fault::Huge || fault == Fault::HugeAnnounced) {
      EXPECT_NE(r->Error().find("larger than 64 MB"), std::string::npos) << r->Error();
      EXPECT_LT(sent.load(), 100LL * 1024 * 1024);
    }
    if (fault == Fault::RedirectLoop) {
      EXPECT_LE(server.Connections(), 7);
    }
  }
}

}  // namespace
}  // namespace wendrel
