// The HTTP side of the local service: GET <base>/json.svc/search handed to a function of the
// query parameters, on a thread pool, on one address and port.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "service/search_request.h"

namespace wendrel {

// Start and Stop are for the owning thread; the destructor stops the server. The handler runs on
// the server's threads, several at once.
//
// A connection holds no thread while it waits: one watcher thread waits on every connection at
// once until a whole request (line, headers and a small body) has arrived, and only then hands it
// to a worker. A request whose line and headers are not complete within the request deadline is
// cut off, so clients that send a byte now and then, or nothing at all, cannot crowd out the rest.
// The service answers GET and HEAD only (405 otherwise) and refuses request bodies over
// kMaxBodyBytes (413) without reading them.
class ServiceServer {
 public:
  using Handler = std::function<ServiceReply(const QueryParameters&)>;
  static constexpr size_t kMaxBodyBytes = 4096;
  static constexpr std::chrono::milliseconds kDefaultRequestDeadline{10000};

  ServiceServer();
  ~ServiceServer();
  ServiceServer(const ServiceServer&) = delete;
  ServiceServer& operator=(const ServiceServer&) = delete;

  // How long a connection may take to send a whole request, counted from its acceptance or from
  // the previous reply on it; also how long an idle connection is kept. Takes effect at Start.
  void SetRequestDeadline(std::chrono::milliseconds deadline) { m_requestDeadline = deadline; }

  // Listens on address:port (port 0: any free port) and returns the port bound; throws
  // ServiceError when the address cannot be bound or the server already runs. `what` names the
  // service in that message.
  int Start(const std::string& address, int port, Handler handler, const std::string& what);
  // "http://address:port" while running; empty otherwise.
  std::string BaseAddress() const { return m_baseAddress; }
  // Stops listening, waits for the requests in progress and closes every connection. Idempotent.
  void Stop();

 private:
  class GatedServer;
  std::unique_ptr<GatedServer> m_server;
  std::thread m_listener;
  std::string m_baseAddress;
  std::chrono::milliseconds m_requestDeadline = kDefaultRequestDeadline;
};

}  // namespace wendrel
