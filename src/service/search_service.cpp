#include "service/search_service.h"

#include <httplib.h>
#include <sys/socket.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "service/corpus_reader.h"
#include "service/search_request.h"

namespace wendrel {

namespace {

// Read-only connections handed to the server's threads, opened as needed and kept for reuse.
class ReaderPool {
 public:
  explicit ReaderPool(std::string path) : m_path(std::move(path)) {}

  std::unique_ptr<CorpusReader> Take() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (!m_idle.empty()) {
        std::unique_ptr<CorpusReader> reader = std::move(m_idle.back());
        m_idle.pop_back();
        return reader;
      }
    }
    return std::make_unique<CorpusReader>(m_path);
  }

  void Give(std::unique_ptr<CorpusReader> reader) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_idle.push_back(std::move(reader));
  }

 private:
  std::string m_path;
  std::mutex m_mutex;
  std::vector<std::unique_ptr<CorpusReader>> m_idle;
};

}  // namespace

struct SearchService::Impl {
  explicit Impl(const std::string& path) : pool(path) {}

  void Handle(const httplib::Request& request, httplib::Response& response) {
    QueryParameters parameters(request.params.begin(), request.params.end());
    ServiceReply reply;
    try {
      std::unique_ptr<CorpusReader> reader = pool.Take();
      reply = AnswerSearchRequest(*reader, parameters);
      pool.Give(std::move(reader));
    } catch (const std::exception&) {
      reply = {500, "text/plain; charset=utf-8", "the corpus could not be opened\n"};
    }
    response.status = reply.status;
    response.set_content(reply.body, reply.contentType.c_str());
  }

  ReaderPool pool;
  std::unique_ptr<httplib::Server> server;
  std::thread listener;
  std::string baseAddress;
};

SearchService::SearchService(const std::string& corpusPath) : m_impl(std::make_unique<Impl>(corpusPath)) {
  // Opening one connection now reports a missing or foreign file to the caller, not to a request.
  m_impl->pool.Give(m_impl->pool.Take());
}

SearchService::~SearchService() { Stop(); }

int SearchService::Start(const std::string& address, int port) {
  if (m_impl->server) throw ServiceError("the search service is already running on " + m_impl->baseAddress);
  auto server = std::make_unique<httplib::Server>();
  // Short keep-alive and read waits keep Stop from waiting long on idle or slow clients.
  server->set_keep_alive_timeout(2);
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
  server->Get(R"(/json\.svc/[Ss]earch)",
              [impl = m_impl.get()](const httplib::Request& request, httplib::Response& response) {
                impl->Handle(request, response);
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
  m_impl->listener = std::thread([raw] { raw->listen_after_bind(); });
  // Stop only takes effect once the listening loop runs, so Start returns after that.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!raw->is_running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  m_impl->server = std::move(server);
  bool ipv6 = address.find(':') != std::string::npos;
  m_impl->baseAddress =
      "http://" + (ipv6 ? "[" + address + "]" : address) + ":" + std::to_string(bound);
  return bound;
}

std::string SearchService::BaseAddress() const { return m_impl->baseAddress; }

void SearchService::Stop() {
  if (!m_impl->server) return;
  m_impl->server->stop();
  if (m_impl->listener.joinable()) m_impl->listener.join();
  m_impl->server.reset();
  m_impl->baseAddress.clear();
}

}  // namespace wendrel
