// FormMain's session files: "Open Session…", "Save Session As…", "Recent Sessions", the autosave
// file that keeps a session without a file of the user's, and the offer to restore it after a crash.
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStatusBar>
#include <filesystem>
#include <unistd.h>

#include "chain/chain_error.h"
#include "session/session_file.h"
#include "ui/form_main.h"

namespace wendrel {

namespace {

constexpr int kRecentSessions = 8;

// Removes a closed session file with its write-ahead log.
void RemoveSessionFile(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(QString::fromStdString(path + suffix));
}

// "7 Dec 2026, 14:02" in local time, from the file's "2026-12-07T14:02:11Z".
QString LocalTimeText(const std::string& utc) {
  const QDateTime time = QDateTime::fromString(QString::fromStdString(utc), Qt::ISODate);
  return time.isValid() ? QLocale(QLocale::English).toString(time.toLocalTime(), "d MMM yyyy, HH:mm")
                        : QString("an unknown time");
}

}  // namespace

QString FormMain::ChooseSessionFile(bool save) {
  const QString filter = CommonDialog1.Filter;
  const QString extension = CommonDialog1.DefaultExt;
  CommonDialog1.Filter = "Wendrel sessions (*.wendrel);;All files (*)";
  CommonDialog1.DefaultExt = "wendrel";
  CommonDialog1.DialogTitle = save ? "Save Session As" : "Open Session";
  if (save) {
    CommonDialog1.FileName = m_session && !m_sessionIsAutosave ? QFileInfo(QString::fromStdString(m_session->Path())).fileName()
                                                               : SuggestedName("session.wendrel");
    CommonDialog1.ShowSave();
  } else {
    CommonDialog1.FileName.clear();
    CommonDialog1.ShowOpen();
  }
  CommonDialog1.Filter = filter;
  CommonDialog1.DefaultExt = extension;
  return CommonDialog1.FileName;
}

bool FormMain::SessionKept() const {
  return m_session && !m_sessionIsAutosave && !m_session->ReadOnly() && m_session->WriteError().empty();
}

void FormMain::DropSession() {
  if (!m_session) return;
  const std::string path = m_session->Path();
  const bool autosave = m_sessionIsAutosave;
  m_session.reset();
  m_sessionIsAutosave = false;
  if (autosave) RemoveSessionFile(path);
}

void FormMain::AttachSession(std::unique_ptr<SessionFile> session, bool autosave) {
  session->SetSource(m_sessionSource);
  session->Attach(Chain);
  m_session = std::move(session);
  m_sessionIsAutosave = autosave;
}

void FormMain::StartAutosaveFile() {
  if (m_autosaveFolder.empty() || m_session) return;
  const std::string path =
      QDir(QString::fromStdString(m_autosaveFolder)).filePath(QString("autosave-%1.wendrel").arg(getpid())).toStdString();
  // A file of that name is one left by an earlier process with this number, offered and declined.
  RemoveSessionFile(path);
  try {
    AttachSession(SessionFile::Create(path, Chain, m_sessionSource), true);
  } catch (const SessionError& e) {
    statusBar()->showMessage(QString("The session is not autosaved: %1").arg(e.what()));
  }
}

void FormMain::SetSessionSource(std::string source) {
  m_sessionSource = std::move(source);
  if (m_session) m_session->SetSource(m_sessionSource);
}

bool FormMain::StartAutosave(const std::string& folder) {
  m_autosaveFolder = folder;
  const QDir dir(QString::fromStdString(folder));
  for (const QString& name : dir.entryList({"autosave-*.wendrel"}, QDir::Files, QDir::Time)) {
    const std::string path = dir.filePath(name).toStdString();
    std::unique_ptr<SessionFile> left;
    try {
      left = SessionFile::Open(path);
    } catch (const SessionError&) {
      continue;  // not a session any more: left alone, never written over
    }
    // Read-only: another window keeps its session there.
    if (left->ReadOnly()) continue;
    if (m_session || left->PearlCount() == 0) {
      if (left->PearlCount() == 0) {
        left.reset();
        RemoveSessionFile(path);
      }
      continue;
    }
    const QString question = QString("Restore the session of %1, %2 %3, %4 %5?")
                                 .arg(LocalTimeText(left->Info("changed_utc")))
                                 .arg(left->PearlCount())
                                 .arg(left->PearlCount() == 1 ? "pearl" : "pearls")
                                 .arg(QLocale(QLocale::English).toString(static_cast<qlonglong>(left->ArticleCount())))
                                 .arg(left->ArticleCount() == 1 ? "article" : "articles");
    if (m_host.MessageBox(question.toStdString(), kMessageTitle, MessageIcon::Question, MessageButtons::YesNo) !=
        MessageResult::Yes) {
      left.reset();
      RemoveSessionFile(path);
      continue;
    }
    try {
      left->Restore(Chain);
    } catch (const std::exception& e) {
      m_host.MessageBox(std::string("The session cannot be restored: ") + e.what(), kMessageTitle,
                        MessageIcon::Critical, MessageButtons::Ok);
      continue;
    }
    AttachSession(std::move(left), true);
    CurrentIndex = Chain.Count() > 0 ? 1 : 0;
    RefreshLists();
    ShowSummary(CurrentIndex);
  }
  const bool restored = m_session != nullptr;
  StartAutosaveFile();
  return restored;
}

void FormMain::mOpenSession_Click() {
  if (m_operationRunning) return;
  // Work kept nowhere but in the autosave file is not given up without the question "New Pearl List" asks.
  if (SessionChanged && Chain.Count() > 0 && !SessionKept() && !ConfirmErase()) return;
  const QString path = ChooseSessionFile(false);
  if (!path.isEmpty()) OpenSessionFile(path);
}

bool FormMain::OpenSessionFile(const QString& path) {
  // Opened again beside itself, the session would find its own lock and open read-only.
  std::error_code error;
  if (m_session && std::filesystem::equivalent(m_session->Path(), path.toStdString(), error)) {
    statusBar()->showMessage(QString("%1 is the session open in this window").arg(path));
    return true;
  }
  std::unique_ptr<SessionFile> session;
  try {
    session = SessionFile::Open(path.toStdString());
  } catch (const SessionError& e) {
    m_host.MessageBox(e.what(), kMessageTitle, MessageIcon::Critical, MessageButtons::Ok);
    return false;
  }
  // The old file lets the chain go before the chain is replaced; a file that cannot be put back
  // leaves the session as it was, still kept where it was.
  if (m_session) m_session->Detach();
  try {
    session->Restore(Chain);
  } catch (const std::exception& e) {
    if (m_session) m_session->Attach(Chain);
    m_host.MessageBox("Cannot open " + path.toStdString() + ": " + e.what(), kMessageTitle, MessageIcon::Critical,
                      MessageButtons::Ok);
    return false;
  }
  DropSession();
  AttachSession(std::move(session), false);
  PearlListPath.clear();
  m_loadedFile.clear();
  if (MapEnabled()) ClearMap();
  CurrentIndex = Chain.Count() > 0 ? 1 : 0;
  for (int32_t i = 1; i <= Chain.IndexSize(); ++i) {
    if (Chain.GetRecord(i).IsPearl) {
      CurrentIndex = i;
      break;
    }
  }
  RefreshLists();
  ShowSummary(CurrentIndex);
  SessionChanged = false;
  AddRecentSession(path);
  ShowSessionCaption();
  if (m_session->ReadOnly()) statusBar()->showMessage(QString::fromStdString(m_session->ReadOnlyReason()));
  return true;
}

void FormMain::mSaveSessionAs_Click() {
  if (m_operationRunning) return;
  const QString path = ChooseSessionFile(true);
  if (path.isEmpty()) return;
  std::unique_ptr<SessionFile> saved;
  try {
    // A file that kept every change is copied with its fetch log; one that did not is written whole
    // from the session in memory.
    saved = m_session && !m_session->ReadOnly() && m_session->WriteError().empty()
                ? m_session->SaveAs(path.toStdString())
                : SessionFile::Create(path.toStdString(), Chain, m_sessionSource);
  } catch (const SessionError& e) {
    m_host.MessageBox(e.what(), kMessageTitle, MessageIcon::Critical, MessageButtons::Ok);
    return;
  }
  DropSession();
  AttachSession(std::move(saved), false);
  SessionChanged = false;
  AddRecentSession(path);
  statusBar()->showMessage(QString("Session saved to %1; changes are written to it as you work").arg(path));
  ShowSessionCaption();
}

void FormMain::AddRecentSession(const QString& path) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  m_recentSessions.removeAll(absolute);
  m_recentSessions.prepend(absolute);
  while (m_recentSessions.size() > kRecentSessions) m_recentSessions.removeLast();
  FillRecentSessions();
  if (m_keepSettings) SaveRecentSessions();
}

void FormMain::FillRecentSessions() {
  mRecentSessions->clear();
  for (const QString& path : m_recentSessions) {
    QAction* item = mRecentSessions->addAction(QFileInfo(path).fileName());
    item->setToolTip(path);
    item->setStatusTip(path);
    connect(item, &QAction::triggered, this, [this, path] {
      if (m_operationRunning) return;
      if (SessionChanged && Chain.Count() > 0 && !SessionKept() && !ConfirmErase()) return;
      OpenSessionFile(path);
    });
  }
  mRecentSessions->setEnabled(!m_recentSessions.isEmpty());
}

QString FormMain::CompleteText(int32_t pearl) const {
  if (!m_session) return {};
  return QString::fromStdString(CompleteColumnText(m_session->Direction(pearl, PearlRelation::Cited),
                                                   m_session->Direction(pearl, PearlRelation::Citing)));
}

bool FormMain::SessionWritable(const std::string& readOnly, const std::string& none) {
  if (m_session && !m_session->ReadOnly()) return true;
  m_host.MessageBox(m_session ? readOnly : none, kMessageTitle, MessageIcon::Information, MessageButtons::Ok);
  return false;
}

void FormMain::mGrowIncluded_Click() {
  if (m_operationRunning) return;
  // The pearls to grow wait in the session's file, so that a growth stopped or failed goes on later.
  if (!SessionWritable("The session is open read-only: included articles cannot be grown from it.",
                       "Included articles are grown through a session file: Save Session As first."))
    return;
  int32_t owed = 0;
  try {
    PromoteIncluded(Chain, *m_session);
    owed = OwedPearls(Chain, *m_session);
  } catch (const SessionError& e) {
    m_host.MessageBox(e.what(), kMessageTitle, MessageIcon::Critical, MessageButtons::Ok);
    return;
  }
  if (owed == 0) {
    statusBar()->showMessage("No included article waits to be grown: each is a pearl already");
    return;
  }
  int32_t grown = 0;
  {
    Operation operation(*this, true);
    m_host.SetBusy(true);
    grown = GrowOwed(Chain, *m_session, *this);
    m_host.SetBusy(false);
    RefreshLists();
    if (CurrentIndex > 0) ShowSummary(CurrentIndex);
    statusBar()->showMessage(QString("%1 of %2 %3 grown").arg(grown).arg(owed).arg(owed == 1 ? "pearl" : "pearls"));
    // A stop or a failure says so instead.
    if (Chain.Interrupted() || Chain.FailedRequests() > 0) ReportGrowthEnd();
  }
}

void FormMain::mRefreshSession_Click() {
  if (m_operationRunning) return;
  // The run log that tells what is new lives in the session's file.
  if (!SessionWritable("The session is open read-only: it cannot be refreshed.",
                       "A session is refreshed through its file: Save Session As first."))
    return;
  if (Chain.PearlOrder().empty()) {
    statusBar()->showMessage("The session has no pearl to grow again");
    return;
  }
  SessionRefresh refresh;
  {
    Operation operation(*this, true);
    m_host.SetBusy(true);
    try {
      refresh = RefreshSession(Chain, *m_session, *this);
    } catch (const SessionError& e) {
      m_host.SetBusy(false);
      m_host.MessageBox(e.what(), kMessageTitle, MessageIcon::Critical, MessageButtons::Ok);
      return;
    }
    m_host.SetBusy(false);
    RefreshLists();
    if (CurrentIndex > 0) ShowSummary(CurrentIndex);
  }
  const std::string summary = RefreshSummary(Chain, refresh);
  statusBar()->showMessage(QString::fromStdString(summary.substr(0, summary.find('\n'))));
  // A stop or a failure says so; otherwise the summary names what changed.
  if (Chain.Interrupted() || Chain.FailedRequests() > 0) {
    ReportGrowthEnd();
  } else {
    m_host.MessageBox("Refreshed as run " + std::to_string(refresh.run) + ": " + summary +
                          "The \"New since last run\" filter of each list shows only the new articles.",
                      kMessageTitle, MessageIcon::Information, MessageButtons::Ok);
  }
}

}  // namespace wendrel
