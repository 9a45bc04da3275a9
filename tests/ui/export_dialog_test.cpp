// "Export for Reference Managers…" driven from the Session menu: the dialog's choices and
// suggested names, the files it writes, and a cancelled or failing export.
#include <QFile>
#include <QFileInfo>
#include <QStandardItemModel>
#include <QStatusBar>
#include <algorithm>
#include <string>
#include <vector>

#include "chain/chain_file_io.h"
#include "ui/export_dialog.h"
#include "window_fixture.h"

namespace wendrel {
namespace {

// The dialog is never run: each showing is answered by `choose`, which sets its controls as a user
// would and says whether OK was pressed (Cancel when no answer is queued).
class ExportTest : public test::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window->CommonDialog1.InitDir = QString::fromStdString(work.Root().string());
    window->SetExportDialog([this](ExportDialog& dialog) {
      suggested.push_back(dialog.Path());
      if (choices.empty()) return false;
      const auto choose = choices.front();
      choices.pop_front();
      return choose(dialog);
    });
  }

  // The lines of a file written with CR LF line ends, the last (empty) one dropped.
  static std::vector<std::string> Lines(const std::string& path) {
    const std::string text = ReadWholeFile(path);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "every line ends in CR LF";
    return lines;
  }

  std::string Status() const { return window->statusBar()->currentMessage().toStdString(); }

  std::deque<std::function<bool(ExportDialog&)>> choices;
  std::vector<QString> suggested;
};

TEST_F(ExportTest, WritesTheChosenListInTheChosenFormat) {
  ColdStart();
  EXPECT_FALSE(window->mExportExchange->isEnabled()) << "nothing to export yet";
  GrowTwoPearls();
  ASSERT_TRUE(window->mExportExchange->isEnabled());
  EXPECT_EQ(window->mExportExchange->text(), "Export for Reference Managers…");
  const QList<QAction*> items = window->mSession->actions();
  ASSERT_EQ(std::find(items.begin(), items.end(), window->mExportExchange) -
                std::find(items.begin(), items.end(), window->mExportRISCited),
            1)
      << "right after the save items";

  window->CommonDialog1.DialogTitle = "Save Cited List As";
  window->CommonDialog1.FileName = "cited.ris";
  // The Cited List as CSV, named through Browse: the suggestion follows the choices.
  const std::string csv = work.Path("chosen.csv");
  choices.push_back([&](ExportDialog& dialog) {
    EXPECT_EQ(dialog.List(), ExchangeList::Pearls);
    EXPECT_EQ(dialog.Format(), ExchangeFormat::Ris);
    dialog.ListChoice->setCurrentIndex(1);
    dialog.FormatChoice->setCurrentIndex(3);
    EXPECT_EQ(dialog.Path(), QString::fromStdString(work.Path("cited.csv")));
    chosenFiles.push_back(QString::fromStdString(csv));
    dialog.Browse->click();
    EXPECT_EQ(dialog.Path(), QString::fromStdString(csv));
    return true;
  });
  window->mExportExchange->trigger();
  ASSERT_EQ(suggested.size(), 1u);
  EXPECT_EQ(suggested[0], QString::fromStdString(work.Path("pearls.ris")));
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].kind, FileDialog::Kind::Save);
  EXPECT_EQ(dialogs[0].title, "Export for Reference Managers");
  EXPECT_EQ(dialogs[0].fileName, "cited.csv");
  // The window's own saves find the file dialog as they left it.
  EXPECT_EQ(window->CommonDialog1.DefaultExt, "ris");
  EXPECT_EQ(window->CommonDialog1.Filter, "RIS files (*.ris);;All files (*)");
  EXPECT_EQ(window->CommonDialog1.DialogTitle, "Save Cited List As");
  EXPECT_EQ(window->CommonDialog1.FileName, "cited.ris");

  const std::vector<std::string> rows = Lines(csv);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0],
            "ID,DOI,Title,Authors,Year,Venue,Type,CitationCount,CitedByPearls,CitesPearls,CitedByPearlIDs,"
            "CitesPearlIDs,Lists,URL,Abstract,Keywords,Marks,Decision,Reason,Labels,Note,Known,Generation");
  ASSERT_EQ(static_cast<int>(rows.size()) - 1, window->CitedList->RowCount());
  const auto first = std::find_if(rows.begin(), rows.end(), [](const std::string& row) { return row.rfind("1,", 0) == 0; });
  ASSERT_NE(first, rows.end()) << "publication 1 is cited by both pearls";
  EXPECT_NE(first->find("10.1000/jts.2001.1"), std::string::npos);
  EXPECT_EQ(Status(), "Exported " + std::to_string(window->CitedList->RowCount()) + " articles to " + csv);

  // All articles as RIS, the path typed; the dialog comes back with the choices last accepted.
  const std::string ris = work.Path("everything.ris");
  choices.push_back([&](ExportDialog& dialog) {
    EXPECT_EQ(dialog.List(), ExchangeList::Cited);
    EXPECT_EQ(dialog.Format(), ExchangeFormat::Csv);
    EXPECT_EQ(dialog.Path(), QString::fromStdString(work.Path("cited.csv")));
    dialog.ListChoice->setCurrentIndex(3);
    dialog.FormatChoice->setCurrentIndex(0);
    EXPECT_EQ(dialog.Path(), QString::fromStdString(work.Path("all.ris")));
    dialog.FilePath->setText(QString::fromStdString(ris));
    return true;
  });
  window->mExportExchange->trigger();
  const std::vector<std::string> lines = Lines(ris);
  const auto count = [&](const std::string& line) { return std::count(lines.begin(), lines.end(), line); };
  const auto starting = [&](const std::string& tag) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.rfind(tag, 0) == 0; });
  };
  EXPECT_EQ(starting("TY  - "), window->Chain.Count());
  EXPECT_EQ(count("ER  - "), window->Chain.Count());
  EXPECT_EQ(count("AN  - MAS:5"), 1);
  EXPECT_EQ(count("DO  - 10.1000/jts.2001.1"), 1);
  EXPECT_EQ(Status(), "Exported 5 articles to " + ris);
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(ExportTest, CancelledRefusedOrFailedExportsWriteNothing) {
  ColdStart();
  SearchBy(2, "O'Brien");
  ChooseFromMenu(*window->SearchResult, 1, window->mAddPearl);
  ASSERT_TRUE(window->mExportExchange->isEnabled());
  // While a pearl grows the command is off and refused.
  bool checked = false;
  host.OnDoEvents([&] {
    if (checked) return;
    checked = true;
    EXPECT_FALSE(window->mExportExchange->isEnabled());
    window->mExportExchange_Click();
  });
  ChooseFromMenu(*window->CitedList, FormMain::FindListRow(*window->CitedList, 2), window->mAddPearl);
  host.OnDoEvents({});
  ASSERT_TRUE(checked);
  EXPECT_TRUE(suggested.empty());
  EXPECT_TRUE(window->mExportExchange->isEnabled());

  // Cancel, after choosing a file.
  const std::string cancelled = work.Path("cancelled.csv");
  choices.push_back([&](ExportDialog& dialog) {
    dialog.FilePath->setText(QString::fromStdString(cancelled));
    return false;
  });
  window->mExportExchange->trigger();
  EXPECT_EQ(suggested.size(), 1u);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(cancelled)));

  // A typed name of an existing file is replaced only when the user says so.
  const std::string existing = work.Path("kept.ris");
  QFile file(QString::fromStdString(existing));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("my own notes\n");
  file.close();
  const auto typed = [&](const std::string& path) {
    choices.push_back([path](ExportDialog& dialog) {
      dialog.FilePath->setText(QString::fromStdString(path));
      return true;
    });
  };
  typed(existing);
  host.QueueAnswer(MessageResult::No);
  window->mExportExchange->trigger();
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text, existing + " already exists. Replace it?");
  EXPECT_EQ(ReadWholeFile(existing), "my own notes\n");
  typed(existing);
  host.QueueAnswer(MessageResult::Yes);
  window->mExportExchange->trigger();
  EXPECT_NE(ReadWholeFile(existing).find("AN  - MAS:3"), std::string::npos);
  EXPECT_EQ(Status(), "Exported 2 articles to " + existing);

  // A folder that does not exist: the reason in a message, no file, no success in the status bar.
  const std::string nowhere = work.Path("no/such/folder/cited.csv");
  typed(nowhere);
  window->mExportExchange->trigger();
  ASSERT_EQ(host.Messages().size(), 3u);
  EXPECT_EQ(host.Messages().back().icon, MessageIcon::Critical);
  EXPECT_NE(host.Messages().back().text.find(nowhere), std::string::npos) << host.Messages().back().text;
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(nowhere)));
  EXPECT_EQ(Status(), "Exported 2 articles to " + existing) << "the last success stays, no new one";

  // An emptied session has no list to export; the search results shown still can be.
  host.QueueAnswer(MessageResult::Yes);
  window->mNew->trigger();
  ASSERT_TRUE(window->mExportExchange->isEnabled());
  choices.push_back([&](ExportDialog& dialog) {
    EXPECT_EQ(dialog.List(), std::nullopt);
    EXPECT_EQ(dialog.Path(), QString::fromStdString(work.Path("search.ris")));
    return false;
  });
  window->mExportExchange->trigger();
  EXPECT_TRUE(choices.empty());
}

// The search results as the service gave them, each with the relations the chain knows of it.
TEST_F(ExportTest, SearchResultsAreExportedWithTheirPearlRelations) {
  ColdStart();
  SearchBy(2, "O'Brien");
  ASSERT_EQ(window->SearchResult->RowCount(), 1);
  ASSERT_TRUE(window->mExportExchange->isEnabled()) << "search results alone can be exported";
  const std::string csv = work.Path("found.csv");
  const auto exportResults = [&] {
    choices.push_back([&](ExportDialog& dialog) {
      const auto* lists = static_cast<const QStandardItemModel*>(dialog.ListChoice->model());
      EXPECT_EQ(lists->item(0)->isEnabled(), window->Chain.Count() > 0);
      dialog.ListChoice->setCurrentIndex(5);
      EXPECT_EQ(dialog.ListChoice->currentText(), "Search results");
      dialog.FormatChoice->setCurrentIndex(3);
      dialog.FilePath->setText(QString::fromStdString(csv));
      return true;
    });
    host.QueueAnswer(MessageResult::Yes);  // replacing the first export
    window->mExportExchange->trigger();
    return Lines(csv);
  };
  std::vector<std::string> rows = exportResults();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_NE(rows[1].find("O'Brien"), std::string::npos) << rows[1];
  EXPECT_EQ(rows[1].substr(rows[1].size() - 3), ",,,") << "no relations, no list, no address: " << rows[1];
  EXPECT_EQ(Status(), "Exported 1 article to " + csv);

  ChooseFromMenu(*window->SearchResult, 1, window->mAddPearl);
  ASSERT_EQ(window->PearlList->RowCount(), 1);
  window->Chain.Screenings().Decide(window->Chain.PearlOrder().front(), Verdict::Excluded, "duplicate");
  rows = exportResults();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_NE(rows[1].find(",Pearl,"), std::string::npos) << rows[1];
  EXPECT_NE(rows[1].find(",excluded,duplicate,"), std::string::npos) << "with its screening: " << rows[1];
}

// A list by decision: the dialog's choice reaches the file, names it apart from the whole list's
// file, and comes back as it was accepted.
TEST_F(ExportTest, ChoosesArticlesByDecision) {
  GrowTwoPearls();
  ScreeningBook& book = window->Chain.Screenings();
  for (const char* id : {"1", "4"}) book.Decide(window->Chain.FindIndex(id, "", ""), Verdict::Included);
  book.Decide(window->Chain.FindIndex("5", "", ""), Verdict::Maybe);
  const std::string csv = work.Path("all-included.csv");
  choices.push_back([&](ExportDialog& dialog) {
    EXPECT_EQ(dialog.Decision(), std::nullopt);
    dialog.ListChoice->setCurrentIndex(3);
    dialog.FormatChoice->setCurrentIndex(3);
    EXPECT_EQ(dialog.Path(), QString::fromStdString(work.Path("all.csv")));
    dialog.DecisionChoice->setCurrentIndex(1);
    EXPECT_EQ(dialog.DecisionChoice->currentText(), "included");
    EXPECT_EQ(dialog.Decision(), Verdict::Included);
    EXPECT_EQ(dialog.Path(), QString::fromStdString(csv));
    return true;
  });
  window->mExportExchange->trigger();
  std::vector<std::string> rows = Lines(csv);
  ASSERT_EQ(rows.size(), 3u);
  std::sort(rows.begin() + 1, rows.end());
  EXPECT_EQ(rows[1].rfind("1,", 0), 0u) << rows[1];
  EXPECT_EQ(rows[2].rfind("4,", 0), 0u) << rows[2];
  for (size_t k = 1; k < rows.size(); ++k) EXPECT_NE(rows[k].find(",included,"), std::string::npos) << rows[k];
  EXPECT_EQ(Status(), "Exported 2 articles to " + csv);

  const std::string undecided = work.Path("all-undecided.ris");
  choices.push_back([&](ExportDialog& dialog) {
    EXPECT_EQ(dialog.Decision(), Verdict::Included);
    dialog.FormatChoice->setCurrentIndex(0);
    dialog.DecisionChoice->setCurrentIndex(4);
    EXPECT_EQ(dialog.Path(), QString::fromStdString(undecided));
    return true;
  });
  window->mExportExchange->trigger();
  EXPECT_EQ(Status(), "Exported " + std::to_string(window->Chain.Count() - 3) + " articles to " + undecided);
}

}  // namespace
}  // namespace wendrel
