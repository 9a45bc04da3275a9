// A publication source answered over HTTP: the one wrapper of a source and a server, which the
// corpus service and the OpenAlex gateway each hold.
#pragma once

#include <exception>
#include <functional>
#include <mutex>
#include <string>

#include "service/publication_source.h"
#include "service/service_server.h"

namespace wendrel {

// Answers GET <base>/json.svc/search from `source` on the server's threads, several at once: the
// source must take that. A request the source fails on is answered 500 with the failure's line,
// which also goes to the log. Start and Stop are for the owning thread; the destructor stops.
class ServedSource {
 public:
  // One line of failure for the requester and the log.
  using Describe = std::function<std::string(const std::exception& failure)>;
  // Told each failure, one line at a time, never two at once.
  using Log = std::function<void(const std::string& line)>;

  // `source` outlives this; `what` names the service in messages ("the search service").
  ServedSource(PublicationSource& source, std::string what, Describe describe, Log log);
  ~ServedSource();
  ServedSource(const ServedSource&) = delete;
  ServedSource& operator=(const ServedSource&) = delete;

  // Listens on address:port (port 0: any free port) and returns the port bound; throws
  // ServiceError when the address cannot be bound or the service already runs.
  int Start(const std::string& address, int port);
  // "http://address:port" while running; empty otherwise.
  std::string BaseAddress() const { return m_server.BaseAddress(); }
  // Stops listening and ends the requests in progress: the source is interrupted first, so what
  // waits on it returns at once, and resumed once every request has ended (a later Start serves
  // again). Idempotent.
  void Stop();

 private:
  ServiceReply Answer(const QueryParameters& parameters);

  PublicationSource& m_source;
  std::string m_what;
  Describe m_describe;
  Log m_log;
  std::mutex m_logMutex;
  ServiceServer m_server;
};

}  // namespace wendrel
