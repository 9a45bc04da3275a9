// wendrel-search: the desktop program. Without arguments it serves the demo corpus with the local
// search service on a loopback port and talks to it over HTTP; with --openalex it starts the
// caching gateway to OpenAlex there instead.
#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "platform/curl_http_client.h"
#include "openalex/openalex_gateway.h"
#include "corpus/search_service.h"
#include "platform/program_version.h"
#include "platform/user_folders.h"
#include "session/session_file.h"
#include "ui/form_main.h"
#include "ui/qt_host.h"

namespace {

constexpr const char* kUsage =
    "usage: wendrel-search [--service URL | --corpus FILE.sqlite | --openalex [--api-key KEY]\n"
    "                      [--mailto ADDRESS] [--cache FILE.sqlite] [--offline]]\n"
    "  Without options the program serves the demo corpus (demo.sqlite, beside it or in its installed\n"
    "  data folder) with the local search service on 127.0.0.1.\n"
    "  --service URL     use the academic search service at URL (e.g. http://127.0.0.1:8754)\n"
    "  --corpus FILE     serve another corpus file with the local service\n"
    "  --openalex        serve OpenAlex through the local caching gateway (key from --api-key or\n"
    "                    the OPENALEX_API_KEY environment variable); --offline answers from the\n"
    "                    cache alone\n";

struct Options {
  std::string service;
  std::string corpus;
  bool openAlex = false;
  std::string apiKey;
  std::string mailto;
  std::string cache;
  bool offline = false;
};

// Reads the options; false (after saying why, or the usage) when the program should not start.
bool ReadOptions(const QStringList& arguments, Options& options, int& exitCode) {
  const auto fail = [&](const std::string& why) {
    std::cerr << "wendrel-search: " << why << "\n" << kUsage;
    exitCode = 2;
    return false;
  };
  for (int k = 1; k < arguments.size(); ++k) {
    const std::string argument = arguments[k].toStdString();
    if (argument == "--help" || argument == "-h" || argument == "--version") {
      std::cout << (argument == "--version" ? wendrel::VersionText("wendrel-search") : kUsage);
      exitCode = 0;
      return false;
    }
    if (argument == "--openalex" || argument == "--offline") {
      (argument == "--openalex" ? options.openAlex : options.offline) = true;
      continue;
    }
    std::string* value = argument == "--service"   ? &options.service
                         : argument == "--corpus"  ? &options.corpus
                         : argument == "--api-key" ? &options.apiKey
                         : argument == "--mailto"  ? &options.mailto
                         : argument == "--cache"   ? &options.cache
                                                   : nullptr;
    if (!value || k + 1 >= arguments.size()) return fail("unknown or incomplete option " + argument);
    *value = arguments[++k].toStdString();
  }
  const int sources = !options.service.empty() + !options.corpus.empty() + options.openAlex;
  if (sources > 1) return fail("give one of --service, --corpus and --openalex");
  if (!options.openAlex && (options.offline || !options.apiKey.empty() || !options.mailto.empty() ||
                            !options.cache.empty())) {
    return fail("--api-key, --mailto, --cache and --offline go with --openalex");
  }
  return true;
}

// The corpus file given, else the demo corpus.
std::string DemoCorpusOr(const std::string& corpus) {
  return corpus.empty() ? wendrel::ProgramDataFile("demo.sqlite") : corpus;
}

// A service the program runs in-process: the corpus service or the OpenAlex gateway.
struct LocalService {
  std::unique_ptr<wendrel::SearchService> corpus;
  std::unique_ptr<wendrel::OpenAlexGateway> gateway;
};

// Starts the in-process service the options ask for and returns its base address; throws
// ServiceError when it cannot start.
std::string StartLocalService(const Options& options, LocalService& local) {
  if (options.openAlex) {
    wendrel::OpenAlexGatewayOptions gateway;
    gateway.api.apiKey = options.apiKey;
    if (gateway.api.apiKey.empty()) {
      if (const char* key = std::getenv("OPENALEX_API_KEY")) gateway.api.apiKey = key;
    }
    gateway.api.mailto = options.mailto;
    if (!options.cache.empty()) gateway.cachePath = options.cache;
    gateway.offline = options.offline;
    gateway.log = [](const std::string& line) { std::cerr << "openalex: " << line << "\n"; };
    local.gateway = std::make_unique<wendrel::OpenAlexGateway>(std::move(gateway));
    local.gateway->Start();
    return local.gateway->BaseAddress();
  }
  const std::string corpus = DemoCorpusOr(options.corpus);
  local.corpus = std::make_unique<wendrel::SearchService>(corpus);
  local.corpus->Start();
  return local.corpus->BaseAddress();
}

}  // namespace

int main(int argc, char** argv) {
  // The options are read before Qt is started, so that --help and a wrong option are answered
  // without a display.
  QStringList arguments;
  for (int k = 0; k < argc; ++k) arguments << QString::fromLocal8Bit(argv[k]);
  Options options;
  int exitCode = 0;
  if (!ReadOptions(arguments, options, exitCode)) return exitCode;
  QApplication application(argc, argv);
  QApplication::setApplicationName("Wendrel Search");
  QApplication::setApplicationVersion(wendrel::kProgramVersion);
  // The menu entry's name: Wayland shells find the window's icon through it.
  QApplication::setDesktopFileName("wendrel-search");

  LocalService local;
  std::string address = options.service;
  if (address.empty()) {
    try {
      address = StartLocalService(options, local);
    } catch (const wendrel::ServiceError& e) {
      const std::string text = std::string("The local search service cannot start: ") + e.what() +
                               (options.openAlex ? std::string()
                                                 : "\nRun scripts/setup to build the demo corpus, or give --corpus "
                                                   "or --service.");
      std::cerr << "wendrel-search: " << text << "\n";
      QMessageBox::critical(nullptr, "Wendrel Search", QString::fromStdString(text));
      return 1;
    }
  }

  wendrel::QtHost host;
  wendrel::CurlHttpClient http;
  wendrel::FormMain window(host, http, address);
  host.SetParentWindow(&window);
  if (options.openAlex) window.SetSourceName(options.offline ? "OpenAlex, offline" : "OpenAlex");
  if (local.corpus) window.SetSourceDescription("the local corpus service");
  if (local.gateway) window.SetBudgetReport([gateway = local.gateway.get()] { return gateway->BudgetReport(); });
  window.SetSessionSource(options.openAlex ? wendrel::OpenAlexSourceText(wendrel::OpenAlexOptions{}.baseAddress)
                          : !options.service.empty() ? "the search service at " + options.service
                                                     : wendrel::CorpusSourceText(DemoCorpusOr(options.corpus)));
  window.RestoreSettings();
  // A restored session is shown as it was; otherwise the new-session dialog asks how to start.
  if (window.StartAutosave(wendrel::UserDataFolder())) {
    window.show();
  } else {
    window.ShowStartUp();
  }
  return QApplication::exec();
}
