// FormMain: start-up, the wiring of the controls, help, closing, "New Pearl List", "End Session
// (Exit)", the progress display while pearls grow, and the guard against a second operation. The
// layout is built in form_layout.cpp, the settings kept in form_settings.cpp.
#include "ui/form_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>

#include "platform/program_version.h"
#include "platform/user_folders.h"
#include "session/session_file.h"
#include "ui/export_dialog.h"
#include "ui/form_new_session.h"

namespace wendrel {

FormMain::FormMain(Host& host, HttpClient& http, std::string serviceAddress)
    : m_reports(host, serviceAddress),
      Chain(m_reports, http, serviceAddress),
      CommonDialog1(this),
      m_host(host),
      m_http(http),
      m_serviceAddress(std::move(serviceAddress)),
      m_mapPane(host),
      m_screening(*this, host) {
  m_endProcess = [] { QCoreApplication::quit(); };
  m_popup = [](QMenu& menu, QPoint at) { menu.exec(at); };
  m_showExport = [](ExportDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
  m_chooseImageSize = [this](QSize suggested, QSize view) { return AskMapImageSize(this, suggested, view); };

  // Start-up, in the described order.
  Chain.SetEvents({.PearlAdded =
                       [this] {
                         ShowMessage(2, true);
                         m_host.DoEvents();
                       },
                   .CitedAdded =
                       [this] {
                         ShowMessage(2, false);
                         ShowMessage(3, true);
                       },
                   .CitingAdded = [this] { ShowMessage(3, false); },
                   .PageDone =
                       [this](const PageProgress& done) {
                         Progress->setRange(0, done.pages);
                         Progress->setValue(done.page);
                         Progress->setFormat(m_importItems > 0 ? QString("Pearl %1 of %2: page %3 of %4")
                                                                     .arg(m_importItem)
                                                                     .arg(m_importItems)
                                                                     .arg(done.page)
                                                                     .arg(done.pages)
                                                               : QString("Page %1 of %2").arg(done.page).arg(done.pages));
                       },
                   .ImportItem =
                       [this](int32_t item, int32_t items) {
                         m_importItem = item;
                         m_importItems = items;
                         Progress->setRange(0, items);
                         Progress->setValue(item - 1);
                         Progress->setFormat(QString("Pearl %1 of %2").arg(item).arg(items));
                         statusBar()->showMessage(QString("Resolving %L1 of %L2 references, %L3 not found")
                                                      .arg(item)
                                                      .arg(items)
                                                      .arg(Chain.ImportFailures().size()));
                       },
                   .StopRequested = [this] { return m_stopRequested; }});
  AppID = kAppID;
  Chain.SetApplicationID(AppID);
  CommonDialog1.DefaultExt = "ris";
  // File dialogs open in the user's documents (then wherever the last file was chosen).
  CommonDialog1.InitDir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (CommonDialog1.InitDir.isEmpty() || !QDir(CommonDialog1.InitDir).exists()) CommonDialog1.InitDir = QDir::homePath();
  BuildWindow();
  ShowSessionCaption();
  PrepareListColumns();
  SearchResult->hide();
  Enable(mAddPearl, false);
  Enable(mRemovePearl, false);
  Enable(mDeleteArticle, false);
  Enable(mExportExchange, false);

  // The map is off until "Enabled" is ticked.
  mFitMap->setEnabled(false);
  mSaveMapImage->setEnabled(false);

  ConnectHandlers();
  FillRecentSessions();
  m_newSession = std::make_unique<FormNewSession>(*this);
}

FormMain::~FormMain() = default;

void FormMain::ShowStartUp() {
  show();
  SetWindowEnabled(false);
  m_newSession->show();
}

void FormMain::ConnectHandlers() {
  connect(mNew, &QAction::triggered, this, [this] { mNew_Click(); });
  connect(mImportRIS, &QAction::triggered, this, [this] { ImportRIS(); });
  connect(mExportRIS, &QAction::triggered, this, [this] { mExportRIS_Click(); });
  connect(mExportRISAs, &QAction::triggered, this, [this] { mExportRISAs_Click(); });
  connect(mExportRISCited, &QAction::triggered, this, [this] { mExportRISCited_Click(); });
  connect(mExportExchange, &QAction::triggered, this, [this] { mExportExchange_Click(); });
  connect(mReport, &QAction::triggered, this, [this] { mReport_Click(); });
  connect(mOpenSession, &QAction::triggered, this, [this] { mOpenSession_Click(); });
  connect(mSaveSessionAs, &QAction::triggered, this, [this] { mSaveSessionAs_Click(); });
  connect(mEndSession, &QAction::triggered, this, [this] { mEndSession_Click(); });
  connect(mGrowIncluded, &QAction::triggered, this, [this] { mGrowIncluded_Click(); });
  connect(mRefreshSession, &QAction::triggered, this, [this] { mRefreshSession_Click(); });
  connect(mAddPearl, &QAction::triggered, this, [this] { mAddPearl_Click(); });
  connect(mRemovePearl, &QAction::triggered, this, [this] { mRemovePearl_Click(); });
  connect(mDeleteArticle, &QAction::triggered, this, [this] { mDeleteArticle_Click(); });
  connect(mGoToSource, &QAction::triggered, this, [this] { OpenArticleLink(CurrentIndex, ArticleLink::Source); });
  connect(mGetPrePrint, &QAction::triggered, this, [this] { OpenArticleLink(CurrentIndex, ArticleLink::ArchivedVersion); });

  connect(mMapEnabled, &QAction::triggered, this, [this] { mMapEnabled_Click(); });
  connect(mGettingStarted, &QAction::triggered, this, [this] { mGettingStarted_Click(); });
  connect(mAbout, &QAction::triggered, this, [this] { mAbout_Click(); });
  connect(mLicences, &QAction::triggered, this, [this] { mLicences_Click(); });
  for (int k = 0; k < 2; ++k) {
    connect(mTestVis[static_cast<size_t>(k)], &QAction::triggered, this, [this, k] { BuildMapFromMenu(k); });
  }
  for (int k = 0; k < 4; ++k) {
    connect(mNodeSz[static_cast<size_t>(k)], &QAction::triggered, this, [this, k] { mNodeSz_Click(k); });
  }
  // "Rebuild" builds the map again with the order it was drawn with.
  connect(mRebuild, &QAction::triggered, this, [this] { BuildMapFromMenu(m_mapPane.Order()); });
  connect(mFitMap, &QAction::triggered, this, [this] { mFitMap_Click(); });
  connect(mSaveMapImage, &QAction::triggered, this, [this] { mSaveMapImage_Click(); });
  connect(m_mapPane.LabelDegree, &QSlider::valueChanged, this, [this](int value) {
    m_mapPane.LabelDegreeValue->setNum(value);
    LabelDegree_Change();
  });
  m_mapPane.DVis.Events().OnNewNodeOver = [this](int32_t node) { DVis_OnNewNodeOver(node); };
  m_mapPane.DVis.Events().OnNodeClick = [this](int32_t node) { DVis_OnNodeClick(node); };

  connect(Search, &QPushButton::clicked, this, [this] { Search_Click(); });
  for (int k = 0; k < 5; ++k) {
    QLineEdit* field = ASQField[static_cast<size_t>(k)];
    // Enter searches and leaves the focus in the field, ready for the next word.
    connect(field, &QLineEdit::returnPressed, this, [this] { Search_Click(); });
    connect(field, &QLineEdit::textChanged, this, [this, k] { ASQField_Change(k); });
  }
  connect(MoreResults, &QPushButton::clicked, this, [this] { MoreResults_Click(); });
  // Scrolling to the end of the results asks for the next page, as the button does.
  connect(SearchResult->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
    if (value > 0 && value == SearchResult->verticalScrollBar()->maximum()) MoreResults_Click();
  });
  connect(SearchResult, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* row) { SearchResult_ItemClick(row); });
  connect(SearchResult, &ListView::ButtonReleased, this,
          [this](int button, QPoint at) { SearchResult_MouseUp(button, at); });
  connect(PearlList, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* row) { PearlList_ItemClick(row); });
  connect(PearlList, &ListView::GotFocus, this, [this] { PearlList_GotFocus(); });
  for (ListView* list : {CitedList, CitingList}) {
    connect(list, &QTreeWidget::itemClicked, this,
            [this, list](QTreeWidgetItem* row) { RelatedList_ItemClick(*list, row); });
  }
  const std::array<ListView*, 4> screened = {CitedList, PearlList, CitingList, SearchResult};
  for (size_t k = 0; k < screened.size(); ++k) m_screening.AttachList(*screened[k], k);
  for (ListView* list : {PearlList, CitedList, CitingList}) {
    connect(list, &ListView::ButtonReleased, this,
            [this, list](int button, QPoint at) { List_MouseUp(*list, button, at); });
    connect(list, &ListView::DeleteRequested, this, [this, list] { DeleteRow_Asked(*list); });
  }
  // A double click opens the article's page, as "Navigate to Source" does.
  for (ListView* list : {SearchResult, PearlList, CitedList, CitingList}) {
    connect(list, &QTreeWidget::itemDoubleClicked, this, [this, list](QTreeWidgetItem* row) {
      if (m_operationRunning) return;
      list->setCurrentItem(row);
      emit list->itemClicked(row, 0);
      OpenArticleLink(list == SearchResult ? -1 : CurrentIndex, ArticleLink::Source);
    });
  }
}

void FormMain::SetWindowEnabled(bool enabled) {
  centralWidget()->setEnabled(enabled);
  menuBar()->setEnabled(enabled);
}

bool FormMain::WindowEnabled() const { return centralWidget()->isEnabled() && menuBar()->isEnabled(); }

void FormMain::SetSourceName(const std::string& source) {
  m_caption = source.empty() ? "Wendrel Search" : "Wendrel Search (" + source + ")";
  m_sourceName = source.empty() ? "the search service" : source;
  ShowSessionCaption();
}

std::string FormMain::GetCaption() const { return windowTitle().toStdString(); }

void FormMain::mGettingStarted_Click() {
  m_host.MessageBox(
      "Pearls are the articles you start from: articles you know belong in your review.\n\n"
      "1. Search on the Search tab by words of the text, the title or an author, and the years.\n"
      "2. Right-click a result (or choose it and press Ctrl+P) and choose \"Add to Pearl\": the program "
      "fetches the articles it cites (the Cited List) and the articles citing it (the Citing List).\n"
      "3. Click \"Cited By\" above the Cited List or \"Cites\" above the Citing List to sort by it: an article "
      "related to several pearls is a candidate for the next pearl. Add it, and go on.\n"
      "4. Save the Pearl List (Ctrl+S) to grow the same chain again later, and take the candidates into "
      "your reference manager with Session > Export for Reference Managers.\n\n"
      "The counts: \"Cited By\" is how many pearls cite the article, \"Cites\" how many pearls it cites, "
      "\"Cited\" how often it is cited in all. A click on a pearl makes its articles bold; a click on "
      "another article makes its pearls bold.\n\n"
      "The map (Map > Enabled) places every article by the likeness of its title and abstract. The "
      "mouse wheel zooms about the pointer; drag a square to zoom in; hold the right button to zoom "
      "out; the digit keys pan; a double click, Home or Map > Fit shows the whole map; a click on a "
      "node shows its article.",
      "Getting Started", MessageIcon::Information, MessageButtons::Ok);
}

void FormMain::mAbout_Click() {
  m_host.MessageBox(std::string("Wendrel Search ") + kProgramVersion +
                        "\nCitation chaining by pearl growing.\n" + kLicenceLine +
                        ";\nHelp > Licences\u2026 lists the libraries it uses and their licences.\n\n"
                        "Articles come from " + m_sourceName + " at " + m_serviceAddress +
                        ".\nWorking files and the OpenAlex cache live in " + UserCacheFolder() +
                        ",\nthe settings in " + SettingsFile() +
                        ".\nOpenAlex's data is free to use under CC0.",
                    "About Wendrel Search", MessageIcon::Information, MessageButtons::Ok);
}

void FormMain::mLicences_Click() {
  QFile notice(":/NOTICE");
  const std::string text = notice.open(QIODevice::ReadOnly)
                               ? notice.readAll().toStdString()
                               : std::string("The licence notice is missing from this build.");
  m_host.MessageBox(text, "Licences", MessageIcon::Information, MessageButtons::Ok);
}

void FormMain::ShowSessionCaption() {
  // A session file of the user's holds every change: no "*" while it keeps them.
  if (m_session && !m_sessionIsAutosave) {
    const QString name = QFileInfo(QString::fromStdString(m_session->Path())).fileName();
    if (m_session->ReadOnly()) {
      SetCaption(name.toStdString() + " (read-only) \u2014 " + m_caption);
      SessionStatus->setText("Read-only: changes are not kept");
      SessionStatus->setToolTip(QString::fromStdString(m_session->ReadOnlyReason()));
    } else if (!m_session->WriteError().empty()) {
      SetCaption(name.toStdString() + "* \u2014 " + m_caption);
      SessionStatus->setText("Changes are no longer written to the file: Save Session As keeps them");
      SessionStatus->setToolTip(QString::fromStdString(m_session->WriteError()));
    } else {
      SetCaption(name.toStdString() + " \u2014 " + m_caption);
    }
    SessionStatus->setVisible(!SessionKept());
    return;
  }
  // The autosave file failing (disk full, folder read-only) leaves the session in memory alone.
  const bool autosaveFailed = m_session && !m_session->WriteError().empty();
  if (autosaveFailed) {
    SessionStatus->setText("The session is no longer autosaved: Save Session As keeps it");
    SessionStatus->setToolTip(QString::fromStdString(m_session->WriteError()));
  }
  SessionStatus->setVisible(autosaveFailed);
  // "*" exactly when closing would ask to save: an untitled session's work is unsaved too.
  const QString file = !PearlListPath.isEmpty() ? PearlListPath : m_loadedFile;
  const bool unsaved = SessionChanged && !SessionKept();
  if (file.isEmpty() && !unsaved) {
    SetCaption(m_caption);
  } else {
    SetCaption((file.isEmpty() ? std::string("Untitled") : QFileInfo(file).fileName().toStdString()) +
               (unsaved ? "*" : "") + " \u2014 " + m_caption);
  }
}

void FormMain::SetCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }

void FormMain::ShowMessage(int index, bool visible) { MessageFrame[static_cast<size_t>(index)]->setVisible(visible); }

void FormMain::PopUp(QMenu& menu, QPoint globalPosition) { m_popup(menu, globalPosition); }

// ---------------------------------------------------------------------------------------------
// Commands that stay off while an operation runs

void FormMain::Enable(QAction* action, bool enabled) {
  m_wantEnabled[action] = enabled;
  if (!m_operationRunning) action->setEnabled(enabled);
}

void FormMain::ApplyCommandStates() {
  for (QAction* action : {mNew, mImportRIS, mExportRIS, mExportRISAs, mExportRISCited, mExportExchange, mOpenSession,
                          mSaveSessionAs, mAddPearl, mRemovePearl, mGoToSource, mGetPrePrint, mDeleteArticle,
                          mGrowIncluded, mRefreshSession}) {
    const auto wanted = m_wantEnabled.find(action);
    action->setEnabled(!m_operationRunning && (wanted == m_wantEnabled.end() || wanted->second));
  }
  Search->setEnabled(!m_operationRunning);
  mRecentSessions->setEnabled(!m_operationRunning && !m_recentSessions.isEmpty());
}

FormMain::Operation::Operation(FormMain& form, bool stoppable) : m_form(form) {
  m_form.m_operationRunning = true;
  m_form.m_stopRequested = false;
  m_form.m_reports.Begin();
  m_form.m_importItem = 0;
  m_form.m_importItems = 0;
  m_form.ApplyCommandStates();
  m_form.Progress->setRange(0, 0);
  m_form.Progress->setFormat("");
  m_form.Progress->show();
  m_form.StopButton->setVisible(stoppable);
  m_form.StopButton->setEnabled(stoppable);
  m_form.statusBar()->clearMessage();
}

FormMain::Operation::~Operation() {
  m_form.m_operationRunning = false;
  m_form.ApplyCommandStates();
  m_form.Progress->hide();
  m_form.StopButton->hide();
  m_form.ShowSessionCaption();
  if (m_form.m_closeWhenDone) {
    m_form.m_closeWhenDone = false;
    QTimer::singleShot(0, &m_form, [form = &m_form] { form->close(); });
  }
}

void FormMain::RequestStop() {
  if (!m_operationRunning || !StopButton->isVisible()) return;
  m_stopRequested = true;
  StopButton->setEnabled(false);
  statusBar()->showMessage("Stopping...");
  // The page being fetched is dropped rather than waited for: a hung service would otherwise hold
  // the stop until its wait ran out and then ask whether to wait again.
  m_http.AbortAll();
}

void FormMain::ReportRefusedPearl(const std::string& pk) {
  std::string why;
  switch (Chain.LastRefusal()) {
    case PearlRefusal::NoResponse:
      why = "its record could not be retrieved (" + Chain.LastRequestError() + ")";
      break;
    case PearlRefusal::NotFound:
      why = "the service knows no publication with the ID " + pk;
      break;
    default:
      return;  // refusals the chain has explained already, or nothing to explain
  }
  statusBar()->showMessage(QString::fromStdString("The article was not added: " + why));
}

bool FormMain::ReportFailure(const std::string& what) {
  // Only what the chain would have reported in boxes of its own: a service that refuses pages and
  // says why (a spent budget) has its reason in the status bar, where Retry would be no use.
  if (m_reports.Told() || !m_reports.Withheld()) return false;
  const std::string text = what + "\n\n" + m_reports.ServiceProblem(Chain.LastRequestError());
  return m_host.MessageBox(text, kMessageTitle, MessageIcon::Exclamation,
                           MessageButtons::RetryCancel) == MessageResult::Retry;
}

bool FormMain::ReportAddFailure(bool added, const std::string& notAdded) {
  if (Chain.Interrupted()) return false;
  if (!added && Chain.LastRefusal() == PearlRefusal::NoResponse) return ReportFailure(notAdded);
  if (added && Chain.FailedRequests() > 0)
    return ReportFailure("Some pages of the pearl's lists could not be fetched: it is only partly grown.");
  return false;
}

void FormMain::ReportGrowthEnd() {
  if (!Chain.Interrupted()) {
    // Pages that failed leave a pearl partly grown; the service's reason (OpenAlex's budget spent
    // and when it is renewed, say) tells the user whether growing it again now is any use. A pearl
    // that was not added has had its reason shown already.
    if (Chain.FailedRequests() > 0 && (m_importItems > 0 || Chain.LastRefusal() == PearlRefusal::None))
      statusBar()->showMessage(QString::fromStdString("Some pages could not be fetched: " + Chain.LastRequestError()));
    else if (const std::string left = m_budgetReport ? m_budgetReport() : std::string(); !left.empty())
      statusBar()->showMessage(QString::fromStdString(left));
    return;
  }
  int32_t first = 0;
  const bool partly = PartlyGrownPearls(first) > 0;
  if (m_importItems > 0) {
    statusBar()->showMessage(QString("Loading stopped: %1 of %2 pearls loaded%3")
                                 .arg(m_importItem)
                                 .arg(m_importItems)
                                 .arg(partly ? ", the last one only partly grown" : ""));
  } else if (Chain.LastRefusal() != PearlRefusal::None) {
    statusBar()->showMessage("Stopped: the pearl was not added");
  } else {
    statusBar()->showMessage("Stopped: the pearl is only partly grown");
  }
}

int32_t FormMain::PartlyGrownPearls(int32_t& first) const {
  int32_t count = 0;
  first = 0;
  for (int32_t i = 1; i <= Chain.IndexSize(); ++i) {
    if (!Chain.PartlyGrown(i)) continue;
    if (first == 0) first = i;
    ++count;
  }
  return count;
}

void FormMain::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && m_operationRunning) {
    RequestStop();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Session: new, end, close

bool FormMain::ConfirmErase() {
  return m_host.MessageBox("This action will erase the current session. Proceed?", "Start New Session",
                           MessageIcon::None, MessageButtons::YesNo) == MessageResult::Yes;
}

void FormMain::mNew_Click() {
  if (m_operationRunning || !ConfirmErase()) return;
  DropSession();
  Chain.Clear();
  StartAutosaveFile();
  CurrentIndex = 0;
  RefreshLists();
  ShowSummary(0);
  PearlListPath.clear();
  m_loadedFile.clear();
  // An empty session holds nothing to save.
  SessionChanged = false;
  ShowSessionCaption();
  // A map of the emptied session would select nothing; it goes with the session.
  if (MapEnabled()) ClearMap();
}

void FormMain::mEndSession_Click() {
  m_newSession->Unload();
  close();
}

void FormMain::closeEvent(QCloseEvent* event) {
  if (m_operationRunning) {
    // Closing stops a growth or a load after its page; the close goes on once it has ended.
    m_closeWhenDone = true;
    RequestStop();
    event->ignore();
    return;
  }
  if (SessionChanged && !SessionKept()) {
    const MessageResult answer = m_host.MessageBox("Save Bibliography before closing?", kMessageTitle,
                                                   MessageIcon::None, MessageButtons::YesNoCancel);
    // Dismissing the question (Esc, the close box) cancels the close: only No gives the session up.
    if (answer != MessageResult::Yes && answer != MessageResult::No) {
      event->ignore();
      return;
    }
    if (answer == MessageResult::Yes) mExportRIS_Click();
    // A cancelled or failed save keeps the window open rather than losing the session.
    if (answer == MessageResult::Yes && SessionChanged) {
      event->ignore();
      return;
    }
  }
  event->accept();
  // Closed as the user chose: an autosave file is kept only for a process that ends otherwise.
  DropSession();
  if (m_keepSettings) SaveSettings();
  m_newSession->Unload();
  m_endProcess();
}

}  // namespace wendrel
