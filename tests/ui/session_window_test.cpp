// Session files in the window: opened, saved as, written as the session changes, a second window
// kept read-only, and the autosave file offered for restore after a crash.
#include <QStatusBar>
#include <filesystem>

#include "../chain/chain_fixture.h"
#include "session/session_file.h"
#include "window_fixture.h"

namespace wendrel::test {
namespace {

class SessionWindowTest : public WindowTest {
 protected:
  // A session written by the library: pearl 1 with its citing list capped at 2 of its 3, then 3.
  QString LibrarySession() {
    const std::string path = work.Path("library.wendrel");
    MASCitationChain chain(host, http, s_service->BaseAddress());
    chain.SetLargeCitationLimit(2);
    auto session = SessionFile::Create(path, chain);
    session->Attach(chain);
    host.QueueAnswer(MessageResult::Yes);  // the citing list limited to the most cited
    EXPECT_NE(AddPearl(chain, "1"), 0);
    EXPECT_NE(AddPearl(chain, "3"), 0);
    return QString::fromStdString(path);
  }

  void Open(const QString& path) {
    chosenFiles.push_back(path);
    window->mOpenSession->trigger();
  }

  // The Complete column of the Pearl List row of this record.
  std::string Complete(int32_t index) const {
    const int16_t row = FormMain::FindListRow(*window->PearlList, index);
    return row > 0 ? ListView::SubItem(window->PearlList->Row(row), 8) : "no row";
  }
};

TEST_F(SessionWindowTest, OpensALibrarySessionWithItsListsAndCompleteness) {
  const QString path = LibrarySession();
  ColdStart();
  Open(path);
  ASSERT_NE(window->Session(), nullptr);
  EXPECT_EQ(dialogs.back().title, "Open Session");
  EXPECT_EQ(window->PearlList->RowCount(), 2);
  EXPECT_GT(window->CitedList->RowCount(), 0);
  EXPECT_EQ(window->CitingList->RowCount(), 4);
  const int32_t first = window->Chain.FindIndex("1", "", "");
  const int32_t third = window->Chain.FindIndex("3", "", "");
  EXPECT_EQ(Complete(first), "2 of 3 citing");
  EXPECT_EQ(Complete(third), "yes");
  EXPECT_EQ(window->GetCaption(), "library.wendrel \u2014 Wendrel Search") << "a file that keeps every change";
  EXPECT_FALSE(window->SessionStatus->isVisibleTo(window.get()));
  EXPECT_EQ(window->RecentSessions(), QStringList{path});
  // Chosen again, the open file stays writable rather than meeting its own lock.
  Open(path);
  EXPECT_FALSE(window->Session()->ReadOnly());

  Click(*window->PearlList, FormMain::FindListRow(*window->PearlList, first));
  EXPECT_NE(window->MetaData->toPlainText().indexOf("GROWN: references 0 of 0, citing 2 of 3 (capped)"), -1)
      << window->MetaData->toPlainText().toStdString();
  EXPECT_TRUE(window->mAddPearl->isEnabled()) << "a capped pearl grows on";

  // Not a session: said, and the session stays.
  const std::string corpusLike = work.Path("notes.wendrel");
  std::ofstream(corpusLike) << "not a session";
  Open(QString::fromStdString(corpusLike));
  EXPECT_EQ(host.Messages().back().icon, MessageIcon::Critical);
  EXPECT_EQ(window->PearlList->RowCount(), 2);
  EXPECT_EQ(window->Session()->Path(), path.toStdString());
}

TEST_F(SessionWindowTest, ChangesAreWrittenAsTheyHappenAndSurviveReopening) {
  GrowTwoPearls();
  const QString path = QString::fromStdString(work.Path("grown.wendrel"));
  chosenFiles.push_back(path);
  window->mSaveSessionAs->trigger();
  EXPECT_EQ(dialogs.back().title, "Save Session As");
  EXPECT_EQ(dialogs.back().fileName, "session.wendrel");
  ASSERT_NE(window->Session(), nullptr);
  EXPECT_EQ(window->GetCaption(), "grown.wendrel \u2014 Wendrel Search");

  // A deletion after the save goes to the file at once; closing asks nothing.
  const int16_t row = FormMain::FindListRow(*window->CitingList, 4);
  ASSERT_GT(row, 0);
  Click(*window->CitingList, row);
  window->mDeleteArticle->trigger();
  const auto cited = Rows(*window->CitedList);
  const auto citing = Rows(*window->CitingList);
  const size_t messages = host.Messages().size();
  window->close();
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(host.Messages().size(), messages) << "nothing to save";

  MakeWindow(s_service->BaseAddress());
  ColdStart();
  Open(path);
  EXPECT_EQ(Rows(*window->CitedList), cited);
  EXPECT_EQ(Rows(*window->CitingList), citing);
  EXPECT_EQ(FormMain::FindListRow(*window->CitingList, 4), -1) << "the deletion was kept";
  EXPECT_EQ(window->PearlList->RowCount(), 2);

  // A name that exists is refused, never written over.
  chosenFiles.push_back(path);
  window->mSaveSessionAs->trigger();
  EXPECT_EQ(host.Messages().back().icon, MessageIcon::Critical);
  EXPECT_EQ(window->Session()->Path(), path.toStdString());
}

TEST_F(SessionWindowTest, ASecondWindowOnTheSameFileIsReadOnlyAndSaysSo) {
  const QString path = LibrarySession();
  ColdStart();
  Open(path);
  FormMain second(host, http, s_service->BaseAddress());
  second.CommonDialog1.SetChooser([&](FileDialog::Kind, const QString&, const QString&, const QString&) { return path; });
  second.ShowStartUp();
  second.NewSession()->Start->click();
  second.mOpenSession->trigger();
  ASSERT_NE(second.Session(), nullptr);
  EXPECT_TRUE(second.Session()->ReadOnly());
  EXPECT_EQ(second.GetCaption(), "library.wendrel (read-only) \u2014 Wendrel Search");
  EXPECT_TRUE(second.SessionStatus->isVisibleTo(&second));
  EXPECT_EQ(second.SessionStatus->text(), "Read-only: changes are not kept");
  EXPECT_NE(second.SessionStatus->toolTip().indexOf("another window or process"), -1)
      << second.SessionStatus->toolTip().toStdString();
  EXPECT_EQ(second.statusBar()->currentMessage(), second.SessionStatus->toolTip()) << "the reason in view";

  // Its deletion stays in its memory; the file and the first window keep the article.
  const int32_t citing = second.Chain.FindIndex("4", "", "");
  second.CurrentIndex = citing;
  second.mDeleteArticle_Click();
  EXPECT_EQ(FormMain::FindListRow(*second.CitingList, citing), -1);
  second.SessionChanged = false;
  window->close();
  MakeWindow(s_service->BaseAddress());
  ColdStart();
  Open(path);
  EXPECT_GT(FormMain::FindListRow(*window->CitingList, citing), 0);
}

TEST_F(SessionWindowTest, AnAutosaveLeftByACrashIsOfferedAtTheNextStart) {
  const std::string folder = work.Path("data");
  std::filesystem::create_directories(folder);
  EXPECT_FALSE(window->StartAutosave(folder));
  GrowTwoPearls();
  ASSERT_NE(window->Session(), nullptr);
  const std::string autosave = window->Session()->Path();
  EXPECT_EQ(std::filesystem::path(autosave).parent_path(), folder);
  EXPECT_EQ(window->GetCaption(), "Untitled* \u2014 Wendrel Search") << "the autosave file is not the user's";
  const auto citing = Rows(*window->CitingList);
  // The process ends without closing the window.
  window.reset();
  ASSERT_TRUE(std::filesystem::exists(autosave));

  MakeWindow(s_service->BaseAddress());
  host.QueueAnswer(MessageResult::Yes);
  EXPECT_TRUE(window->StartAutosave(folder));
  const std::string& offer = host.Messages().back().text;
  EXPECT_EQ(offer.rfind("Restore the session of ", 0), 0u) << offer;
  EXPECT_NE(offer.find(", 2 pearls, 5 articles?"), std::string::npos) << offer;
  EXPECT_EQ(Rows(*window->CitingList), citing);

  // Closed as the user chose, the autosave file goes; the next start offers nothing.
  window->SessionChanged = false;
  window->close();
  EXPECT_FALSE(std::filesystem::exists(window->Session() ? window->Session()->Path() : autosave));
  const size_t messages = host.Messages().size();
  MakeWindow(s_service->BaseAddress());
  EXPECT_FALSE(window->StartAutosave(folder));
  EXPECT_EQ(host.Messages().size(), messages);
  EXPECT_EQ(window->Chain.Count(), 0);
}

}  // namespace
}  // namespace wendrel::test
