// The main window against the local service in-process: a small corpus served on 127.0.0.1, a
// scripted host that answers message boxes and gives Qt its event-loop turns, a scripted file
// dialog and context menu.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <deque>
#include <functional>
#include <memory>

#include "platform/curl_http_client.h"
#include "platform/scripted_host.h"
#include "corpus/search_service.h"
#include "service_fixtures.h"
#include "temp_dir.h"
#include "test_http_server.h"
#include "ui/form_main.h"
#include "ui/form_new_session.h"

namespace wendrel::test {

// 3 cites 1 and 2; 2 cites 1; 4 cites 1, 2 and 3; 5 cites 3 and names a local file as its full text.
constexpr const char* kWindowCorpus = R"(
{"id":1,"title":"Text mining: a survey","abstract":"We review methods for mining text.","year":2001,"authors":[{"last":"Kowalski","first":"Anna"}],"venue":{"kind":"journal","name":"Journal of Text Studies"},"doi":"10.1000/jts.2001.1","references":[]}
{"id":2,"title":"Citation analysis of text mining","year":2005,"authors":[{"last":"Kowalski","first":"Anna"}],"venue":{"kind":"conference","name":"Conference on Citation Studies"},"references":[1]}
{"id":3,"title":"Mining citation networks","year":2010,"authors":[{"last":"O'Brien","first":"Bob"}],"references":[1,2]}
{"id":4,"title":"Networks of mining","year":2012,"authors":[{"last":"Smith","first":"Eve"}],"references":[1,2,3]}
{"id":5,"title":"Zebra studies","year":2013,"authors":[{"last":"Jones","first":"Tim"}],"urls":["file:///home/ann/paper.pdf"],"references":[3]}
)";

// Message boxes are answered from the queue; every event-loop turn also runs Qt's events and
// whatever the test wants to happen "during" a long operation.
class WindowHost : public ScriptedHost {
 public:
  void DoEvents() override {
    ScriptedHost::DoEvents();
    QCoreApplication::processEvents();
  }
};

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_folder = new TempDir;
    s_service = new SearchService(BuildCorpus(*s_folder, "window", kWindowCorpus));
    s_service->Start();
  }
  static void TearDownTestSuite() {
    delete s_service;
    delete s_folder;
  }

  void SetUp() override { MakeWindow(s_service->BaseAddress()); }

  // A fresh window on another service address (a hanging proxy in front of the corpus).
  void MakeWindow(const std::string& serviceAddress) {
    if (window) window->SessionChanged = false;
    window = std::make_unique<FormMain>(host, http, serviceAddress);
    window->SetEndProcess([this] { ++ended; });
    window->SetPopupMenu([this](QMenu& menu, QPoint) {
      popups.push_back(&menu);
      if (!menuChoice.empty()) {
        QAction* action = menuChoice.front();
        menuChoice.pop_front();
        if (action->isVisible() && action->isEnabled()) action->trigger();
      }
    });
    window->SetImageSizeChooser([this](QSize suggested, QSize) -> std::optional<QSize> {
      imageSizes.push_back(suggested);
      return imageSize.value_or(suggested);
    });
    window->CommonDialog1.SetChooser([this](FileDialog::Kind kind, const QString& title, const QString& name,
                                            const QString&) {
      dialogs.push_back({kind, title, name});
      if (chosenFiles.empty()) return QString();
      QString chosen = chosenFiles.front();
      chosenFiles.pop_front();
      return chosen;
    });
  }

  void TearDown() override {
    // Whatever the test left changed, the window goes without asking.
    window->SessionChanged = false;
    window.reset();
  }

  // Cold start through the new-session dialog.
  void ColdStart() {
    window->ShowStartUp();
    window->NewSession()->Start->click();
  }

  void SearchBy(int field, const QString& text) {
    window->ASQField[static_cast<size_t>(field)]->setText(text);
    QTest::keyClick(window->ASQField[static_cast<size_t>(field)], Qt::Key_Return);
  }

  // Right-clicks a row of a list and chooses a command of the context menu.
  void ChooseFromMenu(ListView& list, int position, QAction* command) {
    QTreeWidgetItem* row = list.Row(position);
    list.setCurrentItem(row);
    emit list.itemClicked(row, 0);
    menuChoice.push_back(command);
    emit list.ButtonReleased(kRightButton, QPoint());
  }

  void Click(ListView& list, int position) { emit list.itemClicked(list.Row(position), 0); }

  // The rows of a list as "column 0/GI" texts, in the shown order.
  static std::vector<std::string> Rows(const ListView& list) {
    std::vector<std::string> rows;
    for (int k = 1; k <= list.RowCount(); ++k) {
      rows.push_back(ListView::SubItem(list.Row(k), 0) + "/" + ListView::SubItem(list.Row(k), 7));
    }
    return rows;
  }

  // The GI of the bold rows of a list.
  static std::vector<std::string> BoldRows(const ListView& list) {
    std::vector<std::string> rows;
    for (int k = 1; k <= list.RowCount(); ++k) {
      if (ListView::RowBold(list.Row(k))) rows.push_back(ListView::SubItem(list.Row(k), 7));
    }
    return rows;
  }

  // Grows publication 3 from a search by author, then 2 from its row in the Cited List.
  void GrowTwoPearls() {
    ColdStart();
    SearchBy(2, "O'Brien");
    ASSERT_EQ(window->SearchResult->RowCount(), 1);
    ChooseFromMenu(*window->SearchResult, 1, window->mAddPearl);
    const int16_t cited = FormMain::FindListRow(*window->CitedList, 3);
    ASSERT_GT(cited, 0);
    ChooseFromMenu(*window->CitedList, cited, window->mAddPearl);
    ASSERT_EQ(window->PearlList->RowCount(), 2);
  }

  struct Dialog {
    FileDialog::Kind kind;
    QString title;
    QString fileName;
  };

  static inline TempDir* s_folder = nullptr;
  static inline SearchService* s_service = nullptr;
  TempDir work;
  WindowHost host;
  CurlHttpClient http;
  std::unique_ptr<FormMain> window;
  int ended = 0;
  std::vector<QMenu*> popups;
  std::deque<QAction*> menuChoice;
  std::deque<QString> chosenFiles;
  std::vector<Dialog> dialogs;
  // The map image sizes offered, and the answer (none: the size offered).
  std::vector<QSize> imageSizes;
  std::optional<QSize> imageSize;
};

}  // namespace wendrel::test
