// The local academic search service: an HTTP server answering GET <base>/json.svc/search over one
// corpus file, as the original service did for the client.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/service_defaults.h"
#include "service/service_error.h"

namespace wendrel {

// Serves one corpus on a thread pool; each request borrows a read-only connection of its own.
// Start and Stop are for the owning thread; the destructor stops the server. A request the corpus
// cannot answer (an SQLite error, a damaged row) is logged and answered 500, naming the file.
class SearchService {
 public:
  // Told each failure, one line at a time (from the server's threads, never two at once).
  using Log = std::function<void(const std::string& line)>;

  // Checks the corpus at once: throws ServiceError when the file is missing, not a corpus, or
  // damaged (a file up to kCheckAtStartLimit is checked whole). `log` defaults to standard error.
  explicit SearchService(const std::string& corpusPath, Log log = nullptr);
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
  // What the start had to say without refusing the file (too large to check at start); empty
  // otherwise.
  const std::string& StartNote() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace wendrel
