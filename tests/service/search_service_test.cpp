// The HTTP server: binding, serving over a real socket, concurrency, refusals and stopping.
#include "service/search_service.h"

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
    s_corpus = new std::string(test::BuildCorpus(*s_dir, "small", test::kSmallCorpus));
  }
  static void TearDownTestSuite() {
    delete s_corpus;
    delete s_dir;
  }

  static httplib::Client ClientFor(int port) {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(5);
    client.set_read_timeout(10);
    return client;
  }

  static test::TempDir* s_dir;
  static std::string* s_corpus;
};

test::TempDir* SearchServiceTest::s_dir = nullptr;
std::string* SearchServiceTest::s_corpus = nullptr;

TEST_F(SearchServiceTest, ServesTheSearchPathOnLoopback) {
  SearchService service(*s_corpus);
  int port = service.Start();
  ASSERT_GT(port, 0);
  EXPECT_EQ(service.BaseAddress(), "http://127.0.0.1:" + std::to_string(port));
  httplib::Client client = ClientFor(port);

  auto reply = client.Get("/json.svc/search?AppId=x&PublicationID=1&ReferenceType=Citation&StartIdx=1&EndIdx=2"
                          "&OrderBy=CitationCount&PublicationContent=AllInfo");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  EXPECT_EQ(reply->get_header_value("Content-Type"), "application/json; charset=utf-8");
  auto publications = nlohmann::json::parse(reply->body)["d"]["Publication"];
  EXPECT_EQ(publications["TotalItem"], 4);
  EXPECT_EQ(publications["Result"][0]["ID"], 5);

  // As the client sends them: blanks and non-ASCII percent-encoded, decoded once by the server.
  reply = client.Get("/json.svc/search?AppId=x&AuthorQuery=m%C3%BCller%20%20j%C3%BCrgen&StartIdx=1&EndIdx=10");
  ASSERT_TRUE(reply);
  EXPECT_EQ(nlohmann::json::parse(reply->body)["d"]["Publication"]["Result"][0]["ID"], 1);
  reply = client.Get("/json.svc/search?AppId=x&TitleQuery=text%2520mining&StartIdx=1&EndIdx=10");
  ASSERT_TRUE(reply);
  EXPECT_EQ(nlohmann::json::parse(reply->body)["d"]["Publication"]["TotalItem"], 0);  // "%20" stays literal

  reply = client.Get("/json.svc/Search?AppID=x&PublicationID=3");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  reply = client.Get("/json.svc/search?PublicationID=3");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 403);
  reply = client.Get("/json.svc/search?AppId=x&PublicationID=three");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 400);
  reply = client.Get("/other?AppId=x");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 404);
}

TEST_F(SearchServiceTest, HostileRequestsLeaveTheServerServing) {
  SearchService service(*s_corpus);
  httplib::Client client = ClientFor(service.Start());
  const std::string paths[] = {
      "/json.svc/search?AppId=x&TitleQuery=%00%FF%FE%22%27%5C&StartIdx=1&EndIdx=10",
      "/json.svc/search?AppId=x&FullTextQuery=%22%20OR%20title%3A*&StartIdx=1&EndIdx=10",
      "/json.svc/search?AppId=x&TitleQuery=" + std::string(9000, 'a'),
      "/json.svc/search?AppId=x&StartIdx=1&EndIdx=100000",
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
  SearchService service(*s_corpus);
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

TEST_F(SearchServiceTest, StopsAndRefusesToStartTwice) {
  SearchService service(*s_corpus);
  int port = service.Start();
  EXPECT_THROW(service.Start(), ServiceError);
  // A second service cannot take a port in use.
  SearchService other(*s_corpus);
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

TEST_F(SearchServiceTest, RefusesAMissingOrForeignCorpusAtOnce) {
  EXPECT_THROW(SearchService(s_dir->Path("missing.sqlite")), ServiceError);
  test::WriteText(s_dir->Path("foreign.sqlite"), "not a corpus at all, not even a database file....");
  EXPECT_THROW(SearchService(s_dir->Path("foreign.sqlite")), ServiceError);
}

}  // namespace
}  // namespace wendrel
