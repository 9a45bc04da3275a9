// What a reader meets first: a window that fits a small screen, a service that fails told once
// with its address, filters that find every author, a summary in the reader's terms and the
// dialogs' wording.
#include <QHeaderView>
#include <QScreen>
#include <QStatusBar>
#include <memory>

#include "ui/list_rows.h"
#include "window_fixture.h"

namespace wendrel {
namespace {

using ReadingTest = test::WindowTest;

TEST_F(ReadingTest, TheWindowFitsASmallScreenWithItsNoticesShown) {
  const QRect small(0, 0, 1024, 700);
  window->FitToScreen(small);
  ColdStart();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  // A window manager's frame is not there offscreen: the title bar's room is kept all the same.
  EXPECT_LE(window->width(), 1024 - 2 * 6);
  EXPECT_LE(window->height(), 700 - 40 - 6);
  EXPECT_TRUE(small.contains(window->frameGeometry())) << window->frameGeometry().x() << ","
                                                       << window->frameGeometry().y();
  // Long notices and a running operation's controls in the status bar do not make the window wider
  // than the screen.
  window->PartlyGrownStatus->setText(QString(400, 'x'));
  window->PartlyGrownStatus->show();
  window->SessionStatus->setText(QString(200, 'y'));
  window->SessionStatus->show();
  window->Progress->show();
  window->StopButton->show();
  EXPECT_LE(window->minimumSizeHint().width(), 1024);
  EXPECT_LE(window->minimumSizeHint().height(), 700 - 40);
  QCoreApplication::processEvents();
  const QPoint stop = window->StopButton->mapTo(window.get(), QPoint(window->StopButton->width(), 0));
  EXPECT_LE(stop.x(), window->width()) << "Stop is in view";
}

// A stopped service: one message per Add to Pearl, naming the address and the reason, with Retry.
TEST_F(ReadingTest, AServiceThatCannotBeReachedIsToldOncePerCommand) {
  auto proxy = std::make_unique<test::HangingProxy>(s_service->BaseAddress(), "never asked");
  const std::string address = proxy->BaseAddress();
  MakeWindow(address);
  ColdStart();
  SearchBy(2, "O'Brien");
  ASSERT_EQ(window->SearchResult->RowCount(), 1);
  proxy.reset();
  host.QueueAnswer(MessageResult::Retry);
  ChooseFromMenu(*window->SearchResult, 1, window->mAddPearl);
  // Retry tried once more, and was told once more.
  ASSERT_EQ(host.Messages().size(), 2u);
  for (const auto& message : host.Messages()) {
    EXPECT_EQ(message.text, "Error adding search result\n\nThe search service at " + address +
                                " cannot be reached (connection refused).");
    EXPECT_EQ(message.title, "Wendrel Search");
    EXPECT_EQ(message.buttons, MessageButtons::RetryCancel);
  }
  EXPECT_EQ(window->PearlList->RowCount(), 0);
  EXPECT_FALSE(window->OperationRunning());
  // A search says it in the status bar, in the same words and without a box.
  SearchBy(2, "Hansen");
  EXPECT_EQ(window->statusBar()->currentMessage().toStdString(),
            "The search failed. The search service at " + address + " cannot be reached (connection refused).");
  EXPECT_EQ(host.Messages().size(), 2u);
}

TEST_F(ReadingTest, TheFilterFindsEveryAuthorWhateverTheCaseAndAccents) {
  ListView list;
  list.SetColumns({{"Cited By", 40}, {"Cited", 40}, {"Author", 80}, {"Year", 40}, {"Title", 80}, {"Source", 80},
                   {"PK", 40}, {"GI", 40}});
  const auto add = [&](const char* first, const char* others, const char* title) {
    CCRecord r;
    r.FirstAuthor = first;
    r.CoAuthors = others;
    r.Title = title;
    r.Year = "2004";
    r.Source = "Journal of Ice";
    FillArticleColumns(list.AddRow("001"), r);
  };
  add("\u00d8berg, Lars", "", "Glaciers of the north");
  add("Smith, Eve", "Hansen, Jens, M\u00fcller, Eva, ", "Stra\u00dfen und Wege");
  add("Hansen, Jens", "", "Fjords");
  add("Jones, Tim", "", "Zebra studies");
  const auto shown = [&](const QString& filter) {
    list.SetFilter(filter);
    std::vector<std::string> titles;
    for (int k = 1; k <= list.RowCount(); ++k)
      if (!list.Row(k)->isHidden()) titles.push_back(ListView::SubItem(list.Row(k), 4));
    return titles;
  };
  EXPECT_EQ(shown("hansen"), (std::vector<std::string>{"Stra\u00dfen und Wege", "Fjords"})) << "a second author too";
  EXPECT_EQ(shown("oberg"), (std::vector<std::string>{"Glaciers of the north"}));
  EXPECT_EQ(shown("\u00d8BERG"), (std::vector<std::string>{"Glaciers of the north"}));
  EXPECT_EQ(shown("muller"), (std::vector<std::string>{"Stra\u00dfen und Wege"}));
  EXPECT_EQ(shown("strassen"), (std::vector<std::string>{"Stra\u00dfen und Wege"}));
  EXPECT_EQ(shown("zebra"), (std::vector<std::string>{"Zebra studies"}));
  EXPECT_EQ(shown("2004").size(), 4u);
  EXPECT_EQ(shown("journal of ice").size(), 4u);
  EXPECT_TRUE(shown("Eva Smith").empty());
}

// The summary speaks of pearls by their IDs, first authors and years, and counts in words.
TEST_F(ReadingTest, TheSummaryNamesPearlsAndArticlesAsTheReaderKnowsThem) {
  ColdStart();
  SearchBy(2, "O'Brien");
  EXPECT_EQ(window->statusBar()->currentMessage(), "1 article found");
  ChooseFromMenu(*window->SearchResult, 1, window->mAddPearl);
  EXPECT_EQ(window->PearlStatus->text(), " 1 item in the pearl list");
  // Publication 1 has a DOI and no address of its own.
  const int32_t index = window->Chain.FindIndex("1", "", "");
  const int16_t cited = FormMain::FindListRow(*window->CitedList, index);
  ASSERT_GT(cited, 0);
  Click(*window->CitedList, cited);
  const QString summary = window->MetaData->toPlainText();
  EXPECT_TRUE(summary.contains("\nURL: https://doi.org/10.1000/jts.2001.1")) << summary.toStdString();
  EXPECT_EQ(window->GIDebug->toPlainText().toStdString(),
            std::to_string(index) + ":\nPearl = False\nCited by pearls: 3 (O'Brien 2010)\nCites pearls: none");
}

TEST_F(ReadingTest, DialogsSayWhatTheyOfferAndAboutNamesTheService) {
  ColdStart();
  QString filter;
  window->CommonDialog1.SetChooser([&](FileDialog::Kind, const QString&, const QString&, const QString&) {
    filter = window->CommonDialog1.Filter;
    return QString();
  });
  window->mImportRIS->trigger();
  for (const char* kind : {"*.ris", "*.bib", "*.txt", "All files (*)"})
    EXPECT_TRUE(filter.contains(kind)) << filter.toStdString();
  EXPECT_EQ(window->CommonDialog1.Filter, "RIS files (*.ris);;All files (*)") << "the save dialogs keep theirs";

  window->mAbout->trigger();
  EXPECT_NE(host.Messages().back().text.find("from the search service at " + s_service->BaseAddress()),
            std::string::npos)
      << host.Messages().back().text;
  window->SetSourceDescription("the local corpus service");
  window->mAbout->trigger();
  EXPECT_NE(host.Messages().back().text.find("from the local corpus service at "), std::string::npos);
}

}  // namespace
}  // namespace wendrel
