// The local academic search service: an HTTP server answering GET <base>/json.svc/search over one
// corpus file, as the original service did for the client.
#pragma once

#include <memory>
#include <string>

#include "platform/service_defaults.h"
#include "service/service_error.h"

namespace wendrel {

// Serves one corpus on a thread pool; each request borrows a read-only connection of its own.
// Start and Stop are for the owning thread; the destructor stops the server.
class SearchService {
 public:
  // Checks the corpus at once: throws ServiceError when the file is missing or not a corpus.
  explicit SearchService(const std::string& corpusPath);
  ~SearchService();
  SearchService(const SearchService&) = delete;
  SearchService& operator=(const SearchService&) = delete;

  // Listens on address:port (port 0: any free port) and returns the port bound; throws
  // ServiceError when the address cannot be bound or the service already runs.
  int Start(const std::string& address = kDefaultServiceHost, int port = 0);
  // "http://address:port" while running; empty otherwise.
  std::string BaseAddress() const;
  // Stops listening and waits for the requests in progress. Idempotent.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace wendrel
