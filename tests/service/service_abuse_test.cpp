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
#include <string>
#include <vector>

#include "corpus/search_service.h"
#include "corpus/sqlite_db.h"
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

// More connections than the server has threads, each saying nothing or half a request line, must
// not keep a well-behaved client waiting for them to time out.
TEST_F(ServiceAbuseTest, SilentConnectionsDoNotHoldOffOtherClients) {
  SearchService service(s_corpus);
  int port = service.Start();
  std::vector<std::unique_ptr<RawConnection>> idle;
  for (int i = 0; i < 48; ++i) {
    idle.push_back(std::make_unique<RawConnection>(port));
    if (i % 2) idle.back()->Send("GET /json.svc/search?AppId=x&Public");
  }
  for (int round = 0; round < 3; ++round) {
    auto start = Clock::now();
    EXPECT_TRUE(Answers(port));
    // The silent ones are dropped after two seconds at the earliest.
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500)) << "round " << round;
  }
  // The silent connections are dropped in the end rather than held for ever.
  int dropped = 0;
  for (auto& connection : idle)
    if (connection->Status(std::chrono::seconds(15)) != -1) ++dropped;
  EXPECT_EQ(dropped, static_cast<int>(idle.size()));
  EXPECT_TRUE(Answers(port));
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

}  // namespace
}  // namespace wendrel
