#include "test_http_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace wendrel::test {

struct TestHttpServer::Runner {
  std::thread thread;
};

TestHttpServer::TestHttpServer(Handler handler) : m_server(std::make_unique<httplib::Server>()) {
  m_server->Get(".*", [handler](const httplib::Request& req, httplib::Response& res) { handler(req, res); });
  m_port = m_server->bind_to_any_port("127.0.0.1");
  if (m_port <= 0) throw std::runtime_error("test server cannot bind 127.0.0.1");
  m_runner = std::make_unique<Runner>();
  m_runner->thread = std::thread([this] { m_server->listen_after_bind(); });
  // stop() only reaches a server whose loop has started: wait for it (bounded).
  for (int i = 0; i < 5000 && !m_server->is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestHttpServer::~TestHttpServer() {
  m_server->stop();
  if (m_runner && m_runner->thread.joinable()) m_runner->thread.join();
}

std::string TestHttpServer::BaseAddress() const { return "http://127.0.0.1:" + std::to_string(m_port); }

int UnusedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    if (fd >= 0) close(fd);
    throw std::runtime_error("cannot find a free port");
  }
  int port = ntohs(addr.sin_port);
  close(fd);
  return port;
}

}  // namespace wendrel::test
