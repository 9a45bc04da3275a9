// HttpClient on libcurl's multi interface: the request runs without blocking and is driven
// forward only while someone waits for it.
#pragma once

#include <memory>

#include "http_client.h"

namespace wendrel {

class CurlHttpClient : public HttpClient {
 public:
  CurlHttpClient();
  ~CurlHttpClient() override;
  CurlHttpClient(const CurlHttpClient&) = delete;
  CurlHttpClient& operator=(const CurlHttpClient&) = delete;

  std::unique_ptr<HttpRequestHandle> Get(const std::string& address,
                                         const std::vector<std::string>& headers = {}) override;
  void AbortAll() override;

  // The requests in flight; each request leaves it when it goes, even after the client.
  struct InFlight;

 private:
  std::shared_ptr<InFlight> m_inFlight;
};

}  // namespace wendrel
