#include "service/service_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <chrono>

#include "service/service_error.h"

namespace wendrel {

ServiceServer::ServiceServer() = default;

ServiceServer::~ServiceServer() { Stop(); }

int ServiceServer::Start(const std::string& address, int port, Handler handler, const std::string& what) {
  if (m_server) throw ServiceError(what + " is already running on " + m_baseAddress);
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
