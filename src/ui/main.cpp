// wendrel-search: the desktop program. Without arguments it serves the demo corpus with the local
// search service on a loopback port and talks to it over HTTP.
#include <QApplication>
#include <QMessageBox>
#include <iostream>
#include <memory>
#include <string>

#include "platform/curl_http_client.h"
#include "service/search_service.h"
#include "text/text_functions.h"
#include "ui/form_main.h"
#include "ui/qt_host.h"

namespace {

constexpr const char* kUsage =
    "usage: wendrel-search [--service URL | --corpus FILE.sqlite]\n"
    "  Without options the program serves the demo corpus beside it (demo.sqlite) with the local\n"
    "  search service on 127.0.0.1.\n"
    "  --service URL        use the academic search service at URL (e.g. http://127.0.0.1:8754)\n"
    "  --corpus FILE        serve another corpus file with the local service\n";

struct Options {
  std::string service;
  std::string corpus;
};

// Reads the options; false (after saying why) when they cannot be used.
bool ReadOptions(const QStringList& arguments, Options& options, int& exitCode) {
  for (int k = 1; k < arguments.size(); ++k) {
    const QString argument = arguments[k];
    if (argument == "--help" || argument == "-h") {
      std::cout << kUsage;
      exitCode = 0;
      return false;
    }
    if ((argument == "--service" || argument == "--corpus") && k + 1 < arguments.size()) {
      (argument == "--service" ? options.service : options.corpus) = arguments[++k].toStdString();
      continue;
    }
    std::cerr << "wendrel-search: unknown or incomplete option " << argument.toStdString() << "\n" << kUsage;
    exitCode = 2;
    return false;
  }
  if (!options.service.empty() && !options.corpus.empty()) {
    std::cerr << "wendrel-search: give either --service or --corpus\n";
    exitCode = 2;
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Wendrel Search");
  Options options;
  int exitCode = 0;
  if (!ReadOptions(QApplication::arguments(), options, exitCode)) return exitCode;

  std::unique_ptr<wendrel::SearchService> service;
  std::string address = options.service;
  if (address.empty()) {
    const std::string corpus = options.corpus.empty() ? wendrel::ProgramFolder() + "/demo.sqlite" : options.corpus;
    try {
      service = std::make_unique<wendrel::SearchService>(corpus);
      service->Start();
      address = service->BaseAddress();
    } catch (const wendrel::ServiceError& e) {
      const std::string text = std::string("The local search service cannot start: ") + e.what() +
                               "\nRun scripts/setup to build the demo corpus, or give --corpus or --service.";
      std::cerr << "wendrel-search: " << text << "\n";
      QMessageBox::critical(nullptr, "Wendrel Search", QString::fromStdString(text));
      return 1;
    }
  }

  wendrel::QtHost host;
  wendrel::CurlHttpClient http;
  wendrel::FormMain window(host, http, address);
  host.SetParentWindow(&window);
  window.ShowStartUp();
  const int result = QApplication::exec();
  if (service) service->Stop();
  return result;
}
