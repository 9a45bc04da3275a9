// The HTTP server: binding, serving over a real socket, concurrency, refusals and stopping.
#include "corpus/search_service.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <nlohmann/json.hpp>
#include <thread>

#include "service_fixtures.h"

namespace wendrel {
namespace {

class SearchServiceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new test::TempDir();
    s_corpus = test::BuildCorpus(*s_dir, "small", test::kSmallCorpus);
  }
  static void TearDownTestSuite() { delete s_dir; }

  static httplib::Client ClientFor(int port) {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(5);
    client.set_read_timeout(10);
    return client;
  }

  static inline test::TempDir* s_dir = nullptr;
  static inline std::string s_corpus;
};

TEST_F(SearchServiceTest, ServesTheSearchPathOnLoopback) {
  SearchService service(s_corpus);
  int port = service.Start();
  ASSERT_GT(port, 0);
  EXPECT_EQ(service.BaseAddress(), "http://127.0.0.1:" + std::to_string(port));
  httplib::Client client = ClientFor(port);
  struct Case {
    const char* path;
    int status;
    int totalItem;  // of a 200 reply, else -1
  };
  const Case cases[] = {
      {"/json.svc/search?AppId=x&PublicationID=1&ReferenceType=Citation&StartIdx=1&EndIdx=2"
       "&OrderBy=CitationCount&PublicationContent=AllInfo",
       200, 4},
      // As the client sends them: blanks and non-ASCII percent-encoded, decoded once by the server.
      {"/json.svc/search?AppId=x&AuthorQuery=m%C3%BCller%20%20j%C3%BCrgen&StartIdx=1&EndIdx=10", 200, 1},
      {"/json.svc/search?AppId=x&TitleQuery=text%2520mining&StartIdx=1&EndIdx=10", 200, 0},  // "%20" stays literal
      {"/json.svc/Search?AppID=x&PublicationID=3", 200, 1},
      {"/json.svc/search?AppId=x&PublicationID=three", 200, 0},
      {"/json.svc/search?AppId=x&PublicationID=", 400, -1},
      {"/other?AppId=x", 404, -1},
  };
  for (const Case& c : cases) {
    auto reply = client.Get(c.path);
    ASSERT_TRUE(reply) << c.path;
    EXPECT_EQ(reply->status, c.status) << c.path;
    if (c.totalItem >= 0) {
      EXPECT_EQ(reply->get_header_value("Content-Type"), "application/json; charset=utf-8");
      EXPECT_EQ(nlohmann::json::parse(reply->body)["d"]["Publication"]["TotalItem"], c.totalItem) << c.path;
    }
  }
}

TEST_F(SearchServiceTest, HostileRequestsLeaveTheServerServing) {
  SearchService service(s_corpus);
  httplib::Client client = ClientFor(service.Start());
  const std::string paths[] = {
      "/json.svc/search?AppId=x&TitleQuery=%00%FF%FE%22%27%5C&StartIdx=1&EndIdx=10",
      "/json.svc/search?AppId=x&TitleQuery=" + std::string(9000, 'a'),
      "/json.svc/search?AppId=x&&&==&%&TitleQuery=%zz",
  };
  for (const std::string& path : paths) {
    auto reply = client.Get(path.c_str());
    ASSERT_TRUE(reply) << path.substr(0, 80);
    EXPECT_NE(reply->status, 500) << path.substr(0, 80);
  }
  auto reply = client.Get("/json.svc/search?AppId=x&PublicationID=1");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
}

TEST_F(SearchServiceTest, ConcurrentRequestsGetTheirOwnAnswers) {
  SearchService service(s_corpus);
  int port = service.Start();
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t)
    threads.emplace_back([&, t] {
      httplib::Client client = ClientFor(port);
      for (int i = 0; i < 15; ++i) {
        int id = 1 + (t + i) % 11;
        auto reply = client.Get(("/json.svc/search?AppId=x&PublicationID=" + std::to_string(id)).c_str());
        if (!reply || reply->status != 200 ||
            nlohmann::json::parse(reply->body)["d"]["Publication"]["Result"][0]["ID"] != id)
          ++wrong;
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
}

TEST_F(SearchServiceTest, RefusesWhatItCannotServeAndStops) {
  // A missing corpus is refused at once, not at the first request.
  EXPECT_THROW(SearchService(s_dir->Path("missing.sqlite")), ServiceError);
  SearchService service(s_corpus);
  int port = service.Start();
  EXPECT_THROW(service.Start(), ServiceError);
  // A second service cannot take a port in use.
  SearchService other(s_corpus);
  EXPECT_THROW(other.Start("127.0.0.1", port), ServiceError);
  service.Stop();
  service.Stop();
  EXPECT_EQ(service.BaseAddress(), "");
  httplib::Client client = ClientFor(port);
  client.set_connection_timeout(1);
  EXPECT_FALSE(client.Get("/json.svc/search?AppId=x&PublicationID=1"));
  // The freed port can be served again, and the destructor stops a running service.
  EXPECT_EQ(other.Start("127.0.0.1", port), port);
}

}  // namespace
}  // namespace wendrel
