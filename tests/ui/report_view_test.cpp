// Session > "Report…": the report of the window's session shown beside it and saved as HTML and
// Markdown through the window's file dialog.
#include "ui/report_view.h"

#include <filesystem>

#include "test_paths.h"
#include "window_fixture.h"

namespace wendrel::test {
namespace {

class ReportViewTest : public WindowTest {};

TEST_F(ReportViewTest, ShowsTheSessionsReportAndSavesIt) {
  GrowTwoPearls();
  // Without a file there is nothing to report from: said, and no window opens.
  window->mReport->trigger();
  EXPECT_EQ(host.Messages().back().icon, MessageIcon::Information);
  EXPECT_EQ(window->findChild<ReportView*>(), nullptr);

  chosenFiles.push_back(QString::fromStdString(work.Path("grown.wendrel")));
  window->mSaveSessionAs->trigger();
  ASSERT_NE(window->Session(), nullptr);
  window->Chain.Screenings().Decide(window->Chain.FindIndex("1", "", ""), Verdict::Excluded, "wrong outcome");
  window->mReport->trigger();
  ReportView* view = window->findChild<ReportView*>();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isVisible());
  EXPECT_FALSE(view->isModal());
  // Pearl 3 reaches 1, 2, 4 and 5, pearl 2 reaches 1, 3 and 4: seven found, five of them unique.
  const ReportTotals& totals = view->Shown().totals;
  EXPECT_EQ(totals.identified, 7);
  EXPECT_EQ(totals.unique, 5);
  EXPECT_EQ(totals.excluded, 1);
  const QString page = view->Page->toPlainText();
  EXPECT_TRUE(page.contains("after 2 duplicates were removed, 5 unique records remained")) << page.toStdString();

  chosenFiles.push_back(QString::fromStdString(work.Path("report.html")));
  view->SaveHtml->click();
  EXPECT_EQ(dialogs.back().title, "Save Report as HTML");
  EXPECT_EQ(dialogs.back().fileName, "grown-report.html");
  EXPECT_EQ(ReadFile(work.Path("report.html")), ReportHtml(view->Shown()));
  chosenFiles.push_back(QString::fromStdString(work.Path("report.md")));
  view->SaveMarkdown->click();
  EXPECT_EQ(ReadFile(work.Path("report.md")), ReportMarkdown(view->Shown()));
  EXPECT_EQ(window->CommonDialog1.Filter, "RIS files (*.ris);;All files (*)") << "the window's dialog as it was";

  // A file that cannot be written is said, and the view stays.
  chosenFiles.push_back(QString::fromStdString(work.Path("missing/report.md")));
  view->SaveMarkdown->click();
  EXPECT_EQ(host.Messages().back().icon, MessageIcon::Critical);
  EXPECT_FALSE(std::filesystem::exists(work.Path("missing")));
}

}  // namespace
}  // namespace wendrel::test
