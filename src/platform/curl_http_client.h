// HttpClient on libcurl's multi interface: the request runs without blocking and is driven
// forward only while someone waits for it.
#pragma once

#include "http_client.h"

namespace wendrel {

class CurlHttpClient : public HttpClient {
 public:
  CurlHttpClient();
  ~CurlHttpClient() override;
  CurlHttpClient(const CurlHttpClient&) = delete;
  CurlHttpClient& operator=(const CurlHttpClient&) = delete;

  std::unique_ptr<HttpRequestHandle> Get(const std::string& address) override;
};

}  // namespace wendrel
