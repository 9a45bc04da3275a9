#include "service/served_source.h"

#include "service/search_request.h"

namespace wendrel {

ServedSource::ServedSource(PublicationSource& source, std::string what, Describe describe, Log log)
    : m_source(source), m_what(std::move(what)), m_describe(std::move(describe)), m_log(std::move(log)) {}

ServedSource::~ServedSource() { Stop(); }

int ServedSource::Start(const std::string& address, int port) {
  return m_server.Start(
      address, port, [this](const QueryParameters& parameters) { return Answer(parameters); }, m_what);
}

ServiceReply ServedSource::Answer(const QueryParameters& parameters) {
  std::string failure;
  try {
    return AnswerSearchRequest(m_source, parameters);
  } catch (const std::exception& e) {
    failure = m_describe(e);
  }
  {
    std::lock_guard<std::mutex> lock(m_logMutex);
    m_log(failure);
  }
  return {500, "text/plain; charset=utf-8", failure + "\n"};
}

void ServedSource::Stop() {
  m_source.Interrupt();
  m_server.Stop();
  m_source.Resume();
}

}  // namespace wendrel
