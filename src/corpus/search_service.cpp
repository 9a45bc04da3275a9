#include "corpus/search_service.h"

#include <iostream>
#include <mutex>
#include <vector>

#include "corpus/corpus_check.h"
#include "corpus/corpus_reader.h"
#include "platform/sqlite_db.h"
#include "service/search_request.h"
#include "service/service_server.h"

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
  Impl(const std::string& path, Log log) : path(path), log(std::move(log)), pool(path) {}

  ServiceReply Handle(const QueryParameters& parameters) {
    std::string failure;
    try {
      std::unique_ptr<CorpusReader> reader = pool.Take();
      ServiceReply reply = AnswerSearchRequest(*reader, parameters);
      pool.Give(std::move(reader));
      return reply;
    } catch (const SqliteError& e) {
      failure = "cannot read the corpus " + path + ": " + e.Reason();
    } catch (const std::exception& e) {
      failure = "cannot read the corpus " + path + ": " + e.what();
    }
    {
      std::lock_guard<std::mutex> lock(logMutex);
      if (log)
        log(failure);
      else
        std::cerr << "wendrel: " << failure << std::endl;
    }
    return {500, "text/plain; charset=utf-8", failure + "\n"};
  }

  std::string path;
  Log log;
  std::mutex logMutex;
  std::string startNote;
  ReaderPool pool;
  ServiceServer server;
};

SearchService::SearchService(const std::string& corpusPath, Log log)
    : m_impl(std::make_unique<Impl>(corpusPath, std::move(log))) {
  // Opening one connection now reports a missing or foreign file to the caller, not to a request.
  m_impl->pool.Give(m_impl->pool.Take());
  m_impl->startNote = CheckCorpusAtStart(corpusPath, "the corpus");
}

const std::string& SearchService::StartNote() const { return m_impl->startNote; }

SearchService::~SearchService() { Stop(); }

int SearchService::Start(const std::string& address, int port) {
  return m_impl->server.Start(
      address, port, [impl = m_impl.get()](const QueryParameters& parameters) { return impl->Handle(parameters); },
      "the search service");
}

std::string SearchService::BaseAddress() const { return m_impl->server.BaseAddress(); }

void SearchService::Stop() { m_impl->server.Stop(); }

}  // namespace wendrel
