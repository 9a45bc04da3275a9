// A small HTTP server for tests on 127.0.0.1 with an ephemeral port, running on its own thread
// until the object goes away.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace wendrel::test {

class TestHttpServer {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  // Serves every GET with the handler.
  explicit TestHttpServer(Handler handler);
  ~TestHttpServer();

  int Port() const { return m_port; }
  std::string BaseAddress() const;

 private:
  std::unique_ptr<httplib::Server> m_server;
  struct Runner;
  std::unique_ptr<Runner> m_runner;
  int m_port = 0;
};

// A port on 127.0.0.1 where nothing listens (bound once, then closed).
int UnusedPort();

}  // namespace wendrel::test
