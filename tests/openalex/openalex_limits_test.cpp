// The OpenAlex gateway when OpenAlex refuses: a spent budget or a long wait answered at once
// (from the cache where it can) with when it ends, a refused key told from a rate limit by
// OpenAlex's message, and a stop that cuts short whatever waits on OpenAlex.
#include <gtest/gtest.h>
#include <httplib.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include "fake_openalex.h"
#include "openalex/openalex_gateway.h"
#include "service/search_request.h"
#include "temp_dir.h"

namespace wendrel {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
constexpr const char* kKey = "secret-key-123";

class OpenAlexLimitsTest : public ::testing::Test {
 protected:
  OpenAlexGatewayOptions Options() {
    OpenAlexGatewayOptions options;
    options.api.baseAddress = fake.BaseAddress();
    options.api.apiKey = kKey;
    options.api.requestsPerSecond = 0;
    // Backoffs of 1 s and 2 s, and room for the exchanges themselves.
    options.api.maxHold = milliseconds(3500);
    options.api.sleep = [this](milliseconds wait) { waits.push_back(wait); };
    options.cachePath = dir.Path("cache.sqlite");
    options.log = [this](const std::string& line) { log += line + "\n"; };
    return options;
  }

  static ServiceReply Ask(PublicationSource& source, QueryParameters parameters) {
    parameters.insert(parameters.begin(), {"AppId", "test"});
    return AnswerSearchRequest(source, parameters);
  }

  test::TempDir dir;
  test::FakeOpenAlex fake;
  std::vector<milliseconds> waits;
  std::string log;
};

const QueryParameters kCitingW100 = {{"PublicationID", "W100"}, {"ReferenceType", "Citation"}};

// OpenAlex's three refusals of one shape (429, Remaining 0, Reset at midnight UTC): only their words
// and Retry-After tell them apart.
const std::multimap<std::string, std::string> kMidnight = {
    {"X-RateLimit-Limit", "1000"}, {"X-RateLimit-Remaining", "0"}, {"X-RateLimit-Reset", "18725"}};
const test::FakeOpenAlex::Refusal kSpent = {
    429, R"({"error":"Insufficient budget","message":"This request costs $0.0001 but you only have $0"})", kMidnight};

TEST_F(OpenAlexLimitsTest, SpentBudgetAnswersAtOnceFromTheCacheAndSaysWhenItIsRenewed) {
  OpenAlexSource source(Options());
  ASSERT_EQ(Ask(source, {{"PublicationID", "W100"}}).status, 200);
  const ServiceReply citing = Ask(source, kCitingW100);
  ASSERT_EQ(citing.status, 200);

  // 5 h 12 min 5 s before midnight UTC.
  fake.RefuseAll(kSpent);
  fake.ClearRequests();
  const std::string spent =
      "OpenAlex's daily budget is spent; it is renewed in 5 h 12 min. Cached works still answer.\n";
  // The first list request learns it; the refusal is not waited out.
  ServiceReply reply = Ask(source, {{"TitleQuery", "gift"}});
  EXPECT_EQ(reply.status, 503);
  EXPECT_EQ(reply.body, spent);
  EXPECT_TRUE(waits.empty());
  EXPECT_EQ(fake.Requests().size(), 1u);
  // Lists are refused without asking until the budget is renewed.
  EXPECT_EQ(Ask(source, {{"PublicationID", "W300"}, {"ReferenceType", "Reference"}}).body, spent);
  EXPECT_EQ(fake.Requests().size(), 1u);
  EXPECT_NE(log.find("daily budget is spent"), std::string::npos) << log;
  // A single work costs nothing, so it is still asked for, and answered once OpenAlex answers.
  fake.StopRefusing();
  EXPECT_EQ(Ask(source, {{"PublicationID", "W12"}}).status, 200);
  EXPECT_EQ(fake.Requests().size(), 2u);

  // What the cache holds answers as before, also when it is older than the age limit.
  fake.RefuseAll(kSpent);
  EXPECT_EQ(Ask(source, kCitingW100).body, citing.body);
  OpenAlexGatewayOptions noAge = Options();
  noAge.maxAge = std::chrono::seconds(0);
  OpenAlexSource stale(noAge);
  EXPECT_EQ(Ask(stale, {{"PublicationID", "W100"}}).status, 200);
  EXPECT_EQ(Ask(stale, kCitingW100).body, citing.body);
  EXPECT_TRUE(waits.empty());
}

TEST_F(OpenAlexLimitsTest, APerSecondRefusalIsWaitedOutAndLocksNothing) {
  OpenAlexSource source(Options());
  // Too many requests a second: Retry-After 1 beside the same Remaining 0 and Reset a spent
  // budget carries.
  fake.FailNext({{429, R"({"error":"Rate limit exceeded","message":"Too many requests per second"})", "1", kMidnight}});
  EXPECT_EQ(Ask(source, kCitingW100).status, 200);
  EXPECT_EQ(waits, std::vector<milliseconds>{milliseconds(1000)});
  // The next list requests are asked for and answered.
  fake.FailNext({{429, "", "1", kMidnight}});
  EXPECT_EQ(Ask(source, {{"TitleQuery", "gift"}}).status, 200);
  EXPECT_EQ(Ask(source, {{"PublicationID", "W300"}, {"ReferenceType", "Reference"}}).status, 200);
  EXPECT_EQ(fake.Requests().size(), 5u);
  EXPECT_EQ(log.find("budget is spent"), std::string::npos) << log;
  EXPECT_EQ(log.find("asks to wait"), std::string::npos) << log;
}

TEST_F(OpenAlexLimitsTest, ABudgetTooSmallForASearchStillAnswersLists) {
  OpenAlexSource source(Options());
  fake.FailNext({{429,
                  R"({"error":"Insufficient budget. This request costs $0.001 but you only have $0.0005"})",
                  "",
                  {{"X-RateLimit-Remaining", "5"}, {"X-RateLimit-Reset", "600"}}}});
  const std::string small =
      "OpenAlex's daily budget has $0.0005 left, less than a search costs ($0.0010); it is renewed in 10 min. "
      "Lists and cached works still answer.\n";
  ServiceReply reply = Ask(source, {{"FullTextQuery", "gift"}});
  EXPECT_EQ(reply.status, 503);
  EXPECT_EQ(reply.body, small);
  EXPECT_EQ(Ask(source, {{"TitleQuery", "exchange"}}).body, small);
  EXPECT_EQ(fake.Requests().size(), 1u);
  // A list page and a single work cost less than what is left.
  EXPECT_EQ(Ask(source, kCitingW100).status, 200);
  EXPECT_EQ(Ask(source, {{"PublicationID", "W12"}}).status, 200);
  EXPECT_EQ(fake.Requests().size(), 3u);
  EXPECT_TRUE(waits.empty());
}

TEST_F(OpenAlexLimitsTest, RefusalsAreToldApartByWhatOpenAlexSays) {
  using Headers = std::multimap<std::string, std::string>;
  struct Case {
    const char* name;
    test::FakeOpenAlex::Refusal refusal;
    bool key;
    int status;
    const char* reason;
    size_t requests;
  } cases[] = {
      // Asked again after 1 s and 2 s; a third wait would pass the bound.
      {"403 rate limit", {403, R"({"error":"Rate limit exceeded; slow down"})", {}}, true, 503,
       "OpenAlex refuses more requests for now (status 403: rate limit): Rate limit exceeded", 3},
      {"403 without a word", {403, "", {}}, true, 503, "(status 403: rate limit)", 3},
      {"403 key", {403, R"({"error":"Invalid API key"})", {}}, true, 502,
       "OpenAlex refused the API key (status 403): check --api-key or OPENALEX_API_KEY: Invalid API key", 1},
      {"401 key", {401, R"({"message":"API key secret-key-123 is not known"})", {}}, true, 502,
       "OpenAlex refused the API key (status 401)", 1},
      {"401 without a key", {401, "", {}}, false, 502,
       "OpenAlex refused the request without an API key (status 401): give one with --api-key", 1},
      {"429 asking for an hour", {429, "", Headers{{"Retry-After", "3600"}}}, true, 503,
       "OpenAlex asks to wait 1 h 0 min before more requests. Cached works still answer.", 1},
      {"429 asking for ever", {429, "", Headers{{"Retry-After", "999999999999"}}}, true, 503,
       "OpenAlex asks to wait 168 h 0 min before more requests.", 1},
      // Nothing says it is the budget: a burst above the per-second limit, which passes, whatever
      // Remaining says.
      {"429 with budget left", {429, "", Headers{{"X-RateLimit-Remaining", "900"}, {"X-RateLimit-Reset", "40000"}}},
       true, 503, "(status 429: too many requests)", 3},
      {"429 with nothing left", {429, "", Headers{{"X-RateLimit-Remaining", "0"}, {"X-RateLimit-Reset", "40000"}}},
       true, 503, "(status 429: too many requests)", 3},
      {"403 budget", {403, R"({"error":"Insufficient budget"})", kMidnight}, true, 503,
       "OpenAlex's daily budget is spent; it is renewed in 5 h 12 min.", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenAlexGatewayOptions options = Options();
    if (!c.key) options.api.apiKey.clear();
    OpenAlexSource source(options);
    fake.RefuseAll(c.refusal);
    fake.ClearRequests();
    waits.clear();
    const ServiceReply reply = Ask(source, {{"PublicationID", "W11"}, {"ReferenceType", "Citation"}});
    EXPECT_EQ(reply.status, c.status);
    EXPECT_NE(reply.body.find(c.reason), std::string::npos) << reply.body;
    EXPECT_EQ(reply.body.find(kKey), std::string::npos) << reply.body;
    EXPECT_EQ(fake.Requests().size(), c.requests);
    if (c.requests == 3) {
      EXPECT_EQ(waits, (std::vector<milliseconds>{milliseconds(1000), milliseconds(2000)}));
    }
  }
  EXPECT_EQ(log.find(kKey), std::string::npos) << log;

  // A short burst is waited out, as Retry-After asks, and answered.
  fake.StopRefusing();
  fake.FailNext({{429, "", "2"}});
  waits.clear();
  OpenAlexSource source(Options());
  EXPECT_EQ(Ask(source, {{"PublicationID", "W100"}}).status, 200);
  EXPECT_EQ(waits, std::vector<milliseconds>{milliseconds(2000)});
}

TEST(OpenAlexDurationText, ReadsAsAPersonSaysIt) {
  const std::pair<int, const char*> cases[] = {{0, "0 s"},       {59, "59 s"},          {60, "1 min"},
                                               {3599, "59 min"}, {3600, "1 h 0 min"}, {18725, "5 h 12 min"}};
  for (const auto& [span, text] : cases) EXPECT_EQ(DurationText(std::chrono::seconds(span)), text) << span;
}

// Eight requests held by an OpenAlex that does not answer: a cached work still answers while they
// are held, and stopping the gateway ends them all, each with a reason.
TEST_F(OpenAlexLimitsTest, HeldRequestsLeaveTheCacheAnsweringAndStopEndsThem) {
  test::HangingProxy slow(fake.BaseAddress(), "W9");
  OpenAlexGatewayOptions options = Options();
  options.api.baseAddress = slow.BaseAddress();
  OpenAlexGateway gateway(options);
  const int port = gateway.Start("127.0.0.1", 0);
  auto get = [port](const std::string& id) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(60);
    return client.Get(("/json.svc/search?AppId=t&PublicationID=" + id).c_str());
  };
  ASSERT_EQ(get("W100")->status, 200);

  std::vector<std::thread> held;
  std::array<std::atomic<int>, 8> statuses;
  for (auto& status : statuses) status = -1;
  for (int i = 0; i < 8; ++i)
    held.emplace_back([&, i] {
      auto reply = get("W9" + std::to_string(i));
      statuses[static_cast<size_t>(i)] = reply ? reply->status : 0;
    });
  for (auto deadline = Clock::now() + std::chrono::seconds(30); slow.Held() < 8 && Clock::now() < deadline;)
    std::this_thread::sleep_for(milliseconds(10));
  EXPECT_EQ(slow.Held(), 8);

  // Answered from the cache while all eight still wait, without waiting on the client's schedule.
  auto cached = get("W100");
  ASSERT_TRUE(cached);
  EXPECT_EQ(cached->status, 200);
  for (const auto& status : statuses) EXPECT_EQ(status, -1);
  EXPECT_TRUE(waits.empty());

  // The exchanges would take the 30 s time-out: a stop well within it is the only timing asked.
  const auto began = Clock::now();
  gateway.Stop();
  for (auto& thread : held) thread.join();
  EXPECT_LT(Clock::now() - began, std::chrono::seconds(15));
  // Each held request got an answer that says why, rather than waiting for OpenAlex.
  for (const auto& status : statuses) EXPECT_EQ(status, 503);
}

}  // namespace
}  // namespace wendrel
