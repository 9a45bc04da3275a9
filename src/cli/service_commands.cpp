#include "cli/service_commands.h"

#include <pthread.h>
#include <signal.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <ostream>

#include "cli/arguments.h"
#include "platform/service_defaults.h"
#include "service/corpus_generator.h"
#include "service/corpus_import.h"
#include "service/search_service.h"

namespace wendrel {

namespace {

constexpr const char* kServeUsage =
    "usage: wendrel serve --corpus FILE.sqlite [--port N]\n"
    "Runs the local academic search service over a corpus file on 127.0.0.1 until interrupted\n"
    "(SIGINT or SIGTERM). --port defaults to 8754; 0 picks a free port. The first line written is\n"
    "\"Serving <base address>\".\n";

constexpr const char* kCorpusUsage =
    "usage: wendrel corpus generate --count N [--seed S] --out FILE.jsonl\n"
    "       wendrel corpus import FILE.jsonl --out FILE.sqlite\n"
    "generate  writes a synthetic corpus of N publications as JSON Lines; the same N and seed\n"
    "          (default 1) always give the same file\n"
    "import    builds a corpus file for `wendrel serve` from JSON Lines, one publication a line;\n"
    "          malformed lines are reported as \"line N: reason\" and skipped\n";

// Blocks SIGINT and SIGTERM in the calling thread, and so in every thread started after it, for
// as long as it lives; the signals then wait for sigwait instead of ending the process.
class BlockedStopSignals {
 public:
  BlockedStopSignals() {
    sigemptyset(&m_signals);
    sigaddset(&m_signals, SIGINT);
    sigaddset(&m_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &m_signals, &m_previous);
  }
  ~BlockedStopSignals() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
  BlockedStopSignals(const BlockedStopSignals&) = delete;
  BlockedStopSignals& operator=(const BlockedStopSignals&) = delete;

  void Wait() {
    int received = 0;
    while (sigwait(&m_signals, &received) != 0) {
    }
  }

 private:
  sigset_t m_signals;
  sigset_t m_previous;
};

int Generate(const std::vector<std::string>& args, std::ostream& out) {
  Arguments a(args, {"--count", "--seed", "--out"});
  long long count = a.Number("--count", -1, 1, 2147483647);
  if (count < 0) throw UsageError("--count is required");
  uint64_t seed = 1;
  if (auto text = a.Value("--seed")) {
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), seed);
    if (text->empty() || error != std::errc() || end != text->data() + text->size())
      throw UsageError("--seed takes a whole number from 0 to 18446744073709551615, not '" + *text + "'");
  }
  std::string path = a.Required("--out");
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) throw ServiceError("cannot write " + path);
  GenerateCorpus(static_cast<uint64_t>(count), seed, file);
  file.close();
  if (!file) {
    std::remove(path.c_str());
    throw ServiceError("writing " + path + " failed");
  }
  out << "Wrote " << count << " publications (seed " << seed << ") to " << path << "\n";
  return 0;
}

int Import(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Arguments a(args, {"--out"}, {}, 1);
  if (a.Plain().empty()) throw UsageError("the JSON Lines file to import is missing");
  std::string input = a.Plain().front();
  std::string output = a.Required("--out");
  auto started = std::chrono::steady_clock::now();
  ImportSummary summary = ImportCorpus(input, output, [&err](int64_t line, const std::string& reason) {
    err << "line " << line << ": " << reason << "\n";
  });
  std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
  out << "Imported " << summary.publications << " publications into " << output << " ("
      << summary.skippedLines << (summary.skippedLines == 1 ? " line" : " lines") << " skipped; "
      << summary.references << " references, "
      << summary.outsideReferences << " of them outside the corpus) in " << std::fixed << std::setprecision(1)
      << seconds.count() << " s\n";
  return 0;
}

}  // namespace

int RunServe(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (WantsHelp(args)) {
    out << kServeUsage;
    return 0;
  }
  try {
    Arguments a(args, {"--corpus", "--port"});
    std::string corpus = a.Required("--corpus");
    int port = static_cast<int>(a.Number("--port", kDefaultServicePort, 0, 65535));
    // Before the server starts its threads, so that none of them takes the stop signals.
    BlockedStopSignals stopSignals;
    SearchService service(corpus);
    service.Start(kDefaultServiceHost, port);
    out << "Serving " << service.BaseAddress() << std::endl;
    stopSignals.Wait();
    service.Stop();
    return 0;
  } catch (const UsageError& e) {
    err << "wendrel serve: " << e.what() << " (see wendrel serve --help)\n";
    return 2;
  } catch (const ServiceError& e) {
    err << "wendrel serve: " << e.what() << "\n";
    return 1;
  }
}

int RunCorpus(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || (args[0] != "generate" && args[0] != "import")) {
    if (WantsHelp(args)) {
      out << kCorpusUsage;
      return 0;
    }
    err << "wendrel corpus: "
        << (args.empty() ? std::string("generate or import?") : "unknown subcommand '" + args[0] + "'")
        << " (see wendrel corpus --help)\n";
    return 2;
  }
  if (WantsHelp(args)) {
    out << kCorpusUsage;
    return 0;
  }
  std::vector<std::string> rest(args.begin() + 1, args.end());
  try {
    return args[0] == "generate" ? Generate(rest, out) : Import(rest, out, err);
  } catch (const UsageError& e) {
    err << "wendrel corpus " << args[0] << ": " << e.what() << " (see wendrel corpus --help)\n";
    return 2;
  } catch (const ServiceError& e) {
    err << "wendrel corpus " << args[0] << ": " << e.what() << "\n";
    return 1;
  }
}

}  // namespace wendrel
