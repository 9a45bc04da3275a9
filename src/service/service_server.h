// The HTTP side of the local service: GET <base>/json.svc/search handed to a function of the
// query parameters, on a thread pool, on one address and port.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "service/search_request.h"

namespace httplib {
class Server;
}

namespace wendrel {

// Start and Stop are for the owning thread; the destructor stops the server. The handler runs on
// the server's threads, several at once.
class ServiceServer {
 public:
  using Handler = std::function<ServiceReply(const QueryParameters&)>;

  ServiceServer();
  ~ServiceServer();
  ServiceServer(const ServiceServer&) = delete;
  ServiceServer& operator=(const ServiceServer&) = delete;

  // Listens on address:port (port 0: any free port) and returns the port bound; throws
  // ServiceError when the address cannot be bound or the server already runs. `what` names the
  // service in that message.
  int Start(const std::string& address, int port, Handler handler, const std::string& what);
  // "http://address:port" while running; empty otherwise.
  std::string BaseAddress() const { return m_baseAddress; }
  // Stops listening and waits for the requests in progress. Idempotent.
  void Stop();

 private:
  std::unique_ptr<httplib::Server> m_server;
  std::thread m_listener;
  std::string m_baseAddress;
};

}  // namespace wendrel
