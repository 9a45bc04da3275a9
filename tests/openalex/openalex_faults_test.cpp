// The gateway's OpenAlex client against servers that misbehave on the wire: each gives up
// within its time-out and retries with SourceUnavailable and a reason a person can act on.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>

#include "misbehaving_server.h"
#include "openalex/openalex_client.h"
#include "service/publication_source.h"

namespace wendrel {
namespace {

using test::Fault;

TEST(OpenAlexFaults, EveryFaultGivesUpWithAReason) {
  const std::pair<Fault, const char*> cases[] = {
      {Fault::Drip, "did not answer within 1 s"},  {Fault::Silence, "did not answer within 1 s"},
      {Fault::Reset, "cannot be reached"},         {Fault::ShortBody, "cannot be reached"},
      {Fault::Huge, "larger than 64 MB"},          {Fault::HugeAnnounced, "larger than 64 MB"},
      {Fault::Html, "malformed reply"},            {Fault::RedirectLoop, "cannot be reached"},
  };
  for (const auto& [fault, reason] : cases) {
    SCOPED_TRACE(test::FaultName(fault));
    test::MisbehavingServer server(test::FaultBehaviour(fault));
    OpenAlexOptions options;
    options.baseAddress = server.BaseAddress();
    // The servers that keep the client waiting meet a short time-out; the others have time to be
    // read to their end even on a busy machine (64 MB of a flood come before the cap).
    const bool keepsWaiting = fault == Fault::Drip || fault == Fault::Silence;
    options.timeout = keepsWaiting ? std::chrono::seconds(1) : std::chrono::seconds(60);
    options.retries = 1;
    options.requestsPerSecond = 0;
    std::vector<std::chrono::milliseconds> waits;
    options.sleep = [&](std::chrono::milliseconds wait) { waits.push_back(wait); };
    options.log = [](const std::string&) {};
    OpenAlexClient client(options);
    const auto start = std::chrono::steady_clock::now();
    try {
      client.Get("/works/W1");
      ADD_FAILURE() << "no failure";
    } catch (const SourceUnavailable& e) {
      EXPECT_EQ(e.Status(), 502);
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    }
    if (keepsWaiting) {
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    }
    EXPECT_LE(waits.size(), 1u);
  }
}

}  // namespace
}  // namespace wendrel
