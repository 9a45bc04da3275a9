// The libcurl client against a real server on 127.0.0.1: replies, failures, slow answers, abort.
#include "platform/curl_http_client.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <thread>

#include "test_http_server.h"

namespace wendrel {
namespace {

using test::TestHttpServer;

// Waits for the end of the exchange in short slices, at most a few seconds.
bool WaitUpTo(HttpRequestHandle& r, int ms) {
  for (int waited = 0; waited < ms; waited += 50)
    if (r.WaitForResponse(50)) return true;
  return false;
}

TEST(EncodeAddress, EncodesOnlyWhatAnAddressCannotCarry) {
  struct Case {
    const char* input;
    const char* expected;
  } cases[] = {
      {"http://h/x?a=b&c=%20d", "http://h/x?a=b&c=%20d"},
      {"http://h/x?JournalQuery=Journal of X", "http://h/x?JournalQuery=Journal%20of%20X"},
      {"http://h/x?q=caf\xC3\xA9", "http://h/x?q=caf%C3%A9"},
      {"http://h/x?q=a\tb\x7F", "http://h/x?q=a%09b%7F"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeAddress(c.input), c.expected) << c.input;
}

TEST(CurlHttpClient, ReturnsStatusAndBodyAndSendsTheAddressEncoded) {
  std::string seenQuery;
  TestHttpServer server([&](const httplib::Request& req, httplib::Response& res) {
    seenQuery = req.get_param_value("JournalQuery");
    res.set_content("{\"d\":1}", "application/json");
  });
  CurlHttpClient http;
  auto r = http.Get(server.BaseAddress() + "/json.svc/search?JournalQuery=Acta Caf\xC3\xA9");
  ASSERT_TRUE(WaitUpTo(*r, 5000));
  EXPECT_EQ(r->Status(), 200);
  EXPECT_EQ(r->Body(), "{\"d\":1}");
  EXPECT_EQ(seenQuery, "Acta Caf\xC3\xA9");
  EXPECT_TRUE(r->Error().empty());
}

TEST(CurlHttpClient, RefusedConnectionEndsAtOnceWithoutStatus) {
  CurlHttpClient http;
  auto r = http.Get("http://127.0.0.1:" + std::to_string(test::UnusedPort()) + "/x");
  ASSERT_TRUE(WaitUpTo(*r, 5000));
  EXPECT_EQ(r->Status(), 0);
  EXPECT_FALSE(r->Error().empty());
  EXPECT_TRUE(r->Body().empty());
}

TEST(CurlHttpClient, AbortEndsAnOutstandingRequest) {
  TestHttpServer server([](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    res.set_content("late", "text/plain");
  });
  CurlHttpClient http;
  auto r = http.Get(server.BaseAddress() + "/x");
  EXPECT_FALSE(r->WaitForResponse(20));
  r->Abort();
  EXPECT_TRUE(r->WaitForResponse(0));
  EXPECT_EQ(r->Status(), 0);
  EXPECT_TRUE(r->Body().empty());
}

TEST(CurlHttpClient, AbortAllEndsTheRequestsInFlightAndNoLaterOne) {
  test::HangingProxy server;
  CurlHttpClient http;
  auto first = http.Get(server.BaseAddress() + "/a");
  auto second = http.Get(server.BaseAddress() + "/b");
  EXPECT_FALSE(first->WaitForResponse(20));
  http.AbortAll();
  for (auto* r : {first.get(), second.get()}) {
    EXPECT_TRUE(r->WaitForResponse(0));
    EXPECT_EQ(r->Status(), 0);
    EXPECT_EQ(r->Error(), "aborted");
  }
  auto later = http.Get(server.BaseAddress() + "/c");
  EXPECT_FALSE(later->WaitForResponse(50));
  // A request that has gone is no longer reached.
  first.reset();
  http.AbortAll();
  EXPECT_TRUE(later->WaitForResponse(0));
}

TEST(CurlHttpClient, TruncatedBodyIsAFailure) {
  // Announces more bytes than it sends, then closes.
  TestHttpServer server([](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(100, "text/plain", [](size_t offset, size_t, httplib::DataSink& sink) {
      if (offset > 0) return false;
      sink.write("{\"d\":", 5);
      return true;
    });
  });
  CurlHttpClient http;
  auto r = http.Get(server.BaseAddress() + "/x");
  ASSERT_TRUE(WaitUpTo(*r, 5000));
  EXPECT_EQ(r->Status(), 0);
  EXPECT_TRUE(r->Body().empty());
}

}  // namespace
}  // namespace wendrel
