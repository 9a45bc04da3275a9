// The local service against hostile or careless clients: oversized request lines and headers,
// connections that say nothing, and corpus files that are cut short or are no corpus at all.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "corpus/search_service.h"
#include "platform/sqlite_db.h"
#include "service/service_server.h"
#include "service_fixtures.h"

namespace wendrel {
namespace {

using Clock = std::chrono::steady_clock;

// A bare TCP connection to the service, for what no well-behaved client sends.
class RawConnection {
 public:
  explicit RawConnection(int port) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_fd < 0 || connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
      throw std::runtime_error("cannot connect to the service");
  }
  ~RawConnection() { close(m_fd); }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  // Sends as much of data as the server takes; a server that refuses early may close before all
  // of it went out, which is its right.
  void Send(const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
      ssize_t n = ::send(m_fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
  }

  // Nothing has come from the server, neither an answer nor the end of the connection.
  bool Waiting() {
    pollfd p{m_fd, POLLIN, 0};
    return poll(&p, 1, 0) == 0;
  }

  // The status of the reply's first line, 0 when the server closed without one, -1 when nothing
  // came within the timeout.
  int Status(std::chrono::milliseconds timeout) {
    std::string reply;
    auto deadline = Clock::now() + timeout;
    while (reply.find("\r\n") == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      pollfd p{m_fd, POLLIN, 0};
      if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return -1;
      char buffer[512];
      ssize_t n = recv(m_fd, buffer, sizeof(buffer), 0);
      if (n <= 0) break;
      reply.append(buffer, static_cast<size_t>(n));
    }
    if (reply.compare(0, 9, "HTTP/1.1 ") != 0 || reply.size() < 12) return 0;
    return std::stoi(reply.substr(9, 3));
  }

 private:
  int m_fd = -1;
};

class ServiceAbuseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new test::TempDir();
    s_corpus = test::BuildCorpus(*s_dir, "small", test::kSmallCorpus);
  }
  static void TearDownTestSuite() { delete s_dir; }

  static bool Answers(int port, std::chrono::seconds timeout = std::chrono::seconds(10)) {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(timeout);
    client.set_read_timeout(timeout);
    auto reply = client.Get("/json.svc/search?AppId=x&PublicationID=1");
    return reply && reply->status == 200;
  }

  static inline test::TempDir* s_dir = nullptr;
  static inline std::string s_corpus;
};

TEST_F(ServiceAbuseTest, OversizedRequestsAreRefusedAndTheServerStaysUp) {
  SearchService service(s_corpus);
  int port = service.Start();
  const std::string search = "GET /json.svc/search?AppId=x&PublicationID=1";
  struct Case {
    const char* name;
    std::string request;
  };
  std::string manyHeaders = search + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  for (int i = 0; i < 20000; ++i) manyHeaders += "X-Filler-" + std::to_string(i) + ": " + std::string(40, 'h') + "\r\n";
  manyHeaders += "\r\n";
  const Case cases[] = {
      {"long URL", search + "&TitleQuery=" + std::string(100000, 'a') + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"},
      {"long header", search + " HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Long: " + std::string(100000, 'h') + "\r\n\r\n"},
      {"a megabyte of headers", manyHeaders},
  };
  for (const Case& c : cases) {
    RawConnection connection(port);
    connection.Send(c.request);
    int status = connection.Status(std::chrono::seconds(10));
    EXPECT_TRUE(status == 400 || status == 414 || status == 431) << c.name << ": " << status;
    EXPECT_TRUE(Answers(port)) << c.name;
  }
}

// A server answering every search at once, for what concerns only the connections.
class PlainServer {
 public:
  explicit PlainServer(std::chrono::milliseconds deadline = ServiceServer::kDefaultRequestDeadline) {
    m_server.SetRequestDeadline(deadline);
    port = m_server.Start("127.0.0.1", 0, [](const QueryParameters&) { return ServiceReply{200, "text/plain", "ok"}; },
                          "the test server");
  }
  int port = 0;

 private:
  ServiceServer m_server;
};

TEST_F(ServiceAbuseTest, BodiesAndOtherMethodsAreRefusedWithoutBeingRead) {
  PlainServer server;
  struct Case {
    const char* name;
    std::string request;
    int status;
  };
  const std::string get = "GET /json.svc/search?AppId=x HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  const Case cases[] = {
      // The body announced is never sent: the answer must not wait for it.
      {"a gigabyte POST", "POST /json.svc/search HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 1000000000\r\n\r\n", 413},
      {"a gigabyte GET", get + "Content-Length: 1000000000\r\n\r\n", 413},
      {"a chunked body", get + "Transfer-Encoding: chunked\r\n\r\n", 413},
      {"a length that is no number", get + "Content-Length: 12x\r\n\r\n", 413},
      {"a small PUT", "PUT /json.svc/search HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 2\r\n\r\nab", 405},
      {"DELETE", "DELETE /json.svc/search HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 405},
      {"a small body on a GET", get + "Content-Length: 5\r\n\r\nhello", 200},
  };
  for (const Case& c : cases) {
    RawConnection connection(server.port);
    connection.Send(c.request);
    EXPECT_EQ(connection.Status(std::chrono::seconds(10)), c.status) << c.name;
  }
  // A refused body that does come is dropped as it arrives, and the answer still reaches the client.
  RawConnection big(server.port);
  big.Send("POST /json.svc/search HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 8388608\r\n\r\n");
  big.Send(std::string(8 * 1024 * 1024, 'x'));
  EXPECT_EQ(big.Status(std::chrono::seconds(10)), 413);
  EXPECT_TRUE(Answers(server.port));
}

// Clients that send nothing, or a request a byte at a time, hold no thread: a well-behaved client
// is answered while they wait, and they are cut off once the request deadline has passed.
TEST_F(ServiceAbuseTest, SlowAndSilentClientsAreCutOffWhileOthersAreAnswered) {
  const auto deadline = std::chrono::seconds(4);
  PlainServer server(deadline);
  const std::string request =
      "GET /json.svc/search?AppId=x&TitleQuery=" + std::string(200, 'a') + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  std::vector<std::unique_ptr<RawConnection>> silent, slow;
  auto start = Clock::now();
  for (int i = 0; i < 200; ++i) silent.push_back(std::make_unique<RawConnection>(server.port));
  for (int i = 0; i < 200; ++i) slow.push_back(std::make_unique<RawConnection>(server.port));
  size_t sent = 0;
  auto drip = [&] {
    for (auto& connection : slow) connection->Send(request.substr(sent, 1));
    ++sent;
  };
  drip();
  // None of them is dropped early, however many arrive at once.
  for (auto* group : {&silent, &slow})
    for (auto& connection : *group) ASSERT_TRUE(connection->Waiting());
  for (int round = 0; round < 3; ++round) {
    drip();
    EXPECT_TRUE(Answers(server.port)) << "round " << round;
  }
  // Still within the deadline, the waiting connections are still open: nobody waited for them.
  if (Clock::now() - start < deadline / 2) {
    for (auto& connection : slow) ASSERT_TRUE(connection->Waiting());
  }
  while (Clock::now() - start < deadline + std::chrono::seconds(1) && sent + 1 < request.size()) {
    drip();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  for (auto* group : {&silent, &slow})
    for (auto& connection : *group) EXPECT_NE(connection->Status(std::chrono::seconds(10)), -1);
  EXPECT_TRUE(Answers(server.port));
}

TEST_F(ServiceAbuseTest, CorpusFilesThatAreCutShortOrForeignAreRefusedAtStart) {
  const auto size = std::filesystem::file_size(s_corpus);
  struct Case {
    const char* name;
    std::string content;
    const char* message;
  };
  std::string whole;
  {
    std::ifstream in(s_corpus, std::ios::binary);
    whole.assign(std::istreambuf_iterator<char>(in), {});
  }
  ASSERT_EQ(whole.size(), size);
  const Case cases[] = {
      {"half", whole.substr(0, size / 2), "truncated"},
      {"header only", whole.substr(0, 100), "truncated"},
      {"all but a byte", whole.substr(0, size - 1), "truncated"},
      {"empty", "", "is not a corpus file"},
      {"text", "{\"id\":1,\"title\":\"a corpus as JSON Lines\"}\n", "is not a corpus file"},
      {"other database", "", "is not a corpus file"},
  };
  for (const Case& c : cases) {
    std::string path = s_dir->Path(std::string(c.name) + ".sqlite");
    test::WriteText(path, c.content);
    if (std::string(c.name) == "other database") SqliteDb(path, SQLITE_OPEN_READWRITE).Execute("CREATE TABLE t(x)");
    try {
      SearchService service(path);
      ADD_FAILURE() << c.name << " was accepted";
    } catch (const ServiceError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.name << ": " << e.what();
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << c.name << ": " << e.what();
    }
  }
}

// A damaged page is refused when the service starts; one met while answering is a failure naming
// the file and logged, never a shorter list.
TEST_F(ServiceAbuseTest, DamagedCorpusIsRefusedAtStartAndFailsRequestsNamingIt) {
  const std::string damaged = s_dir->Path("damaged.sqlite");
  std::filesystem::copy_file(s_corpus, damaged, std::filesystem::copy_options::overwrite_existing);
  const int64_t pages = test::ZeroPages(damaged, 0, 0);
  ASSERT_GT(pages, 4);
  test::ZeroPages(damaged, pages / 2, 1);
  try {
    SearchService service(damaged);
    ADD_FAILURE() << "a damaged corpus was accepted";
  } catch (const ServiceError& e) {
    EXPECT_NE(std::string(e.what()).find(damaged + " is damaged"), std::string::npos) << e.what();
  }

  const std::string later = s_dir->Path("damaged-later.sqlite");
  std::filesystem::copy_file(s_corpus, later, std::filesystem::copy_options::overwrite_existing);
  std::vector<std::string> log;
  std::mutex logMutex;
  SearchService service(later, [&](const std::string& line) {
    std::lock_guard<std::mutex> lock(logMutex);
    log.push_back(line);
  });
  int port = service.Start();
  test::ZeroPages(later, 2, pages);
  httplib::Client client("127.0.0.1", port);
  for (const char* query : {"PublicationID=1", "FullTextQuery=mining"}) {
    auto reply = client.Get(std::string("/json.svc/search?AppId=x&") + query);
    ASSERT_TRUE(reply) << query;
    EXPECT_EQ(reply->status, 500) << query << ": " << reply->body;
    EXPECT_NE(reply->body.find(later), std::string::npos) << reply->body;
  }
  std::lock_guard<std::mutex> lock(logMutex);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[0].find(later), std::string::npos) << log[0];
}

TEST_F(ServiceAbuseTest, AFolderIsNoCorpus) {
  try {
    SearchService service(s_dir->Path(""));
    ADD_FAILURE() << "a folder was accepted";
  } catch (const ServiceError& e) {
    EXPECT_NE(std::string(e.what()).find("is a folder, not a corpus file"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace wendrel
