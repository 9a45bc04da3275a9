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

// A service that hangs: every GET whose address (path and query as sent) contains `hangOn` gets
// no answer until Release or the object's end; every other GET is passed on to the server at
// `target` and its answer returned. An empty `hangOn` holds every request.
class HangingProxy {
 public:
  explicit HangingProxy(std::string target = "", std::string hangOn = "");
  ~HangingProxy();
  HangingProxy(const HangingProxy&) = delete;
  HangingProxy& operator=(const HangingProxy&) = delete;

  std::string BaseAddress() const { return m_server->BaseAddress(); }
  // Requests held so far.
  int Held() const;
  // Lets the held requests go (their clients have usually given up) and passes everything on
  // from now.
  void Release();

 private:
  struct State;
  std::shared_ptr<State> m_state;
  std::unique_ptr<TestHttpServer> m_server;
};

// A port on 127.0.0.1 where nothing listens (bound once, then closed).
int UnusedPort();

}  // namespace wendrel::test
