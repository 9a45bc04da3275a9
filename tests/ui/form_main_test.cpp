// The main window driven as a user drives it, against the local service: start, search, growing
// pearls, the lists and their highlighting, the session and article commands, closing.
#include <httplib.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <filesystem>
#include <QStatusBar>
#include <fstream>

#include "platform/program_version.h"
#include "test_paths.h"
#include "window_fixture.h"

namespace wendrel {
namespace {

using test::WindowTest;

TEST_F(WindowTest, StartsDisabledUnderTheDialogWhichOnlyStartLeaves) {
  window->ShowStartUp();
  EXPECT_EQ(window->GetCaption(), "Wendrel Search");
  EXPECT_FALSE(window->WindowEnabled());
  EXPECT_FALSE(window->SearchResult->isVisibleTo(window.get()));
  EXPECT_FALSE(window->NewSession()->close()) << "the close box is refused";
  EXPECT_TRUE(window->NewSession()->isVisible());

  window->NewSession()->Start->click();
  EXPECT_TRUE(window->WindowEnabled());
  EXPECT_FALSE(window->NewSession()->isVisible());
  EXPECT_FALSE(window->mAddPearl->isEnabled());
  // Closing a window whose lists were never rebuilt asks nothing.
  window->close();
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_EQ(ended, 1);
}

// The start dialog is worked with the keyboard: the arrow keys choose, Enter starts.
TEST_F(WindowTest, StartDialogOptionsMoveWithTheArrowKeys) {
  window->ShowStartUp();
  FormNewSession& start = *window->NewSession();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&start));
  ASSERT_EQ(QApplication::focusWidget(), start.NewType[0]);
  QTest::keyClick(start.NewType[0], Qt::Key_Down);
  EXPECT_TRUE(start.NewType[1]->isChecked());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  ASSERT_EQ(dialogs.size(), 1u) << "a hot start asks for the Pearl List";
  EXPECT_EQ(dialogs[0].title, "Load Pearl List");
}

TEST_F(WindowTest, HotStartWithTheDialogCancelledLeavesAnEmptyEnabledSession) {
  window->ShowStartUp();
  window->NewSession()->NewType[1]->setChecked(true);
  window->NewSession()->Start->click();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].title, "Load Pearl List");
  EXPECT_TRUE(window->WindowEnabled());
  EXPECT_EQ(window->Chain.Count(), 0);
}

TEST_F(WindowTest, SearchesWithEnterInAnyField) {
  ColdStart();
  SearchBy(1, "mining");
  EXPECT_EQ(window->SearchResult->RowCount(), 4);
  EXPECT_EQ(window->GetCaption(), "Wendrel Search");
  EXPECT_FALSE(window->SearchResult->isHidden());
  EXPECT_TRUE(window->MessageFrame[1]->isHidden());

  SearchBy(2, "Kowalski");
  ASSERT_EQ(window->SearchResult->RowCount(), 2);
  QTreeWidgetItem* second = window->SearchResult->Row(2);
  EXPECT_EQ(second->text(0), "002");
  EXPECT_EQ(second->text(2), "Kowalski, Anna");
  EXPECT_EQ(second->text(6), "1");
  EXPECT_EQ(second->text(1), "0003");
  EXPECT_EQ(second->text(7), "10.1000/jts.2001.1");

  // A single year goes into both year fields; the search then finds that year alone.
  window->ASQField[1]->clear();
  window->ASQField[3]->setText("2005");
  EXPECT_EQ(window->ASQField[4]->text(), "2005");
  SearchBy(2, "Kowalski");
  ASSERT_EQ(window->SearchResult->RowCount(), 1);
  EXPECT_EQ(window->SearchResult->Row(1)->text(4), "Citation analysis of text mining");

  // Nothing found: an empty list, not a row for the reply's empty record.
  window->ASQField[3]->clear();
  SearchBy(0, "qwertyuiop");
  EXPECT_EQ(window->SearchResult->RowCount(), 0);
}

TEST_F(WindowTest, GrowingTwoPearlsFillsSortedListsWithCountsAndGreyRows) {
  GrowTwoPearls();
  // The candidates related to the most pearls first.
  EXPECT_EQ(Rows(*window->PearlList), (std::vector<std::string>{"001/3", "000/1"}));
  EXPECT_EQ(Rows(*window->CitedList), (std::vector<std::string>{"002/2", "001/3"}));
  EXPECT_EQ(Rows(*window->CitingList), (std::vector<std::string>{"002/4", "001/1", "001/5"}));
  for (ListView* list : {window->PearlList, window->CitedList, window->CitingList}) {
    EXPECT_EQ(list->header()->sortIndicatorSection(), 0);
    EXPECT_EQ(list->header()->sortIndicatorOrder(), Qt::DescendingOrder) << "the arrow says how the rows are sorted";
  }
  EXPECT_EQ(window->PearlStatus->text(), " 2 items in the pearl list");
  EXPECT_EQ(window->CitedStatus->text(), " 2 articles cited by pearl articles");
  EXPECT_EQ(window->CitingStatus->text(), " 3 articles citing pearl articles");
  const QColor grey(100, 100, 100);
  EXPECT_EQ(window->CitedList->Row(2)->foreground(4).color(), grey) << "a pearl in the Cited List";
  EXPECT_NE(window->CitedList->Row(1)->foreground(4).color(), grey);
  EXPECT_EQ(window->CitingList->Row(2)->foreground(4).color(), grey);
  EXPECT_EQ(window->CurrentIndex, 3);
  EXPECT_TRUE(window->MetaData->toPlainText().startsWith("AUTHORS: Kowalski, Anna; \nYEAR: 2005\nTITLE: Citation"));
  // The pearls by their IDs, first authors and years, not by their numbers here.
  EXPECT_EQ(window->GIDebug->toPlainText(), "3:\nPearl = True\nCited by pearls: 3 (O'Brien 2010)\nCites pearls: none");
  EXPECT_FALSE(window->mAddPearl->isEnabled());
  EXPECT_TRUE(window->mRemovePearl->isEnabled());
  EXPECT_TRUE(window->SessionChanged);

  // Sorting: a second click on the sort column reverses it; another column sorts ascending, but
  // a count column the largest first.
  window->CitingList->ColumnClick(0);
  EXPECT_EQ(Rows(*window->CitingList), (std::vector<std::string>{"001/1", "001/5", "002/4"}));
  EXPECT_EQ(window->CitingList->header()->sortIndicatorOrder(), Qt::AscendingOrder);
  window->CitingList->ColumnClick(7);
  EXPECT_EQ(Rows(*window->CitingList), (std::vector<std::string>{"001/1", "002/4", "001/5"}));
  window->CitingList->ColumnClick(0);
  EXPECT_EQ(Rows(*window->CitingList), (std::vector<std::string>{"002/4", "001/1", "001/5"}));
  EXPECT_EQ(window->CitingList->header()->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST_F(WindowTest, ClicksShowHowArticlesRelateToPearls) {
  GrowTwoPearls();
  // Pearl 1 (publication 3) cites records 2 and 3 and is cited by 4 and 5.
  Click(*window->PearlList, FormMain::FindListRow(*window->PearlList, 1));
  EXPECT_EQ(window->CurrentIndex, 1);
  EXPECT_EQ(BoldRows(*window->CitedList), (std::vector<std::string>{"2", "3"}));
  EXPECT_EQ(BoldRows(*window->CitingList), (std::vector<std::string>{"4", "5"}));
  EXPECT_TRUE(window->MetaData->toPlainText().contains("TITLE: Mining citation networks"));

  // Record 2 is cited by both pearls; record 5 cites only pearl 1.
  Click(*window->CitedList, FormMain::FindListRow(*window->CitedList, 2));
  EXPECT_EQ(BoldRows(*window->PearlList), (std::vector<std::string>{"3", "1"}));
  Click(*window->CitingList, FormMain::FindListRow(*window->CitingList, 5));
  EXPECT_EQ(BoldRows(*window->PearlList), (std::vector<std::string>{"1"}));

  emit window->PearlList->GotFocus();
  EXPECT_TRUE(BoldRows(*window->CitedList).empty());
  EXPECT_TRUE(BoldRows(*window->CitingList).empty());
}

TEST_F(WindowTest, RemoveAndDeleteCommands) {
  GrowTwoPearls();
  // A pearl cannot be deleted: the chain says why and nothing changes.
  window->mDeleteArticle->trigger();
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(window->CitedList->RowCount(), 2);

  Click(*window->CitingList, FormMain::FindListRow(*window->CitingList, 5));
  window->mDeleteArticle->trigger();
  EXPECT_EQ(FormMain::FindListRow(*window->CitingList, 5), -1);
  EXPECT_EQ(window->CurrentIndex, 1);

  // Removing the current pearl leaves the lowest remaining one current, and the summary shows it;
  // removing it too leaves none, and an empty summary.
  window->mRemovePearl->trigger();
  EXPECT_EQ(Rows(*window->PearlList), (std::vector<std::string>{"000/3"}));
  EXPECT_EQ(window->CurrentIndex, 3);
  EXPECT_TRUE(window->GIDebug->toPlainText().startsWith("3:\nPearl = True"));
  EXPECT_TRUE(window->MetaData->toPlainText().contains("TITLE: Citation analysis of text mining"));
  window->mRemovePearl->trigger();
  EXPECT_EQ(window->PearlList->RowCount(), 0);
  EXPECT_EQ(window->CurrentIndex, 0);
  EXPECT_EQ(window->CitedList->RowCount(), 0);
  EXPECT_TRUE(window->GIDebug->toPlainText().startsWith("0:\nPearl = False"));
  EXPECT_FALSE(window->mRemovePearl->isEnabled());
}

TEST_F(WindowTest, AClickStartsTheMarksAfresh) {
  GrowTwoPearls();
  // A pearl's click bolds its related articles and selects it...
  window->PearlList->setCurrentItem(window->PearlList->Row(FormMain::FindListRow(*window->PearlList, 1)));
  Click(*window->PearlList, FormMain::FindListRow(*window->PearlList, 1));
  ASSERT_FALSE(BoldRows(*window->CitingList).empty());
  // ...a candidate's click shows only its own relations: pearl 1 alone (record 5 cites only it).
  const int16_t candidate = FormMain::FindListRow(*window->CitingList, 5);
  window->CitingList->setCurrentItem(window->CitingList->Row(candidate));
  Click(*window->CitingList, candidate);
  EXPECT_TRUE(BoldRows(*window->CitedList).empty());
  EXPECT_TRUE(BoldRows(*window->CitingList).empty());
  EXPECT_EQ(BoldRows(*window->PearlList), (std::vector<std::string>{"1"}));
  EXPECT_TRUE(window->PearlList->selectedItems().empty());
  EXPECT_EQ(window->CitingList->selectedItems().size(), 1u);
  // Back to a pearl: the candidate's marks go.
  Click(*window->PearlList, FormMain::FindListRow(*window->PearlList, 3));
  EXPECT_TRUE(BoldRows(*window->PearlList).empty());
  EXPECT_TRUE(window->CitingList->selectedItems().empty());
  EXPECT_EQ(BoldRows(*window->CitingList), (std::vector<std::string>{"4", "1"}));
}

TEST_F(WindowTest, ListsAndCaptionsStayLaidOutInEveryState) {
  window->show();
  const auto laidOut = [&](const char* state) {
    for (auto [list, caption] : {std::pair{window->CitedList, window->CitedStatus},
                                 std::pair{window->PearlList, window->PearlStatus},
                                 std::pair{window->CitingList, window->CitingStatus}}) {
      EXPECT_TRUE(list->isVisible() && caption->isVisible()) << state;
      // A collapsed list keeps no more than its frame.
      EXPECT_GT(list->height(), 2 * caption->height()) << state;
    }
  };
  int checks = 0;
  host.OnDoEvents([&] {
    if (window->OperationRunning() && checks++ == 0) laidOut("during a growth");
  });
  GrowTwoPearls();
  host.OnDoEvents({});
  EXPECT_EQ(checks > 0, true);
  laidOut("after growths");
  host.QueueAnswer(MessageResult::Yes);
  window->mNew->trigger();
  QCoreApplication::processEvents();
  laidOut("after New Pearl List");
}

TEST_F(WindowTest, ListsKeepTheirSortThroughGrowthsAndLoads) {
  ColdStart();
  SearchBy(2, "O'Brien");
  ChooseFromMenu(*window->SearchResult, 1, window->mAddPearl);
  // The best candidates first: both lists open by their pearl count, highest first.
  const auto sortedDescending = [&](const char* state) {
    for (ListView* list : {window->CitedList, window->CitingList}) {
      EXPECT_EQ(list->header()->sortIndicatorSection(), 0) << state;
      EXPECT_EQ(list->header()->sortIndicatorOrder(), Qt::DescendingOrder) << state;
    }
    EXPECT_EQ(Rows(*window->CitedList), (std::vector<std::string>{"002/2", "001/3"})) << state;
    EXPECT_EQ(Rows(*window->CitingList), (std::vector<std::string>{"002/4", "001/1", "001/5"})) << state;
  };
  ChooseFromMenu(*window->CitedList, FormMain::FindListRow(*window->CitedList, 3), window->mAddPearl);
  sortedDescending("after a growth");

  const QString saved = QString::fromStdString(work.Path("sorted.ris"));
  chosenFiles.push_back(saved);
  window->mExportRISAs->trigger();
  chosenFiles.push_back(saved);
  window->mImportRIS->trigger();
  sortedDescending("after a load");
}

TEST_F(WindowTest, CountColumnsSortByValue) {
  ListView list;
  list.SetColumns({{"Cited By", 40}, {"Title", 80}});
  list.SetNumberColumns({0});
  for (const char* count : {"0999", "10000", "n/a", "0002"}) {
    QTreeWidgetItem* row = list.AddRow(count);
    ListView::SetSubItem(row, 1, count);
  }
  list.Sort();
  const auto column = [&](int k) {
    std::vector<std::string> texts;
    for (int position = 1; position <= list.RowCount(); ++position) {
      texts.push_back(ListView::SubItem(list.Row(position), k));
    }
    return texts;
  };
  EXPECT_EQ(column(0), (std::vector<std::string>{"n/a", "0002", "0999", "10000"}));
  list.ColumnClick(0);
  EXPECT_EQ(column(0), (std::vector<std::string>{"10000", "0999", "0002", "n/a"}));
  // Other columns sort by text.
  list.ColumnClick(1);
  EXPECT_EQ(column(1), (std::vector<std::string>{"0002", "0999", "10000", "n/a"}));
}

TEST_F(WindowTest, SaveAsksOnceNewListAndLoadGiveTheSamePearls) {
  GrowTwoPearls();
  const QString saved = QString::fromStdString(work.Path("pearls.ris"));
  chosenFiles.push_back(saved);
  window->mExportRIS->trigger();
  window->mExportRIS->trigger();
  ASSERT_EQ(dialogs.size(), 1u) << "the second save writes without asking";
  EXPECT_EQ(dialogs[0].title, "Save Pearl List As");
  EXPECT_EQ(dialogs[0].fileName, "pearls.ris") << "the list's own name is offered";
  EXPECT_EQ(window->PearlListPath, saved);
  EXPECT_FALSE(window->SessionChanged);

  host.QueueAnswer(MessageResult::No);
  window->mNew->trigger();
  EXPECT_EQ(window->PearlList->RowCount(), 2);
  EXPECT_EQ(host.Messages().back().text, "This action will erase the current session. Proceed?");
  EXPECT_EQ(host.Messages().back().title, "Start New Session");

  host.QueueAnswer(MessageResult::Yes);
  window->mNew->trigger();
  EXPECT_EQ(window->Chain.Count(), 0);
  EXPECT_EQ(window->PearlStatus->text(), " 0 items in the pearl list");
  EXPECT_TRUE(window->PearlListPath.isEmpty());
  EXPECT_FALSE(window->SessionChanged) << "an empty session holds nothing to save";

  chosenFiles.push_back(saved);
  window->mImportRIS->trigger();
  EXPECT_EQ(Rows(*window->PearlList), (std::vector<std::string>{"001/3", "000/1"}));
  EXPECT_EQ(window->CitingList->RowCount(), 3);
  EXPECT_TRUE(window->PearlList->isVisibleTo(window.get()));
  EXPECT_EQ(window->CurrentIndex, 1);
}

// The title names the session's file and marks unsaved changes; each save says what it wrote, and
// the Cited List is offered under its own name and leaves the session unsaved.
TEST_F(WindowTest, TitleAndStatusFollowTheSessionsFile) {
  GrowTwoPearls();
  EXPECT_EQ(window->windowTitle(), "Untitled* \u2014 Wendrel Search") << "no file yet, but work to save";
  const QString saved = QString::fromStdString(work.Path("pearls.ris"));
  chosenFiles.push_back(saved);
  window->mExportRIS->trigger();
  EXPECT_EQ(window->windowTitle(), "pearls.ris \u2014 Wendrel Search");
  EXPECT_EQ(window->statusBar()->currentMessage(), "Saved 2 records to " + saved);

  chosenFiles.push_back(QString::fromStdString(work.Path("mine.ris")));
  window->mExportRISCited->trigger();
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_EQ(dialogs[1].fileName, QString::fromStdString(work.Path("cited.ris")));
  EXPECT_EQ(window->statusBar()->currentMessage(),
            QString("Saved %1 records to ").arg(window->CitedList->RowCount()) + QString::fromStdString(work.Path("mine.ris")));
  EXPECT_FALSE(window->SessionChanged) << "the pearls were saved before and have not changed";

  ChooseFromMenu(*window->CitedList, FormMain::FindListRow(*window->CitedList, 2), window->mAddPearl);
  EXPECT_EQ(window->windowTitle(), "pearls.ris* \u2014 Wendrel Search");
  chosenFiles.push_back(QString::fromStdString(work.Path("cited.ris")));
  window->mExportRISCited->trigger();
  EXPECT_TRUE(window->SessionChanged) << "saving the Cited List does not save the pearls";
  EXPECT_EQ(window->windowTitle(), "pearls.ris* \u2014 Wendrel Search");

  // A Pearl List of the program's own, loaded whole, is the session's file: unchanged, and saved
  // back to without a question.
  host.QueueAnswer(MessageResult::Yes);  // erasing the session
  window->mNew->trigger();
  EXPECT_EQ(window->windowTitle(), "Wendrel Search");
  EXPECT_FALSE(window->SessionChanged) << "an empty session holds nothing to save";
  chosenFiles.push_back(saved);
  window->mImportRIS->trigger();
  EXPECT_EQ(window->windowTitle(), "pearls.ris \u2014 Wendrel Search");
  EXPECT_EQ(window->PearlListPath, saved);
  const size_t asked = dialogs.size();
  const size_t messages = host.Messages().size();
  window->mExportRIS->trigger();
  EXPECT_EQ(dialogs.size(), asked);
  EXPECT_EQ(host.Messages().size(), messages);
  EXPECT_EQ(window->statusBar()->currentMessage(), "Saved 2 records to " + saved);

  // Another program's file (no IDs of ours) is never written back unasked.
  const std::string theirs = work.Path("theirs.ris");
  std::ofstream(theirs, std::ios::binary) << "TY  - JOUR\r\nAU  - O'Brien, Bob\r\nTI  - Mining citation networks\r\nPY  - 2010\r\nER  - \r\n";
  chosenFiles.push_back(QString::fromStdString(theirs));
  window->mImportRIS->trigger();
  ASSERT_EQ(window->PearlList->RowCount(), 1);
  EXPECT_TRUE(window->PearlListPath.isEmpty());
  EXPECT_EQ(window->windowTitle(), "theirs.ris \u2014 Wendrel Search");
  chosenFiles.push_back(QString());
  window->mExportRIS->trigger();
  EXPECT_EQ(dialogs.size(), asked + 2) << "Save asks where";
}

TEST_F(WindowTest, AFileThatCannotBeReadKeepsTheSession) {
  GrowTwoPearls();
  host.QueueAnswer(MessageResult::Yes);
  chosenFiles.push_back(QString::fromStdString(work.Path("absent.ris")));
  window->mImportRIS->trigger();
  EXPECT_EQ(window->PearlList->RowCount(), 2);
  EXPECT_EQ(window->Chain.Count(), 5);
  ASSERT_FALSE(host.Messages().empty());
  EXPECT_EQ(host.Messages().back().icon, MessageIcon::Critical);
  // Nor does a file that holds no pearl list.
  const std::string empty = work.Path("empty.ris");
  std::ofstream(empty, std::ios::binary) << "";
  host.QueueAnswer(MessageResult::Yes);
  chosenFiles.push_back(QString::fromStdString(empty));
  window->mImportRIS->trigger();
  EXPECT_EQ(window->Chain.Count(), 5);
  EXPECT_EQ(host.Messages().back().text, "Cannot load " + empty + ": it is empty");
}

// A load that resolves only some references names each one a line and says so on the status line.
TEST_F(WindowTest, APartlyResolvedLoadNamesEveryReferenceLeftOut) {
  const std::string seeds = work.Path("seeds.ris");
  std::ofstream(seeds, std::ios::binary) << "TY  - JOUR\nAU  - Nobody, Ned\nTI  - Nothing like it\nPY  - 2019\nER  - \n"
                                            "TY  - JOUR\nDO  - 10.1/none\nER  - \n";
  chosenFiles.push_back(QString::fromStdString(seeds));
  window->mImportRIS->trigger();
  ASSERT_FALSE(host.Messages().empty());
  EXPECT_EQ(host.Messages().back().text,
            "Import of the following 2 articles failed:\nNobody, Ned (2019). Nothing like it\nDOI 10.1/none");
  EXPECT_EQ(window->statusBar()->currentMessage(), "Loaded, but 2 of 2 references were not resolved");
}

TEST_F(WindowTest, ClosingAsksToSaveAndStaysOpenWhenTheSaveDoesNotHappen) {
  GrowTwoPearls();
  window->show();
  // Yes, then the file dialog cancelled: the window stays.
  host.QueueAnswer(MessageResult::Yes);
  EXPECT_FALSE(window->close());
  EXPECT_EQ(host.Messages().back().text, "Save Bibliography before closing?");
  EXPECT_EQ(host.Messages().back().title, "Wendrel Search");
  EXPECT_EQ(host.Messages().back().buttons, MessageButtons::YesNoCancel) << "Cancel keeps the window open";
  EXPECT_EQ(ended, 0);

  // Yes, and a file that cannot be written: "Export failed", and the window stays.
  host.QueueAnswer(MessageResult::Yes);
  chosenFiles.push_back(QString::fromStdString(work.Path("no/such/folder/pearls.ris")));
  EXPECT_FALSE(window->close());
  EXPECT_EQ(host.Messages().back().text, "Export failed");
  EXPECT_EQ(ended, 0);

  // Yes with a file: saved, then the process ends.
  host.QueueAnswer(MessageResult::Yes);
  chosenFiles.push_back(QString::fromStdString(work.Path("closing.ris")));
  EXPECT_TRUE(window->close());
  EXPECT_TRUE(QFile::exists(QString::fromStdString(work.Path("closing.ris"))));
  EXPECT_EQ(ended, 1);
}

TEST_F(WindowTest, ClosingQuestionDismissedKeepsTheWindowAndTheSession) {
  GrowTwoPearls();
  window->show();
  // What Esc and the close box answer.
  host.QueueAnswer(MessageResult::Cancel);
  EXPECT_FALSE(window->close());
  EXPECT_EQ(host.Messages().back().text, "Save Bibliography before closing?");
  EXPECT_TRUE(dialogs.empty());
  EXPECT_EQ(ended, 0);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->SessionChanged);
  EXPECT_EQ(window->PearlList->RowCount(), 2);
}

TEST_F(WindowTest, LoadingOverAnUnsavedSessionAsksFirst) {
  GrowTwoPearls();
  const QString saved = QString::fromStdString(work.Path("two.ris"));
  chosenFiles.push_back(saved);
  window->mExportRISAs->trigger();
  // A saved session is replaced without a question.
  chosenFiles.push_back(saved);
  window->mImportRIS->trigger();
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_EQ(dialogs.size(), 2u);

  // Loaded whole, the session is what the file holds; a change after it makes the next load ask,
  // and No leaves it untouched.
  EXPECT_FALSE(window->SessionChanged);
  ChooseFromMenu(*window->CitedList, FormMain::FindListRow(*window->CitedList, 2), window->mAddPearl);
  ASSERT_TRUE(window->SessionChanged);
  host.QueueAnswer(MessageResult::No);
  window->mImportRIS->trigger();
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text, "This action will erase the current session. Proceed?");
  EXPECT_EQ(host.Messages()[0].title, "Start New Session");
  EXPECT_EQ(dialogs.size(), 2u) << "no file chooser after No";
  EXPECT_EQ(window->PearlList->RowCount(), 3);

  host.QueueAnswer(MessageResult::Yes);
  chosenFiles.push_back(saved);
  window->mImportRIS->trigger();
  EXPECT_EQ(dialogs.size(), 3u);
  EXPECT_EQ(window->PearlList->RowCount(), 2);
}

TEST_F(WindowTest, EndSessionAnsweredNoEndsWithoutSaving) {
  GrowTwoPearls();
  host.QueueAnswer(MessageResult::No);
  window->mEndSession->trigger();
  EXPECT_TRUE(dialogs.empty());
  EXPECT_EQ(ended, 1);
}

TEST_F(WindowTest, RefusesASecondOperationAndStopsAGrowthWhenAsked) {
  ColdStart();
  SearchBy(2, "Smith");
  ASSERT_EQ(window->SearchResult->RowCount(), 1);
  // Publication 4 cites three articles; while its growth runs, every other command is refused,
  // and Esc stops it after the page being fetched.
  int turns = 0;
  host.OnDoEvents([&] {
    if (++turns != 1) return;
    EXPECT_TRUE(window->OperationRunning());
    EXPECT_FALSE(window->mNew->isEnabled());
    EXPECT_FALSE(window->Search->isEnabled());
    EXPECT_TRUE(window->StopButton->isVisible());
    window->mNew_Click();
    window->ImportRIS();
    window->Search_Click();
    QTest::keyClick(window.get(), Qt::Key_Escape);
  });
  window->show();
  ChooseFromMenu(*window->SearchResult, 1, window->mAddPearl);
  host.OnDoEvents({});
  EXPECT_TRUE(dialogs.empty());
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_FALSE(window->OperationRunning());
  EXPECT_TRUE(window->mNew->isEnabled());
  EXPECT_TRUE(window->Chain.Interrupted());
  EXPECT_EQ(window->PearlList->RowCount(), 1);
  EXPECT_EQ(window->statusBar()->currentMessage(), "Stopped: the pearl is only partly grown");
}

TEST_F(WindowTest, ClosingDuringAGrowthStopsItThenAsksToSave) {
  ColdStart();
  SearchBy(2, "Smith");
  window->show();
  bool refused = false;
  host.OnDoEvents([&] {
    if (!refused) refused = !window->close();
  });
  host.QueueAnswer(MessageResult::No);
  ChooseFromMenu(*window->SearchResult, 1, window->mAddPearl);
  host.OnDoEvents({});
  EXPECT_TRUE(refused);
  EXPECT_TRUE(window->Chain.Interrupted());
  EXPECT_EQ(ended, 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(host.Messages().back().text, "Save Bibliography before closing?");
}

// The window on a service that hangs on the citing articles of every pearl: the references of
// publication 3 arrive, its citing articles never do.
class HungServiceTest : public WindowTest {
 protected:
  void SetUp() override {
    proxy = std::make_unique<test::HangingProxy>(s_service->BaseAddress(), "ReferenceType=Citation");
    MakeWindow(proxy->BaseAddress());
  }

  // Adds publication 3 from a search; `whileHung` runs once its citing page is held.
  void GrowUntilHung(const std::function<void()>& whileHung) {
    ColdStart();
    SearchBy(2, "O'Brien");
    ASSERT_EQ(window->SearchResult->RowCount(), 1);
    window->show();
    bool acted = false;
    host.OnDoEvents([&] {
      if (!acted && proxy->Held() > 0) {
        acted = true;
        whileHung();
      }
    });
    ChooseFromMenu(*window->SearchResult, 1, window->mAddPearl);
    host.OnDoEvents({});
    ASSERT_TRUE(acted);
  }

  std::unique_ptr<test::HangingProxy> proxy;
};

TEST_F(HungServiceTest, StopAbortsTheRequestAndThePearlStaysMarkedUntilGrownAgain) {
  GrowUntilHung([&] { window->StopButton->click(); });
  // Neither the wait question nor "No response from server": the user stopped the request.
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_FALSE(window->OperationRunning());
  ASSERT_EQ(window->CurrentIndex, 1);
  EXPECT_TRUE(window->Chain.PartlyGrown(1));
  EXPECT_EQ(Rows(*window->CitedList), (std::vector<std::string>{"001/2", "001/3"}));
  EXPECT_EQ(window->CitingList->RowCount(), 0);
  EXPECT_EQ(window->statusBar()->currentMessage(), "Stopped: the pearl is only partly grown");
  EXPECT_EQ(window->PartlyGrownStatus->text(),
            "Only partly grown: pearl 3, Mining citation networks (Add to Pearl grows it again)");
  EXPECT_TRUE(window->MetaData->toPlainText().startsWith("ONLY PARTLY GROWN"));
  EXPECT_TRUE(window->mAddPearl->isEnabled());

  // The notice outlives the status message of the next command.
  SearchBy(1, "mining");
  EXPECT_EQ(window->statusBar()->currentMessage(), "1 article found");
  EXPECT_TRUE(window->PartlyGrownStatus->isVisible());

  // Add to Pearl on the pearl's row grows it again, counting every relation once.
  proxy->Release();
  ChooseFromMenu(*window->PearlList, 1, window->mAddPearl);
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_FALSE(window->Chain.PartlyGrown(1));
  EXPECT_FALSE(window->PartlyGrownStatus->isVisible());
  EXPECT_EQ(Rows(*window->PearlList), (std::vector<std::string>{"000/1"}));
  EXPECT_EQ(Rows(*window->CitedList), (std::vector<std::string>{"001/2", "001/3"}));
  EXPECT_EQ(Rows(*window->CitingList), (std::vector<std::string>{"001/4", "001/5"}));
  EXPECT_TRUE(window->MetaData->toPlainText().startsWith("AUTHORS: O'Brien, Bob"));
  EXPECT_FALSE(window->mAddPearl->isEnabled());
}

TEST_F(HungServiceTest, EscAbortsTheRequestAtOnce) {
  GrowUntilHung([&] { QTest::keyClick(window.get(), Qt::Key_Escape); });
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_TRUE(window->Chain.Interrupted());
  EXPECT_TRUE(window->Chain.PartlyGrown(1));
}

TEST_F(HungServiceTest, ClosingAbortsTheRequestAndOnlyAsksToSave) {
  host.QueueAnswer(MessageResult::No);
  GrowUntilHung([&] { EXPECT_FALSE(window->close()); });
  EXPECT_EQ(ended, 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(ended, 1);
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text, "Save Bibliography before closing?");
}

// A pearl whose own record cannot be retrieved is not added, and the window says why; a saved
// Pearl List loaded while the service is down keeps what the file holds, marked unresolved.
TEST_F(WindowTest, PearlsWithoutTheirRecordAreNotAddedOrBlanked) {
  test::HangingProxy proxy(s_service->BaseAddress(), "PublicationID=3&ResultObjects");
  MakeWindow(proxy.BaseAddress());
  ColdStart();
  SearchBy(2, "O'Brien");
  ASSERT_EQ(window->SearchResult->RowCount(), 1);
  ChooseFromMenu(*window->SearchResult, 1, window->mAddPearl);
  EXPECT_EQ(window->Chain.Count(), 0);
  EXPECT_EQ(window->PearlList->RowCount(), 0);
  // One message: the wait question, which names the service; no boxes after it.
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text, "No response from server: Code \n\nThe search service at " + proxy.BaseAddress() +
                                         " has not answered yet. Retry waits again; Cancel gives the request up.");
  EXPECT_EQ(window->statusBar()->currentMessage(), "The article was not added: its record could not be retrieved (cancelled)");

  MakeWindow(s_service->BaseAddress());
  GrowTwoPearls();
  const QString saved = QString::fromStdString(work.Path("pearls.ris"));
  chosenFiles.push_back(saved);
  window->mExportRIS->trigger();
  const std::string before = test::ReadFile(saved.toStdString());
  const std::string down = "http://127.0.0.1:" + std::to_string(test::UnusedPort());
  MakeWindow(down);
  ColdStart();
  chosenFiles.push_back(saved);
  const size_t earlier = host.Messages().size();
  window->mImportRIS->trigger();
  // One message for the load: the references not resolved, then why.
  ASSERT_EQ(host.Messages().size(), earlier + 1);
  const std::string told = host.Messages().back().text;
  EXPECT_EQ(told.rfind("Import of the following 2 articles failed:", 0), 0u) << told;
  EXPECT_NE(told.find("The search service at " + down + " cannot be reached (connection refused)."), std::string::npos)
      << told;
  ASSERT_EQ(window->PearlList->RowCount(), 2);
  ASSERT_TRUE(window->Chain.Unresolved(window->CurrentIndex));
  EXPECT_TRUE(window->MetaData->toPlainText().startsWith("UNRESOLVED: "));
  EXPECT_TRUE(window->MetaData->toPlainText().contains("\nCITED: not retrieved\n")) << "no count, not a count of 0";
  EXPECT_NE(window->MetaData->toPlainText().indexOf("TITLE: Mining citation networks"), -1);
  EXPECT_TRUE(window->mAddPearl->isEnabled());
  // Saved again, the file holds what it held.
  const QString again = QString::fromStdString(work.Path("again.ris"));
  chosenFiles.push_back(again);
  window->mExportRISAs->trigger();
  EXPECT_EQ(test::ReadFile(again.toStdString()), before);
}

// The lists say what they are before any pearl, and their headers what each column holds.
TEST_F(WindowTest, ListsAreNamedAndColumnsExplained) {
  ColdStart();
  EXPECT_EQ(window->ListCaption[0]->text(), "<b>Cited List</b>");
  EXPECT_EQ(window->ListCaption[1]->text(), "<b>Pearl List</b>");
  EXPECT_EQ(window->ListCaption[2]->text(), "<b>Citing List</b>");
  EXPECT_TRUE(window->ListCaption[1]->isVisibleTo(window.get()));
  EXPECT_EQ(window->CitedList->headerItem()->toolTip(0), "How many pearls cite this article");
  EXPECT_EQ(window->CitingList->headerItem()->toolTip(0), "How many pearls this article cites");
  for (ListView* list : {window->PearlList, window->CitedList, window->CitingList, window->SearchResult}) {
    for (int column = 0; column < list->columnCount(); ++column) {
      EXPECT_FALSE(list->headerItem()->toolTip(column).isEmpty()) << column;
    }
  }
  EXPECT_FALSE(window->IDNum[1]->isVisibleTo(window.get())) << "the key is never filled";
}

// Enter, the menu key, Delete and a double click on rows; Ctrl+P adds the pearl.
TEST_F(WindowTest, KeyboardAndMouseOnRows) {
  GrowTwoPearls();
  EXPECT_EQ(window->mAddPearl->shortcut(), QKeySequence("Ctrl+P"));
  ListView& cited = *window->CitedList;
  const int position = FormMain::FindListRow(cited, 2);
  ASSERT_GT(position, 0);
  cited.setCurrentItem(cited.Row(position));  // moved to by the arrow keys: not clicked
  window->CurrentIndex = 0;
  QTest::keyClick(&cited, Qt::Key_Return);
  EXPECT_EQ(window->CurrentIndex, 2) << "Enter shows the row as a click does";

  const size_t popupsBefore = popups.size();
  QTest::keyClick(&cited, Qt::Key_Menu);
  EXPECT_EQ(popups.size(), popupsBefore + 1) << "the menu key opens the row's menu";

  // Delete asks first; No keeps the article.
  const std::string title = window->Chain.GetRecord(2).Title;
  host.QueueAnswer(MessageResult::No);
  QTest::keyClick(&cited, Qt::Key_Delete);
  EXPECT_EQ(host.Messages().back().text, "Delete \"" + title + "\" from all lists?");
  EXPECT_FALSE(window->Chain.GetRecord(2).Suppressed);
  host.QueueAnswer(MessageResult::Yes);
  QTest::keyClick(&cited, Qt::Key_Delete);
  EXPECT_TRUE(window->Chain.GetRecord(2).Suppressed);
  EXPECT_EQ(FormMain::FindListRow(cited, 2), -1);

  // On the Pearl List, Delete removes the pearl.
  ListView& pearls = *window->PearlList;
  pearls.setCurrentItem(pearls.Row(1));
  host.QueueAnswer(MessageResult::Yes);
  QTest::keyClick(&pearls, Qt::Key_Delete);
  EXPECT_EQ(host.Messages().back().text.rfind("Remove \"", 0), 0u);
  EXPECT_EQ(pearls.RowCount(), 1);

  // Ctrl+P adds the search result chosen with a left click.
  window->ASQField[2]->clear();
  SearchBy(1, "zebra");
  ASSERT_EQ(window->SearchResult->RowCount(), 1);
  window->SearchResult->setCurrentItem(window->SearchResult->Row(1));  // a left click
  Click(*window->SearchResult, 1);
  window->mAddPearl->trigger();
  EXPECT_GT(FormMain::FindListRow(pearls, window->Chain.FindIndex("5", "", "")), 0) << "publication 5 is a pearl";

  // A double click opens the DOI page of a search result, as Navigate to Source does.
  window->ASQField[2]->clear();
  SearchBy(1, "survey");
  ASSERT_EQ(window->SearchResult->RowCount(), 1);
  emit window->SearchResult->itemDoubleClicked(window->SearchResult->Row(1), 4);
  ASSERT_FALSE(host.OpenedAddresses().empty());
  EXPECT_EQ(host.OpenedAddresses().back(), "https://doi.org/10.1000/jts.2001.1");
}

// A service that refuses the citing pages and says why (OpenAlex's budget spent): the pearl is
// added from what came, the window says the reason once, and nobody is asked to wait.
TEST_F(WindowTest, ARefusedPageIsReportedWithTheServicesReason) {
  const std::string reason =
      "OpenAlex's daily budget is spent; it is renewed in 5 h 12 min. Cached works still answer.";
  test::TestHttpServer refusing([&](const httplib::Request& req, httplib::Response& res) {
    if (req.target.find("ReferenceType=Citation") != std::string::npos) {
      res.status = 503;
      return res.set_content(reason + "\n", "text/plain; charset=utf-8");
    }
    httplib::Client service(s_service->BaseAddress());
    auto reply = service.Get(req.target);
    res.status = reply ? reply->status : 502;
    res.set_content(reply ? reply->body : std::string(), "application/json");
  });
  MakeWindow(refusing.BaseAddress());
  ColdStart();
  SearchBy(2, "O'Brien");
  ASSERT_EQ(window->SearchResult->RowCount(), 1);
  ChooseFromMenu(*window->SearchResult, 1, window->mAddPearl);
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_EQ(Rows(*window->PearlList), (std::vector<std::string>{"000/1"}));
  EXPECT_EQ(Rows(*window->CitedList), (std::vector<std::string>{"001/2", "001/3"}));
  EXPECT_TRUE(window->Chain.PartlyGrown(1));
  EXPECT_EQ(window->statusBar()->currentMessage().toStdString(),
            "Some pages could not be fetched: HTTP status 503: " + reason);
}

TEST_F(WindowTest, HelpExplainsAndAboutSaysWhatIsInUse) {
  ColdStart();
  EXPECT_EQ(window->menuBar()->actions().back(), window->mHelp->menuAction()) << "Help comes last";
  window->mGettingStarted->trigger();
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].title, "Getting Started");
  for (const char* told : {"Add to Pearl", "\"Cited By\" is how many pearls cite", "wheel", "Export"}) {
    EXPECT_NE(host.Messages()[0].text.find(told), std::string::npos) << told;
  }
  window->SetSourceName("OpenAlex");
  window->mAbout->trigger();
  ASSERT_EQ(host.Messages().size(), 2u);
  const std::string about = host.Messages()[1].text;
  EXPECT_EQ(about.rfind("Wendrel Search ", 0), 0u) << about;
  EXPECT_NE(about.find("from OpenAlex at " + s_service->BaseAddress()), std::string::npos) << about;
  EXPECT_NE(about.find("wendrel"), std::string::npos) << "names the cache folder: " << about;
  EXPECT_NE(about.find(std::string("Wendrel Search ") + kProgramVersion + "\n"), std::string::npos) << about;
  EXPECT_NE(about.find("Licensed under the Apache License 2.0"), std::string::npos) << about;
  // The notice travels inside the program: the libraries' licences, not a missing-file message.
  window->mLicences->trigger();
  ASSERT_EQ(host.Messages().size(), 3u);
  for (const char* told : {"Qt 6", "LGPL", "libcurl", "SQLite", "cpp-httplib", "nlohmann/json", "Graphviz"}) {
    EXPECT_NE(host.Messages()[2].text.find(told), std::string::npos) << told;
  }
}

// What one window closes with, the next opens with: size, splitters, column widths, the map's state
// and the last folder; before anything is kept, file dialogs open in the user's documents.
TEST_F(WindowTest, SettingsAreKeptFromOneWindowToTheNext) {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(work.Path("config")));
  window->RestoreSettings();
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  EXPECT_EQ(window->CommonDialog1.InitDir, QDir(documents).exists() ? documents : QDir::homePath());
  EXPECT_FALSE(window->mMapEnabled->isChecked());

  ColdStart();
  window->resize(700, 500);
  window->MainSplit->setSizes({300, 800});
  window->CitedList->setColumnWidth(4, 333);
  window->mMapEnabled->trigger();
  window->MapPane().SetLabelDegree(7);
  window->CommonDialog1.InitDir = QString::fromStdString(work.Root().string());
  const QByteArray split = window->MainSplit->saveState();
  window->close();
  ASSERT_EQ(ended, 1);
  EXPECT_EQ(FormMain::SettingsFile().rfind(work.Path("config"), 0), 0u) << FormMain::SettingsFile();
  EXPECT_TRUE(std::filesystem::exists(FormMain::SettingsFile()));

  MakeWindow(s_service->BaseAddress());
  window->RestoreSettings();
  EXPECT_EQ(window->size(), QSize(700, 500));
  EXPECT_EQ(window->MapPane().WantedLabelDegree(), 7);
  EXPECT_EQ(window->MainSplit->saveState(), split);
  EXPECT_EQ(window->CitedList->columnWidth(4), 333);
  EXPECT_TRUE(window->mMapEnabled->isChecked());
  EXPECT_EQ(window->CommonDialog1.InitDir, QString::fromStdString(work.Root().string()));
  // A geometry kept on a larger screen is fitted to this one.
  window->resize(5000, 4000);
  window->SaveSettings();
  MakeWindow(s_service->BaseAddress());
  window->RestoreSettings();
  const QRect available = window->screen()->availableGeometry();
  EXPECT_LE(window->width(), available.width());
  EXPECT_LE(window->height(), available.height());
  // A window whose settings were never restored leaves them alone.
  window->mMapEnabled->trigger();
  MakeWindow(s_service->BaseAddress());
  window->close();
  MakeWindow(s_service->BaseAddress());
  window->RestoreSettings();
  EXPECT_TRUE(window->mMapEnabled->isChecked());
}

// A filter box keeps to its text through sorting, clicks that bold rows and a new growth; its count
// says how many rows it shows; cleared, every row is back.
TEST_F(WindowTest, FilterBoxesShowTheMatchingRows) {
  GrowTwoPearls();
  ListView& citing = *window->CitingList;
  const auto shownCount = [](const ListView& list) {
    int shown = 0;
    for (int k = 1; k <= list.RowCount(); ++k) shown += list.Row(k)->isHidden() ? 0 : 1;
    return shown;
  };
  const auto countLabel = [&](const QString& text) {
    for (const QLabel* label : window->findChildren<QLabel*>()) {
      if (label->text() == text) return true;
    }
    return false;
  };
  const auto matching = [](const ListView& list, const QString& text) {
    for (int k = 1; k <= list.RowCount(); ++k) {
      const QTreeWidgetItem* row = list.Row(k);
      bool match = false;
      for (int column = 2; column <= 5; ++column) match = match || row->text(column).contains(text, Qt::CaseInsensitive);
      if (match == row->isHidden()) return false;
    }
    return true;
  };
  const int total = citing.RowCount();
  ASSERT_EQ(total, 3);
  window->ListFilter[2]->setText("NETWORKS");  // titles "Mining citation networks", "Networks of mining"
  EXPECT_TRUE(matching(citing, "networks"));
  EXPECT_EQ(shownCount(citing), 2);
  EXPECT_TRUE(countLabel("2 of 3 shown"));
  citing.ColumnClick(3);
  EXPECT_TRUE(matching(citing, "networks")) << "sorting keeps the filter";
  Click(*window->PearlList, 1);
  EXPECT_TRUE(matching(citing, "networks")) << "bolding keeps the filter";
  ChooseFromMenu(*window->CitedList, FormMain::FindListRow(*window->CitedList, 2), window->mAddPearl);
  ASSERT_EQ(window->PearlList->RowCount(), 3);
  EXPECT_TRUE(matching(citing, "networks")) << "a growth keeps the filter";
  // The search results have a box of their own.
  window->ListFilter[3]->setText("zebra");
  EXPECT_TRUE(matching(*window->SearchResult, "zebra"));
  // Cleared, all rows are back and the count goes.
  window->ListFilter[2]->clear();
  EXPECT_EQ(shownCount(citing), citing.RowCount());
  EXPECT_FALSE(countLabel("2 of 3 shown"));
}

// A wide list gives its room to its stretch column, which never gets narrower than it was set or
// dragged to be.
TEST(ListViewStretch, TheTitleTakesTheRoomTheOthersLeave) {
  ListView list;
  list.SetColumns({{"A", 60}, {"Title", 90}, {"B", 70}});
  const int base = list.columnWidth(1);
  list.SetStretchColumn(1);
  list.resize(700, 200);
  list.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
  const auto room = [&] { return list.viewport()->width() - list.columnWidth(0) - list.columnWidth(2); };
  EXPECT_EQ(list.columnWidth(1), room());
  list.resize(160, 200);
  QApplication::processEvents();
  EXPECT_EQ(list.columnWidth(1), base);
  list.setColumnWidth(1, base + 40);  // as the user drags it
  list.resize(800, 200);
  QApplication::processEvents();
  EXPECT_EQ(list.columnWidth(1), room());
  list.resize(160, 200);
  QApplication::processEvents();
  EXPECT_EQ(list.columnWidth(1), base + 40);
  list.resize(800, 200);
  QApplication::processEvents();
  EXPECT_EQ(list.OwnColumnWidth(1), base + 40) << "the room given is not the column's own";
}

TEST_F(WindowTest, NavigationOpensOnlyWebAddresses) {
  GrowTwoPearls();
  // Record 2 (publication 1) has a DOI and no full text: its source is the DOI page, its archived
  // version a title search.
  window->CurrentIndex = 2;
  window->mGoToSource->trigger();
  window->mGetPrePrint->trigger();
  EXPECT_EQ(host.OpenedAddresses(),
            (std::vector<std::string>{"https://doi.org/10.1000/jts.2001.1",
                                      "https://scholar.google.com/scholar?q=allintitle:Text+mining%3A+a+survey"}));
  // Publication 5 names a local file: it is not opened, and the user is told.
  window->CurrentIndex = window->Chain.FindIndex("5", "", "");
  window->mGetPrePrint->trigger();
  EXPECT_EQ(host.OpenedAddresses().size(), 2u);
  ASSERT_FALSE(host.Messages().empty());
  EXPECT_NE(host.Messages().back().text.find("file:///home/ann/paper.pdf"), std::string::npos);
}

TEST_F(WindowTest, SearchResultContextMenuHidesTheListCommands) {
  ColdStart();
  SearchBy(1, "mining");
  bool shownWhileOpen = true;
  int shown = 0;
  window->SetPopupMenu([&](QMenu&, QPoint) {
    ++shown;
    shownWhileOpen = window->mDeleteArticle->isVisible() || window->mRemovePearl->isVisible() ||
                     window->mGetPrePrint->isVisible();
  });
  // Any button hides the list commands; only the right one opens the menu.
  emit window->SearchResult->ButtonReleased(kLeftButton, QPoint());
  EXPECT_EQ(shown, 0);
  EXPECT_FALSE(window->mDeleteArticle->isVisible());
  EXPECT_EQ(window->CurrentIndex, 0);
  emit window->SearchResult->ButtonReleased(kRightButton, QPoint());
  EXPECT_EQ(shown, 1);
  EXPECT_FALSE(shownWhileOpen);
  EXPECT_EQ(window->CurrentIndex, -1);
  EXPECT_TRUE(window->mGetPrePrint->isVisible());
  EXPECT_FALSE(window->mRemovePearl->isVisible());
}

}  // namespace
}  // namespace wendrel
