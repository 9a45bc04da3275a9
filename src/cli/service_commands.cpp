#include "cli/service_commands.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <ostream>

#include "cli/arguments.h"
#include "platform/replacing_file.h"
#include "platform/service_defaults.h"
#include "corpus/corpus_check.h"
#include "corpus/corpus_generator.h"
#include "corpus/corpus_reader.h"
#include "corpus/corpus_import.h"
#include "openalex/openalex_import.h"
#include "openalex/openalex_gateway.h"
#include "corpus/search_service.h"

namespace wendrel {

namespace {

constexpr const char* kServeUsage =
    "usage: wendrel serve --corpus FILE.sqlite [--port N]\n"
    "       wendrel serve --openalex [--api-key KEY] [--cache FILE.sqlite] [--offline] [--max-age DAYS]\n"
    "                     [--rate N] [--openalex-url URL] [--mailto ADDRESS] [--port N]\n"
    "Runs the local academic search service on 127.0.0.1 until interrupted (SIGINT or SIGTERM), over a\n"
    "corpus file or as a gateway to OpenAlex (https://openalex.org). --port defaults to 8754; 0 picks a\n"
    "free port. The first line written is \"Serving <base address>\".\n"
    "  --openalex      answer from OpenAlex, keeping every work and list fetched in a cache\n"
    "  --api-key KEY   OpenAlex API key (default: the OPENALEX_API_KEY environment variable, which\n"
    "                  keeps it out of the process list); free at openalex.org, it gives ten times\n"
    "                  the keyless daily budget: $1 instead of $0.10 (single works are free, a list\n"
    "                  page costs $0.0001, a search $0.001, so the keyless day holds about 1,000\n"
    "                  list pages or 100 searches)\n"
    "  --cache FILE    the cache (default ~/.cache/wendrel/openalex.sqlite); it is a corpus file too\n"
    "  --offline       answer from the cache alone, never touching the network\n"
    "  --max-age DAYS  cached works and lists younger than this answer without asking (default 30)\n"
    "  --rate N        at most N requests a second to OpenAlex (default 10)\n"
    "  --openalex-url  the API's base address (default https://api.openalex.org)\n"
    "  --mailto ADDR   accepted, but has no effect: OpenAlex no longer uses an e-mail address\n"
    "The log (failures, retries, whether the key was taken, the budget left after each growth, what\n"
    "offline answers lacked) goes to standard error.\n";

constexpr const char* kCorpusUsage =
    "usage: wendrel corpus generate --count N [--seed S] [--realistic-vocabulary] --out FILE.jsonl\n"
    "       wendrel corpus import FILE.jsonl[.gz] --out FILE.sqlite\n"
    "       wendrel corpus import-openalex FILE.jsonl[.gz] --out FILE.sqlite\n"
    "       wendrel corpus check FILE.sqlite\n"
    "generate         writes a synthetic corpus of N publications as JSON Lines; the same N and seed\n"
    "                 (default 1) always give the same file; --realistic-vocabulary writes abstracts\n"
    "                 of 100 to 250 words from tens of thousands of words, each used as often as\n"
    "                 its rank has it (Zipf's law), instead of short sentences over a few hundred\n"
    "                 words\n"
    "import           builds a corpus file for `wendrel serve` from JSON Lines, one publication a\n"
    "                 line; malformed lines are reported as \"line N: reason\" and skipped\n"
    "import-openalex  the same from OpenAlex works, one a line (the OpenAlex snapshot's files or\n"
    "                 saved API results); citation counts and lists are those within the file\n"
    "check            reads every page and index of a corpus file (or an OpenAlex cache) and lists\n"
    "                 what is damaged; exits 1 when anything is. The service checks files up to\n"
    "                 2 GB itself when it starts; this is for larger ones\n";

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
  Arguments a(args, {"--count", "--seed", "--out"}, {"--realistic-vocabulary"});
  long long count = a.Number("--count", -1, 1, 2147483647);
  if (count < 0) throw UsageError("--count is required");
  uint64_t seed = 1;
  if (auto text = a.Value("--seed")) {
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), seed);
    if (text->empty() || error != std::errc() || end != text->data() + text->size())
      throw UsageError("--seed takes a whole number from 0 to 18446744073709551615, not '" + *text + "'");
  }
  std::string path = a.Required("--out");
  try {
    ReplacingFile replacing(path);
    {
      std::ofstream file(replacing.Path(), std::ios::binary | std::ios::trunc);
      GenerateCorpus(static_cast<uint64_t>(count), seed, file, {a.Has("--realistic-vocabulary")});
      file.close();
      if (!file) throw ServiceError("writing " + path + " failed");
    }
    replacing.Commit();
  } catch (const ReplaceError& e) {
    throw ServiceError(e.what());
  }
  out << "Wrote " << count << " publications (seed " << seed << ") to " << path << "\n";
  return 0;
}

// A bar redrawn in place on a terminal; elsewhere nothing, the summary line says it all.
class ImportBar {
 public:
  ImportBar(std::ostream& err, bool terminal) : m_err(err), m_terminal(terminal) {}
  void Show(int64_t done, int64_t total) {
    if (!m_terminal || total <= 0) return;
    int percent = static_cast<int>(std::min<int64_t>(100, done * 100 / total));
    if (percent == m_shown) return;
    m_shown = percent;
    m_err << "\r[" << std::string(static_cast<size_t>(percent / 5), '#') << std::string(20 - percent / 5, ' ')
          << "] " << std::setw(3) << percent << "%" << std::flush;
  }
  void End() {
    if (m_terminal && m_shown >= 0) m_err << "\n";
    m_shown = -1;
  }

 private:
  std::ostream& m_err;
  bool m_terminal;
  int m_shown = -1;
};

int Import(const std::vector<std::string>& args, bool openAlex, std::ostream& out, std::ostream& err,
           bool terminal) {
  Arguments a(args, {"--out"}, {}, 1);
  if (a.Plain().empty()) throw UsageError("the JSON Lines file to import is missing");
  std::string input = a.Plain().front();
  std::string output = a.Required("--out");
  auto started = std::chrono::steady_clock::now();
  ImportBar bar(err, terminal);
  auto problem = [&err, &bar](int64_t line, const std::string& reason) {
    bar.End();
    err << "line " << line << ": " << reason << "\n";
  };
  ImportSummary summary;
  try {
    summary = openAlex ? ImportOpenAlexCorpus(input, output, problem,
                                              [&bar](int64_t done, int64_t total) { bar.Show(done, total); })
                       : ImportCorpus(input, output, problem);
  } catch (...) {
    bar.End();
    throw;
  }
  bar.End();
  std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
  out << "Imported " << summary.publications << " publications into " << output << " ("
      << summary.skippedLines << (summary.skippedLines == 1 ? " line" : " lines") << " skipped; "
      << summary.references << " references, "
      << summary.outsideReferences << " of them outside the corpus) in " << std::fixed << std::setprecision(1)
      << seconds.count() << " s\n";
  return 0;
}

int Check(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool terminal) {
  Arguments a(args, {}, {}, 1);
  if (a.Plain().empty()) throw UsageError("the corpus file to check is missing");
  const std::string path = a.Plain().front();
  // Opening it as the service would says first whether it is a corpus at all.
  CorpusReader{path};
  constexpr int kShown = 100;
  ImportBar bar(err, terminal);
  std::vector<std::string> problems;
  try {
    problems = CheckCorpusFile(path, false, kShown + 1,
                               [&bar](double done) { bar.Show(static_cast<int64_t>(done * 1000), 1000); });
  } catch (...) {
    bar.End();
    throw;
  }
  bar.End();
  if (problems.empty()) {
    out << path << " is whole\n";
    return 0;
  }
  err << path << " is damaged:\n";
  for (size_t i = 0; i < problems.size() && i < kShown; ++i) err << "  " << problems[i] << "\n";
  if (problems.size() > kShown) err << "  and more\n";
  return 1;
}

// Runs until SIGINT or SIGTERM, writing the log to `err`.
void ServeOpenAlex(const Arguments& a, int port, std::ostream& out, std::ostream& err,
                   BlockedStopSignals& stopSignals) {
  OpenAlexGatewayOptions options;
  if (auto key = a.Value("--api-key")) {
    options.api.apiKey = *key;
  } else if (const char* env = std::getenv("OPENALEX_API_KEY")) {
    options.api.apiKey = env;
  }
  options.api.mailto = a.Value("--mailto").value_or("");
  if (auto url = a.Value("--openalex-url")) options.api.baseAddress = *url;
  options.api.requestsPerSecond = static_cast<double>(a.Number("--rate", 10, 1, 1000));
  options.maxAge = std::chrono::hours(24 * a.Number("--max-age", 30, 0, 36500));
  if (auto cache = a.Value("--cache")) options.cachePath = *cache;
  options.offline = a.Has("--offline");
  // The gateway calls this from one thread at a time.
  options.log = [&err](const std::string& line) { err << "wendrel serve: " << line << std::endl; };
  OpenAlexGateway gateway(std::move(options));
  gateway.Start(kDefaultServiceHost, port);
  out << "Serving " << gateway.BaseAddress() << std::endl;
  stopSignals.Wait();
  gateway.Stop();
}

}  // namespace

int RunServe(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (WantsHelp(args)) {
    out << kServeUsage;
    return 0;
  }
  try {
    Arguments a(args,
                {"--corpus", "--port", "--api-key", "--mailto", "--cache", "--max-age", "--rate", "--openalex-url"},
                {"--openalex", "--offline"});
    int port = static_cast<int>(a.Number("--port", kDefaultServicePort, 0, 65535));
    const bool openAlex = a.Has("--openalex");
    if (!openAlex && !a.Has("--corpus")) throw UsageError("--corpus is required (or --openalex)");
    if (openAlex && a.Has("--corpus")) throw UsageError("give either --corpus FILE or --openalex, not both");
    for (const char* option :
         {"--api-key", "--mailto", "--cache", "--max-age", "--rate", "--openalex-url", "--offline"})
      if (!openAlex && a.Has(option)) throw UsageError(std::string(option) + " goes with --openalex");
    // Before the server starts its threads, so that none of them takes the stop signals.
    BlockedStopSignals stopSignals;
    if (openAlex) {
      ServeOpenAlex(a, port, out, err, stopSignals);
      return 0;
    }
    SearchService service(a.Required("--corpus"),
                          [&err](const std::string& line) { err << "wendrel serve: " << line << std::endl; });
    if (!service.StartNote().empty()) err << "wendrel serve: " << service.StartNote() << std::endl;
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
  if (args.empty() ||
      (args[0] != "generate" && args[0] != "import" && args[0] != "import-openalex" && args[0] != "check")) {
    if (WantsHelp(args)) {
      out << kCorpusUsage;
      return 0;
    }
    err << "wendrel corpus: "
        << (args.empty() ? std::string("generate, import, import-openalex or check?")
                         : "unknown subcommand '" + args[0] + "'")
        << " (see wendrel corpus --help)\n";
    return 2;
  }
  if (WantsHelp(args)) {
    out << kCorpusUsage;
    return 0;
  }
  std::vector<std::string> rest(args.begin() + 1, args.end());
  try {
    const bool terminal = &err == &std::cerr && isatty(STDERR_FILENO);
    if (args[0] == "generate") return Generate(rest, out);
    if (args[0] == "check") return Check(rest, out, err, terminal);
    return Import(rest, args[0] == "import-openalex", out, err, terminal);
  } catch (const UsageError& e) {
    err << "wendrel corpus " << args[0] << ": " << e.what() << " (see wendrel corpus --help)\n";
    return 2;
  } catch (const ServiceError& e) {
    err << "wendrel corpus " << args[0] << ": " << e.what() << "\n";
    return 1;
  }
}

}  // namespace wendrel
