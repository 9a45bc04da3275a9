// The search panel beyond the first page: counts of all that match, "More results" and scrolling
// to the end, and the year fields.
#include <QApplication>
#include <QFocusEvent>
#include <QScrollBar>
#include <QStatusBar>
#include <set>
#include <vector>
#include <string>

#include "window_fixture.h"

namespace wendrel {
namespace {

// 250 articles with "survey" in their titles, and one without.
std::string SurveyCorpus() {
  std::string lines;
  for (int id = 1; id <= 250; ++id) {
    lines += R"({"id":)" + std::to_string(id) + R"(,"title":"A survey of topic )" + std::to_string(id) +
             R"(","year":)" + std::to_string(1990 + id % 20) +
             R"(,"authors":[{"last":"Meyer","first":"Lea"}],"references":[]})" + "\n";
  }
  lines += R"({"id":999,"title":"Something else","year":2000,"authors":[],"references":[]})" "\n";
  return lines;
}

class SearchPanelTest : public test::WindowTest {
 protected:
  static void SetUpTestSuite() {
    WindowTest::SetUpTestSuite();
    s_surveys = new SearchService(test::BuildCorpus(*s_folder, "surveys", SurveyCorpus()));
    s_surveys->Start();
  }
  static void TearDownTestSuite() {
    delete s_surveys;
    WindowTest::TearDownTestSuite();
  }
  void SetUp() override {
    WindowTest::SetUp();
    MakeWindow(s_surveys->BaseAddress());
    ColdStart();
  }

  std::string Status() const { return window->statusBar()->currentMessage().toStdString(); }
  std::set<std::string> ShownIds() const {
    std::set<std::string> ids;
    for (int k = 1; k <= window->SearchResult->RowCount(); ++k) {
      ids.insert(ListView::SubItem(window->SearchResult->Row(k), 6));
    }
    return ids;
  }

  static inline SearchService* s_surveys = nullptr;
};

TEST_F(SearchPanelTest, MoreResultsAppendTheNextPagesUntilAllAreShown) {
  SearchBy(1, "survey");
  ASSERT_EQ(window->SearchResult->RowCount(), 100);
  EXPECT_EQ(Status(), "100 of 250 articles found");
  ASSERT_TRUE(!window->MoreResults->isHidden());

  window->MoreResults->click();
  ASSERT_EQ(window->SearchResult->RowCount(), 200);
  EXPECT_EQ(Status(), "200 of 250 articles found");
  EXPECT_EQ(ListView::SubItem(window->SearchResult->Row(101), 0), "101") << "numbers go on";

  // Scrolling to the end asks for the rest, as the button does.
  window->resize(900, 700);
  window->show();
  window->SSTab1->setCurrentIndex(1);
  QApplication::processEvents();
  QScrollBar* scroll = window->SearchResult->verticalScrollBar();
  ASSERT_GT(scroll->maximum(), 0);
  scroll->setValue(scroll->maximum());
  EXPECT_EQ(window->SearchResult->RowCount(), 250);
  EXPECT_EQ(Status(), "250 articles found");
  EXPECT_TRUE(window->MoreResults->isHidden());
  EXPECT_EQ(ShownIds().size(), 250u) << "every article once";
  EXPECT_EQ(ShownIds().count("999"), 0u);

  // A new search starts again from its first page.
  SearchBy(1, "topic 7");
  EXPECT_LE(window->SearchResult->RowCount(), 100);
  EXPECT_EQ(ShownIds().count("7"), 1u);
}

// A right click on a row nobody clicked before offers "Add to Pearl" for that row.
TEST_F(SearchPanelTest, RightClickChoosesTheRowUnderThePointer) {
  SearchBy(1, "survey");
  ASSERT_GE(window->SearchResult->RowCount(), 2);
  window->resize(900, 700);
  window->show();
  window->SSTab1->setCurrentIndex(1);
  QApplication::processEvents();
  QTreeWidgetItem* second = window->SearchResult->Row(2);
  const QPoint at = window->SearchResult->visualItemRect(second).center();
  bool offered = false;
  window->SetPopupMenu([&](QMenu&, QPoint) { offered = window->mAddPearl->isEnabled(); });
  QTest::mouseClick(window->SearchResult->viewport(), Qt::RightButton, {}, at);
  EXPECT_EQ(window->SearchResult->currentItem(), second);
  EXPECT_TRUE(offered);
}

// Tab walks the search panel as it is laid out; the results' filter comes with the results.
TEST_F(SearchPanelTest, TabFollowsTheLayout) {
  EXPECT_TRUE(window->ListFilter[3]->parentWidget()->isHidden());
  std::vector<QWidget*> order;
  for (QWidget* next = window->ASQField[0]->nextInFocusChain(); order.size() < 5; next = next->nextInFocusChain()) {
    if (next->focusPolicy() & Qt::TabFocus) order.push_back(next);
  }
  EXPECT_EQ(order, (std::vector<QWidget*>{window->ASQField[1], window->ASQField[2], window->ASQField[3],
                                         window->ASQField[4], window->Search}));
  SearchBy(1, "survey");
  EXPECT_FALSE(window->ListFilter[3]->parentWidget()->isHidden());
}

TEST_F(SearchPanelTest, YearFieldsTakeFourDigitsAndRefuseABackwardRange) {
  QLineEdit* from = window->ASQField[3];
  QLineEdit* to = window->ASQField[4];
  QTest::keyClicks(from, "19a951");
  EXPECT_EQ(from->text(), "1995") << "letters and a fifth digit are refused";
  EXPECT_EQ(to->text(), "1995") << "To follows From as it is typed";

  // Giving a field the focus selects its year, so typing replaces it rather than adding to it.
  QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
  QApplication::sendEvent(to, &focus);
  QApplication::processEvents();
  EXPECT_EQ(to->selectedText(), "1995");
  QTest::keyClicks(to, "1992");
  EXPECT_EQ(to->text(), "1992");

  window->ASQField[1]->setText("survey");
  QTest::keyClick(window->ASQField[1], Qt::Key_Return);
  EXPECT_EQ(Status(), "The years run backwards (1995 to 1992): nothing was searched");
  EXPECT_EQ(window->SearchResult->RowCount(), 0);

  to->setText("1996");
  QTest::keyClick(window->ASQField[1], Qt::Key_Return);
  // Years 1995 and 1996: ids 5, 6, 25, 26, ... 245, 246.
  EXPECT_EQ(window->SearchResult->RowCount(), 26);
  EXPECT_EQ(Status(), "26 articles found");

  // A refused search leaves no results of the last one on screen, to be taken for its answer; a
  // year cut short is refused with a hint.
  to->setText("1990");
  QTest::keyClick(window->ASQField[1], Qt::Key_Return);
  EXPECT_EQ(window->SearchResult->RowCount(), 0);
  EXPECT_FALSE(window->MoreResults->isVisible());
  from->setText("99");
  to->clear();
  QTest::keyClick(window->ASQField[1], Qt::Key_Return);
  EXPECT_EQ(Status(), "A year has four digits (99 is not one): nothing was searched");
  EXPECT_EQ(window->SearchResult->RowCount(), 0);
}

// The focus stays where the user types: a search by Enter or by the button leaves it in the search
// panel, never in a list's filter, where the next word would filter a list instead.
TEST_F(SearchPanelTest, SearchingLeavesTheFocusInTheSearchPanel) {
  window->show();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  EXPECT_EQ(window->SSTab1->currentIndex(), 1) << "a topic search starts on the Search tab";
  EXPECT_EQ(QApplication::focusWidget(), window->ASQField[0]);
  window->ASQField[1]->setFocus();
  QTest::keyClicks(window->ASQField[1], "survey");
  QTest::keyClick(window->ASQField[1], Qt::Key_Return);
  ASSERT_GT(window->SearchResult->RowCount(), 0);
  EXPECT_EQ(QApplication::focusWidget(), window->ASQField[1]);
  QTest::mouseClick(window->Search, Qt::LeftButton);
  ASSERT_GT(window->SearchResult->RowCount(), 0);
  EXPECT_EQ(QApplication::focusWidget(), window->Search);
}

}  // namespace
}  // namespace wendrel
