#include "test_http_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
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

struct HangingProxy::State {
  std::string target;
  std::string hangOn;
  std::mutex mutex;
  std::condition_variable released;
  bool hanging = true;
  int held = 0;
};

HangingProxy::HangingProxy(std::string target, std::string hangOn) : m_state(std::make_shared<State>()) {
  m_state->target = std::move(target);
  m_state->hangOn = std::move(hangOn);
  m_server = std::make_unique<TestHttpServer>([state = m_state](const httplib::Request& req, httplib::Response& res) {
    {
      std::unique_lock lock(state->mutex);
      if (state->hanging && req.target.find(state->hangOn) != std::string::npos) {
        ++state->held;
        state->released.wait(lock, [&] { return !state->hanging; });
        res.status = 503;
        return;
      }
    }
    httplib::Client client(state->target);
    if (auto reply = client.Get(req.target)) {
      res.status = reply->status;
      res.set_content(reply->body, reply->get_header_value("Content-Type").c_str());
    } else {
      res.status = 502;
    }
  });
}

HangingProxy::~HangingProxy() {
  Release();
  m_server.reset();
}

int HangingProxy::Held() const {
  std::lock_guard lock(m_state->mutex);
  return m_state->held;
}

void HangingProxy::Release() {
  {
    std::lock_guard lock(m_state->mutex);
    m_state->hanging = false;
  }
  m_state->released.notify_all();
}

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
