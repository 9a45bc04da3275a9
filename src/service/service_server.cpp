#include "service/service_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "service/service_error.h"

namespace wendrel {

namespace {

// A connection holds its thread from the moment it is accepted until it closes or its waits run
// out, also while it says nothing at all. With the library's fixed pool of a few threads, as many
// silent connections kept every other client waiting for seconds; this pool starts a thread
// whenever a connection finds none free, up to kMaxThreads, and keeps them for later.
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

// The library refuses a request line over 8 KB (414) and a header line over 8 KB (400) but counts
// no headers; a request with thousands of them would otherwise be answered as if nothing were odd.
constexpr size_t kMaxHeaders = 100;
constexpr size_t kMaxHeaderBytes = 64 * 1024;

bool HeadersTooLarge(const httplib::Headers& headers) {
  if (headers.size() > kMaxHeaders) return true;
  size_t bytes = 0;
  for (const auto& [name, value] : headers) bytes += name.size() + value.size() + 4;
  return bytes > kMaxHeaderBytes;
}

}  // namespace

ServiceServer::ServiceServer() = default;

ServiceServer::~ServiceServer() { Stop(); }

int ServiceServer::Start(const std::string& address, int port, Handler handler, const std::string& what) {
  if (m_server) throw ServiceError(what + " is already running on " + m_baseAddress);
  auto server = std::make_unique<httplib::Server>();
  server->new_task_queue = [] { return new GrowingThreadPool(); };
  // Short keep-alive and read waits keep Stop from waiting long on idle or slow clients.
  server->set_keep_alive_timeout(2);
  // The library closes a connection after five requests by default; a client's chain growth sends
  // hundreds, and each new connection costs a handshake and a thread hand-over.
  server->set_keep_alive_max_count(1000);
  server->set_read_timeout(5, 0);
  // Headers and body go out in separate writes; without this the body waits for the client's
  // delayed acknowledgement of the headers (tens of milliseconds a request).
  server->set_tcp_nodelay(true);
  // The library's default adds SO_REUSEPORT, which lets a second server share a port already in
  // use without a word; plain SO_REUSEADDR only allows rebinding a port lately closed.
  server->set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  });
  server->set_pre_routing_handler([](const httplib::Request& request, httplib::Response& response) {
    if (!HeadersTooLarge(request.headers)) return httplib::Server::HandlerResponse::Unhandled;
    response.status = 431;
    response.set_header("Connection", "close");
    response.set_content("request headers too large\n", "text/plain; charset=utf-8");
    return httplib::Server::HandlerResponse::Handled;
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
  httplib::Server* raw = server.get();
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
  m_server.reset();
  m_baseAddress.clear();
}

}  // namespace wendrel
