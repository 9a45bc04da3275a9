#include "corpus/search_service.h"

#include <iostream>
#include <mutex>
#include <vector>

#include "corpus/corpus_check.h"
#include "corpus/corpus_reader.h"
#include "platform/sqlite_db.h"
#include "service/served_source.h"

namespace wendrel {

namespace {

// The corpus as one source for the server's threads: each call borrows a read-only connection of
// its own, opened as needed and kept for reuse.
class ReaderPool : public PublicationSource {
 public:
  explicit ReaderPool(std::string path) : m_path(std::move(path)) {}

  PublicationPage Retrieve(const std::string& id, int64_t offset) override {
    return WithReader([&](CorpusReader& reader) { return reader.Retrieve(id, offset); });
  }
  PublicationPage References(const std::string& id, PublicationOrder order, int64_t offset, int64_t limit) override {
    return WithReader([&](CorpusReader& reader) { return reader.References(id, order, offset, limit); });
  }
  PublicationPage Citing(const std::string& id, PublicationOrder order, int64_t offset, int64_t limit) override {
    return WithReader([&](CorpusReader& reader) { return reader.Citing(id, order, offset, limit); });
  }
  PublicationPage Search(const SearchCriteria& criteria, PublicationOrder order, int64_t offset,
                         int64_t limit) override {
    return WithReader([&](CorpusReader& reader) { return reader.Search(criteria, order, offset, limit); });
  }

  // Opens one connection now, so that a missing or foreign file is reported to the caller.
  void Open() { Give(Take()); }

 private:
  // A connection that failed is not kept.
  template <typename Ask>
  PublicationPage WithReader(Ask ask) {
    std::unique_ptr<CorpusReader> reader = Take();
    PublicationPage page = ask(*reader);
    Give(std::move(reader));
    return page;
  }

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

  std::string m_path;
  std::mutex m_mutex;
  std::vector<std::unique_ptr<CorpusReader>> m_idle;
};

}  // namespace

struct SearchService::Impl {
  Impl(const std::string& path, Log log)
      : pool(path),
        served(
            pool, "the search service",
            [path](const std::exception& e) {
              const auto* sqlite = dynamic_cast<const SqliteError*>(&e);
              return "cannot read the corpus " + path + ": " + (sqlite ? sqlite->Reason() : std::string(e.what()));
            },
            log ? std::move(log) : [](const std::string& line) { std::cerr << "wendrel: " << line << std::endl; }) {}

  std::string startNote;
  ReaderPool pool;
  ServedSource served;
};

SearchService::SearchService(const std::string& corpusPath, Log log)
    : m_impl(std::make_unique<Impl>(corpusPath, std::move(log))) {
  m_impl->pool.Open();
  m_impl->startNote = CheckCorpusAtStart(corpusPath, "the corpus");
}

const std::string& SearchService::StartNote() const { return m_impl->startNote; }

SearchService::~SearchService() { Stop(); }

int SearchService::Start(const std::string& address, int port) { return m_impl->served.Start(address, port); }

std::string SearchService::BaseAddress() const { return m_impl->served.BaseAddress(); }

void SearchService::Stop() { m_impl->served.Stop(); }

}  // namespace wendrel
