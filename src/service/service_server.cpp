#include "service/service_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/text_encoding.h"
#include "service/service_error.h"

namespace wendrel {

namespace {

using Clock = std::chrono::steady_clock;

// The workers: a request reaches them whole, so a thread is busy only while a request is answered.
// The pool starts a thread whenever a request finds none free, up to kMaxThreads, and keeps them
// for later, so slow corpus queries do not queue behind each other.
class GrowingThreadPool : public httplib::TaskQueue {
 public:
  static constexpr size_t kMaxThreads = 128;

  ~GrowingThreadPool() override { shutdown(); }

  void enqueue(std::function<void()> fn) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs.push_back(std::move(fn));
    if (m_idle < m_jobs.size() && m_threads.size() < kMaxThreads) m_threads.emplace_back([this] { Work(); });
    m_ready.notify_one();
  }

  // Runs what is queued, then joins the threads. Idempotent.
  void shutdown() override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_shutdown = true;
    }
    m_ready.notify_all();
    for (auto& thread : m_threads)
      if (thread.joinable()) thread.join();
  }

 private:
  void Work() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_idle;
        m_ready.wait(lock, [this] { return !m_jobs.empty() || m_shutdown; });
        --m_idle;
        if (m_jobs.empty()) return;
        job = std::move(m_jobs.front());
        m_jobs.pop_front();
      }
      job();
    }
  }

  std::mutex m_mutex;
  std::condition_variable m_ready;
  std::deque<std::function<void()>> m_jobs;
  std::vector<std::thread> m_threads;
  size_t m_idle = 0;
  bool m_shutdown = false;
};

// Accepted connections go to the watcher at once; the listening thread never waits on a client.
class InlineQueue : public httplib::TaskQueue {
 public:
  void enqueue(std::function<void()> fn) override { fn(); }
  void shutdown() override {}
};

// The library's own limits are a request line of 8 KB (414) and a header line of 8 KB (400); it
// counts no headers, so a request with thousands of them is refused here.
constexpr size_t kMaxRequestLine = 8192;
constexpr size_t kMaxHeaders = 100;
constexpr size_t kMaxHeaderBytes = 64 * 1024;
// The most the watcher looks at before it gives up waiting for the end of the headers.
constexpr size_t kMaxHeadBytes = kMaxRequestLine + kMaxHeaderBytes;
constexpr auto kWriteTimeout = std::chrono::seconds(5);
// How long a worker waits for the next request on a connection it has just answered.
constexpr int kFollowUpWaitMs = 20;
// After a refusal the rest of what the client sends is read and dropped for a while before the
// connection closes: closing on unread data resets it, and the client may then lose the answer.
constexpr auto kLingerTime = std::chrono::seconds(2);
constexpr size_t kLingerBytes = 4 * 1024 * 1024;

// What the watcher learns from the bytes waiting on a connection, without taking them.
struct RequestScan {
  enum State { kIncomplete, kComplete, kTooLarge } state = kIncomplete;
  size_t bytes = 0;         // the request line, headers and the small body read with them
  bool closeAfter = false;  // a request that will be refused: answer it, then close
};

RequestScan ScanRequest(std::string_view data) {
  RequestScan scan;
  size_t end = data.find("\r\n\r\n");
  if (end == std::string_view::npos) {
    if (data.size() >= kMaxHeadBytes) scan.state = RequestScan::kTooLarge;
    return scan;
  }
  std::string_view head = data.substr(0, end + 2);
  size_t lineEnd = head.find("\r\n");
  std::string_view method = head.substr(0, std::min(lineEnd, head.find(' ')));
  bool hasBody = false;
  size_t bodyBytes = 0;
  for (size_t pos = lineEnd + 2; pos < head.size();) {
    size_t next = head.find("\r\n", pos);
    std::string_view field = head.substr(pos, next - pos);
    pos = next + 2;
    size_t colon = field.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string name = LowerCaseText(Trimmed(field.substr(0, colon)));
    const std::string value = Trimmed(field.substr(colon + 1));
    if (name == "transfer-encoding") {
      hasBody = true;
      bodyBytes = ServiceServer::kMaxBodyBytes + 1;
    } else if (name == "content-length") {
      size_t length = 0;
      auto [rest, error] = std::from_chars(value.data(), value.data() + value.size(), length);
      if (error != std::errc() || rest != value.data() + value.size()) length = ServiceServer::kMaxBodyBytes + 1;
      hasBody = hasBody || length > 0;
      bodyBytes = std::max(bodyBytes, length);
    }
  }
  scan.bytes = end + 4;
  scan.closeAfter = !(method == "GET" || method == "HEAD") || bodyBytes > ServiceServer::kMaxBodyBytes;
  // A small body is waited for like the headers; one that will be refused is never read.
  if (hasBody && !scan.closeAfter) scan.bytes += bodyBytes;
  scan.state = scan.bytes <= data.size() ? RequestScan::kComplete : RequestScan::kIncomplete;
  return scan;
}

// Fills response with a refusal and returns true when the request is not one the service takes.
bool Refuse(const httplib::Request& request, httplib::Response& response) {
  auto refuse = [&](int status, const char* text) {
    response.status = status;
    response.set_content(text, "text/plain; charset=utf-8");
    return true;
  };
  if (request.headers.size() > kMaxHeaders) return refuse(431, "request headers too large\n");
  size_t headerBytes = 0;
  for (const auto& [name, value] : request.headers) headerBytes += name.size() + value.size() + 4;
  if (headerBytes > kMaxHeaderBytes) return refuse(431, "request headers too large\n");
  std::string length = request.get_header_value("Content-Length");
  size_t bodyBytes = 0;
  auto [rest, error] = std::from_chars(length.data(), length.data() + length.size(), bodyBytes);
  if (error != std::errc() || rest != length.data() + length.size()) bodyBytes = length.empty() ? 0 : SIZE_MAX;
  if (request.has_header("Transfer-Encoding") || bodyBytes > ServiceServer::kMaxBodyBytes)
    return refuse(413, "request body too large\n");
  if (request.method != "GET" && request.method != "HEAD") {
    response.set_header("Allow", "GET, HEAD");
    return refuse(405, "the service answers GET requests only\n");
  }
  return false;
}

// One request the watcher has seen arrive whole, read into memory, and the connection to answer on.
class RequestStream : public httplib::Stream {
 public:
  RequestStream(int fd, std::string request) : m_fd(fd), m_request(std::move(request)) {}

  bool is_readable() const override { return m_read < m_request.size(); }
  bool is_writable() const override {
    pollfd p{m_fd, POLLOUT, 0};
    auto timeout = std::chrono::duration_cast<std::chrono::milliseconds>(kWriteTimeout).count();
    return poll(&p, 1, static_cast<int>(timeout)) > 0 && (p.revents & POLLOUT);
  }
  // Past the request the watcher saw there is nothing more to read.
  ssize_t read(char* ptr, size_t size) override {
    size = std::min(size, m_request.size() - m_read);
    std::copy_n(m_request.data() + m_read, size, ptr);
    m_read += size;
    return static_cast<ssize_t>(size);
  }
  ssize_t write(const char* ptr, size_t size) override {
    if (!is_writable()) return -1;
    return ::send(m_fd, ptr, size, MSG_NOSIGNAL);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override { Address(getpeername, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { Address(getsockname, ip, port); }
  socket_t socket() const override { return m_fd; }

 private:
  void Address(int (*get)(int, sockaddr*, socklen_t*), std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    ip.clear();
    port = 0;
    if (get(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
      const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
      inet_ntop(AF_INET, &v4.sin_addr, text, sizeof(text));
      port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
      const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
      inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof(text));
      port = ntohs(v6.sin6_port);
    }
    ip = text;
  }

  int m_fd;
  std::string m_request;
  size_t m_read = 0;
};

}  // namespace

// The library's server with its connection handling replaced: the library still parses, routes
// and writes each request, but waiting for requests is the watcher's.
class ServiceServer::GatedServer : public httplib::Server {
 public:
  explicit GatedServer(std::chrono::milliseconds deadline) : m_deadline(deadline) {
    new_task_queue = [] { return new InlineQueue(); };
    set_payload_max_length(kMaxBodyBytes);
    set_pre_routing_handler([](const httplib::Request& request, httplib::Response& response) {
      return Refuse(request, response) ? HandlerResponse::Handled : HandlerResponse::Unhandled;
    });
    set_expect_100_continue_handler([](const httplib::Request& request, httplib::Response& response) {
      return Refuse(request, response) ? response.status : 100;
    });
  }
  ~GatedServer() override { StopWatching(); }

  // After binding: the library listens with a backlog of five. A burst of connections beyond that
  // overflows the accept queue, and the kernel (with SYN cookies) resets connections the client
  // already holds as open: a third of 48 opened at once were ended before a byte was sent.
  void StartWatching() {
    ::listen(svr_sock_, SOMAXCONN);
    m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0) throw ServiceError("cannot start the service: no event descriptor left");
    m_watcher = std::thread([this] { WatchLoop(); });
  }

  // After the library stopped accepting: lets the requests in progress finish, then closes every
  // connection still open.
  void StopWatching() {
    m_closing.store(true);
    m_workers.shutdown();
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_stopping = true;
    }
    Wake();
    if (m_watcher.joinable()) m_watcher.join();
    for (const Waiting& waiting : m_arrivals) close(waiting.fd);
    m_arrivals.clear();
    if (m_wake >= 0) close(m_wake);
    m_wake = -1;
  }

 private:
  struct Waiting {
    int fd;
    Clock::time_point deadline;
    bool lingering;  // refused or finished: what comes is dropped until the client closes
    size_t dropped = 0;
  };

  bool process_and_close_socket(socket_t sock) override {
    Watch(sock, false);
    return true;
  }

  void Watch(int fd, bool lingering) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (!m_stopping) {
        m_arrivals.push_back({fd, Clock::now() + (lingering ? kLingerTime : m_deadline), lingering});
        fd = -1;
      }
    }
    if (fd >= 0) {
      close(fd);
      return;
    }
    Wake();
  }

  void Wake() {
    uint64_t one = 1;
    if (m_wake >= 0) [[maybe_unused]] ssize_t n = ::write(m_wake, &one, sizeof(one));
  }

  // Answers a request the library would only see after reading all of it, then lingers.
  static void RefuseAtOnce(Waiting& waiting, std::string_view seen) {
    bool longLine = seen.substr(0, kMaxRequestLine).find("\r\n") == std::string_view::npos;
    const char* reply = longLine ? "HTTP/1.1 414 URI Too Long\r\nConnection: close\r\nContent-Length: 0\r\n\r\n"
                                 : "HTTP/1.1 431 Request Header Fields Too Large\r\nConnection: close\r\n"
                                   "Content-Length: 0\r\n\r\n";
    ::send(waiting.fd, reply, std::strlen(reply), MSG_NOSIGNAL | MSG_DONTWAIT);
    shutdown(waiting.fd, SHUT_WR);
    waiting.lingering = true;
    waiting.deadline = Clock::now() + kLingerTime;
  }

  // Returns false when the connection is done with (closed, or handed to a worker).
  bool Readable(Waiting& waiting, std::vector<char>& buffer) {
    if (waiting.lingering) {
      ssize_t n = recv(waiting.fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
      waiting.dropped += n > 0 ? static_cast<size_t>(n) : 0;
      if (n > 0 && waiting.dropped < kLingerBytes) return true;
      close(waiting.fd);
      return false;
    }
    ssize_t n = recv(waiting.fd, buffer.data(), buffer.size(), MSG_PEEK | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (n <= 0) {
      close(waiting.fd);
      return false;
    }
    std::string_view seen(buffer.data(), static_cast<size_t>(n));
    RequestScan scan = ScanRequest(seen);
    if (scan.state == RequestScan::kTooLarge) {
      RefuseAtOnce(waiting, seen);
      return true;
    }
    if (scan.state == RequestScan::kIncomplete) return true;
    m_workers.enqueue([this, fd = waiting.fd, scan] { Serve(fd, scan); });
    return false;
  }

  void Expired(const Waiting& waiting) {
    if (!waiting.lingering) {
      char byte;
      if (recv(waiting.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0) {
        static const char kTimeout[] = "HTTP/1.1 408 Request Timeout\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
        ::send(waiting.fd, kTimeout, sizeof(kTimeout) - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
      }
    }
    close(waiting.fd);
  }

  void WatchLoop() {
    std::vector<Waiting> waiting;
    std::vector<pollfd> polls;
    std::vector<char> buffer(kMaxHeadBytes + kMaxBodyBytes);
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping) break;
        waiting.insert(waiting.end(), m_arrivals.begin(), m_arrivals.end());
        m_arrivals.clear();
      }
      auto now = Clock::now();
      auto next = now + std::chrono::seconds(1);
      std::erase_if(waiting, [&](const Waiting& w) {
        if (w.deadline > now) return false;
        Expired(w);
        return true;
      });
      polls.assign(1, pollfd{m_wake, POLLIN, 0});
      for (const Waiting& w : waiting) {
        polls.push_back({w.fd, POLLIN, 0});
        next = std::min(next, w.deadline);
      }
      auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() + 1;
      if (poll(polls.data(), polls.size(), static_cast<int>(wait)) <= 0) continue;
      if (polls[0].revents) {
        uint64_t count;
        [[maybe_unused]] ssize_t n = ::read(m_wake, &count, sizeof(count));
      }
      std::vector<Waiting> still;
      still.reserve(waiting.size());
      for (size_t i = 0; i < waiting.size(); ++i)
        if (!polls[i + 1].revents || Readable(waiting[i], buffer)) still.push_back(waiting[i]);
      waiting.swap(still);
    }
    for (const Waiting& w : waiting) close(w.fd);
  }

  // On a worker: answers the request, and the ones that follow at once on the connection. A client
  // that goes on sends its next request within a round trip; waiting that briefly here saves two
  // hand-overs between threads a request. A request not whole by then goes back to the watcher,
  // so that no client holds a worker by sending slowly.
  void Serve(int fd, RequestScan scan) {
    thread_local std::vector<char> buffer(kMaxHeadBytes + kMaxBodyBytes);
    for (;;) {
      if (!AnswerOne(fd, scan)) return;
      pollfd p{fd, POLLIN, 0};
      if (m_closing.load() || poll(&p, 1, kFollowUpWaitMs) <= 0) break;
      ssize_t n = recv(fd, buffer.data(), buffer.size(), MSG_PEEK | MSG_DONTWAIT);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        close(fd);
        return;
      }
      scan = ScanRequest(std::string_view(buffer.data(), n > 0 ? static_cast<size_t>(n) : 0));
      if (scan.state != RequestScan::kComplete) break;
    }
    Watch(fd, false);
  }

  // Takes one request off the connection and answers it; true when the connection stays open
  // for the next, false when it was closed or handed to the watcher to linger and close.
  bool AnswerOne(int fd, const RequestScan& scan) {
    std::string request(scan.bytes, '\0');
    for (size_t got = 0; got < scan.bytes;) {
      ssize_t n = recv(fd, request.data() + got, scan.bytes - got, MSG_DONTWAIT);
      if (n <= 0) {
        close(fd);
        return false;
      }
      got += static_cast<size_t>(n);
    }
    RequestStream stream(fd, std::move(request));
    bool clientCloses = false;
    bool written = process_request(stream, scan.closeAfter, clientCloses, nullptr);
    if (!written) {
      close(fd);
      return false;
    }
    if (!scan.closeAfter && !clientCloses) return true;
    shutdown(fd, SHUT_WR);
    Watch(fd, true);
    return false;
  }

  std::chrono::milliseconds m_deadline;
  std::atomic<bool> m_closing{false};
  GrowingThreadPool m_workers;
  std::mutex m_mutex;
  std::vector<Waiting> m_arrivals;
  bool m_stopping = false;
  int m_wake = -1;
  std::thread m_watcher;
};

ServiceServer::ServiceServer() = default;

ServiceServer::~ServiceServer() { Stop(); }

int ServiceServer::Start(const std::string& address, int port, Handler handler, const std::string& what) {
  if (m_server) throw ServiceError(what + " is already running on " + m_baseAddress);
  auto server = std::make_unique<GatedServer>(m_requestDeadline);
  // Headers and body go out in separate writes; without this the body waits for the client's
  // delayed acknowledgement of the headers (tens of milliseconds a request).
  server->set_tcp_nodelay(true);
  // The library's default adds SO_REUSEPORT, which lets a second server share a port already in
  // use without a word; plain SO_REUSEADDR only allows rebinding a port lately closed.
  server->set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  });
  server->Get(R"(/json\.svc/[Ss]earch)",
              [handler = std::move(handler)](const httplib::Request& request, httplib::Response& response) {
                ServiceReply reply = handler(QueryParameters(request.params.begin(), request.params.end()));
                response.status = reply.status;
                response.set_content(reply.body, reply.contentType.c_str());
              });
  int bound = port;
  if (port == 0) {
    bound = server->bind_to_any_port(address);
  } else if (port < 0 || port > 65535 || !server->bind_to_port(address, port)) {
    bound = -1;
  }
  if (bound < 0)
    throw ServiceError("cannot listen on " + address + ":" + std::to_string(port) +
                       " (address in use or not available)");
  server->StartWatching();
  GatedServer* raw = server.get();
  m_listener = std::thread([raw] { raw->listen_after_bind(); });
  // Stop only takes effect once the listening loop runs, so Start returns after that.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!raw->is_running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  m_server = std::move(server);
  bool ipv6 = address.find(':') != std::string::npos;
  m_baseAddress = "http://" + (ipv6 ? "[" + address + "]" : address) + ":" + std::to_string(bound);
  return bound;
}

void ServiceServer::Stop() {
  if (!m_server) return;
  m_server->stop();
  if (m_listener.joinable()) m_listener.join();
  m_server->StopWatching();
  m_server.reset();
  m_baseAddress.clear();
}

}  // namespace wendrel
