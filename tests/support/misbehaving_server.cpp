// The raw misbehaving server: accept loop with a short poll so that it stops promptly.
#include "misbehaving_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace wendrel::test {

MisbehavingServer::MisbehavingServer(Behaviour behaviour) : m_behaviour(std::move(behaviour)) {
  m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listener < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof(address);
  if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(m_listener, 16) != 0 ||
      ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(m_listener);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  m_port = ntohs(address.sin_port);
  m_acceptor = std::thread([this] { AcceptLoop(); });
}

MisbehavingServer::~MisbehavingServer() {
  m_stopping = true;
  m_acceptor.join();
  std::lock_guard<std::mutex> lock(m_mutex);
  for (std::thread& worker : m_workers) worker.join();
  ::close(m_listener);
}

std::string MisbehavingServer::BaseAddress() const { return "http://127.0.0.1:" + std::to_string(m_port); }

void MisbehavingServer::AcceptLoop() {
  while (!m_stopping) {
    pollfd waiting{m_listener, POLLIN, 0};
    if (::poll(&waiting, 1, 50) <= 0) continue;
    int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++m_connections;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_workers.emplace_back([this, fd] {
      m_behaviour(fd, m_stopping);
      ::close(fd);
    });
  }
}

bool ReadRequestHead(int fd, const std::atomic<bool>& stopping, std::string* head) {
  std::string text;
  char buffer[4096];
  while (!stopping && text.find("\r\n\r\n") == std::string::npos) {
    pollfd waiting{fd, POLLIN, 0};
    if (::poll(&waiting, 1, 50) <= 0) continue;
    ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
    if (n <= 0) return false;
    text.append(buffer, static_cast<size_t>(n));
  }
  if (head != nullptr) *head = text;
  return !stopping;
}

bool SendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void ResetConnection(int fd) {
  linger hard{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
}

bool Pause(int ms, const std::atomic<bool>& stopping) {
  for (int waited = 0; waited < ms && !stopping; waited += 10)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return !stopping;
}

namespace {
constexpr std::string_view kHead = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n";
}

MisbehavingServer::Behaviour FaultBehaviour(Fault fault, std::atomic<int64_t>* sent) {
  return [fault, sent](int fd, const std::atomic<bool>& stopping) {
    if (!ReadRequestHead(fd, stopping)) return;
    const std::string head(kHead);
    switch (fault) {
      case Fault::Drip:
        SendAll(fd, head + "Content-Length: 1000\r\n\r\n");
        while (Pause(200, stopping) && SendAll(fd, "{")) {
        }
        break;
      case Fault::Silence:
        while (Pause(50, stopping)) {
        }
        break;
      case Fault::Reset:
        SendAll(fd, head + "Content-Length: 100\r\n\r\n{\"d\":{\"Publication\":");
        Pause(100, stopping);
        ResetConnection(fd);
        break;
      case Fault::ShortBody:
        SendAll(fd, head + "Content-Length: 100\r\n\r\n{\"d\":");
        break;
      case Fault::Huge:
      case Fault::HugeAnnounced: {
        constexpr int64_t kSize = 300LL * 1024 * 1024;
        std::string start = head;
        if (fault == Fault::HugeAnnounced) start += "Content-Length: " + std::to_string(kSize) + "\r\n";
        if (!SendAll(fd, start + "\r\n")) return;
        const std::string chunk(1 << 20, ' ');
        for (int64_t done = 0; !stopping && done < kSize && SendAll(fd, chunk);) {
          done += static_cast<int64_t>(chunk.size());
          if (sent != nullptr) *sent = done;
        }
        break;
      }
      case Fault::Html: {
        const std::string page = "<!DOCTYPE html><html><body><h1>502 Bad Gateway</h1></body></html>";
        SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                        std::to_string(page.size()) + "\r\n\r\n" + page);
        break;
      }
      case Fault::RedirectLoop:
        SendAll(fd, "HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        break;
    }
  };
}

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::Drip: return "drip";
    case Fault::Silence: return "silence";
    case Fault::Reset: return "reset";
    case Fault::ShortBody: return "short body";
    case Fault::Huge: return "huge";
    case Fault::HugeAnnounced: return "huge, announced";
    case Fault::Html: return "html";
    case Fault::RedirectLoop: return "redirect loop";
  }
  return "";
}

}  // namespace wendrel::test
