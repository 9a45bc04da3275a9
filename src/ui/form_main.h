// FormMain: the program's one working window. It owns the session's citation chain and the
// article map for the life of the process and shows them through the search panel, the three
// article lists with the summary, the session and article menus and the map panel.
#pragma once

#include <QAction>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "article_map/article_map.h"
#include "chain/citation_chain.h"
#include "platform/host.h"
#include "platform/http_client.h"
#include "ui/failure_reports.h"
#include "ui/file_dialog.h"
#include "ui/list_view.h"
#include "ui/map_panel.h"
#include "ui/screening_controls.h"

namespace wendrel {

class ExportDialog;
class FormNewSession;
class SessionFile;

// Controls keep their described names; arrays of like controls are std::arrays indexed from 0.
// Chain indexes (the lists' "GI" column, CurrentIndex) count from 1; map nodes from 0 (node of
// record i is i - 1). Everything runs on the window's thread: long operations give the event
// loop turns through the host, and while one runs the window refuses to start another.
class FormMain : public QMainWindow, public Caption {
 public:
  // The service application ID the window sends with every request.
  static constexpr const char* kAppID = "7A1C3E5B9D2F4A6C8E0B1D3F5A7C9E1B3D5F7A9C";
  // The title of the window's own message boxes.
  static constexpr const char* kMessageTitle = "Wendrel Search";

  FormMain(Host& host, HttpClient& http, std::string serviceAddress);
  ~FormMain() override;

  // --- Session state ---
 private:
  // Declared before Chain, which reports its failures through it.
  FailureReports m_reports;

 public:
  MASCitationChain Chain;
  int32_t CurrentIndex = 0;
  QString PearlListPath;
  bool SessionChanged = false;
  int32_t CitingAsked = 0;  // citing articles the last pearl grown asked for (AddPearl sets it)
  FileDialog CommonDialog1;

  // --- Controls ---
  QTabWidget* SSTab1 = nullptr;
  QPlainTextEdit* MetaData = nullptr;
  std::array<QLineEdit*, 5> ASQField{};
  QPushButton* Search = nullptr;
  // Fetches the next 100 results of the last search, appended; shown while there are more.
  QPushButton* MoreResults = nullptr;
  ListView* SearchResult = nullptr;
  ListView* PearlList = nullptr;
  ListView* CitedList = nullptr;
  ListView* CitingList = nullptr;
  QLabel* PearlStatus = nullptr;
  QLabel* CitedStatus = nullptr;
  QLabel* CitingStatus = nullptr;
  std::array<QFrame*, 4> MessageFrame{};
  // The lists' names above them: "Cited List", "Pearl List", "Citing List".
  std::array<QLabel*, 3> ListCaption{};
  // The filter boxes of the Cited, Pearl and Citing Lists and of the search results.
  std::array<QLineEdit*, 4> ListFilter{};
  QPlainTextEdit* GIDebug = nullptr;
  std::array<QLineEdit*, 2> IDNum{};
  QProgressBar* Progress = nullptr;
  QPushButton* StopButton = nullptr;
  // Names the pearls whose growth was stopped for as long as they stay partly grown.
  QLabel* PartlyGrownStatus = nullptr;
  // Says when the session's file does not keep the changes: open read-only, or a write failed.
  QLabel* SessionStatus = nullptr;

  QMenu* mSession = nullptr;
  QAction* mNew = nullptr;
  QAction* mImportRIS = nullptr;
  QAction* mExportRIS = nullptr;
  QAction* mExportRISAs = nullptr;
  QAction* mExportRISCited = nullptr;
  QAction* mExportExchange = nullptr;
  QAction* mReport = nullptr;
  QAction* mOpenSession = nullptr;
  QAction* mSaveSessionAs = nullptr;
  QMenu* mRecentSessions = nullptr;
  QAction* mGrowIncluded = nullptr;
  QAction* mRefreshSession = nullptr;
  QAction* mEndSession = nullptr;
  QAction* mAddPearl = nullptr;
  QAction* mRemovePearl = nullptr;
  QAction* mGoToSource = nullptr;
  QAction* mGetPrePrint = nullptr;
  QAction* mDeleteArticle = nullptr;
  std::array<QAction*, 4> mNodeSz{};
  QAction* mRebuild = nullptr;
  std::array<QAction*, 2> mTestVis{};
  QAction* mMapEnabled = nullptr;
  QAction* mFitMap = nullptr;
  QAction* mSaveMapImage = nullptr;
  QSplitter* MainSplit = nullptr;  // the left side beside the lists
  QMenu* mHelp = nullptr;
  QAction* mGettingStarted = nullptr;
  QAction* mAbout = nullptr;
  QAction* mLicences = nullptr;

  FormNewSession* NewSession() { return m_newSession.get(); }
  // Shows the window disabled with the new-session dialog over it.
  void ShowStartUp();

  // The window's normal caption names the source when it is not the local corpus service:
  // "Wendrel Search (OpenAlex)".
  void SetSourceName(const std::string& source);
  // How Help > About names where the articles come from ("the local corpus service"); a service
  // given by its address is "the search service".
  void SetSourceDescription(std::string description) { m_sourceName = std::move(description); }
  // What is left of the source's daily budget, shown in the status bar after each growth (empty:
  // nothing to show).
  void SetBudgetReport(std::function<std::string()> report) { m_budgetReport = std::move(report); }

  // What ends the process once the window has closed (the program quits the event loop).
  void SetEndProcess(std::function<void()> endProcess) { m_endProcess = std::move(endProcess); }
  // Shows a context menu at a screen position; the program pops the menu up, tests choose an item.
  void SetPopupMenu(std::function<void(QMenu&, QPoint)> popup) { m_popup = std::move(popup); }
  // Shows the export dialog and says whether it was accepted; the program runs it modally, tests
  // make the choices on its controls.
  void SetExportDialog(std::function<bool(ExportDialog&)> show) { m_showExport = std::move(show); }
  // Asks the size of a saved map image, offering `suggested` for a view of `view` pixels; nothing
  // when cancelled. The program shows a small dialog, tests answer.
  using ImageSizeChooser = std::function<std::optional<QSize>(QSize suggested, QSize view)>;
  void SetImageSizeChooser(ImageSizeChooser choose) { m_chooseImageSize = std::move(choose); }

  // The window's contents (menus, panels, lists) on or off; the new-session dialog it owns stays usable.
  void SetWindowEnabled(bool enabled);
  bool WindowEnabled() const;
  // True while a search, a pearl's growth, a load or a look-up runs.
  bool OperationRunning() const { return m_operationRunning; }
  // Stops the running growth or load at once: the request in flight is aborted and what was merged
  // so far stays.
  void RequestStop();

  // --- Caption seam: the window's title ---
  std::string GetCaption() const override;
  void SetCaption(const std::string& caption) override;
  // The title between operations: the session's file (the Pearl List's, else the file loaded),
  // marked "*" while it holds unsaved changes, then the program's name.
  void ShowSessionCaption();

  // --- Settings: the window's size and place, the splitters, the column widths, the map's state
  // (on or off, the labels' degree) and the last folder, kept in SettingsFile() ---
  // Restores what the last window closed with, and keeps the settings again when this one closes.
  void RestoreSettings();
  void SaveSettings() const;
  // Shrinks the window (its frame included) to the screen's available area and moves it inside;
  // the first size asked for and a restored geometry may be larger than a small screen.
  void FitToScreen(const QRect& available);
  static std::string SettingsFile();

  // --- Session ---
  void mNew_Click();
  void mEndSession_Click();
  // --- Session files: once the session has a file, every change is written to it as it happens ---
  void mOpenSession_Click();
  void mSaveSessionAs_Click();
  // Opens a session file in place of the session; a file that cannot be opened is named in a message
  // and the session stays. False when it was not opened.
  bool OpenSessionFile(const QString& path);
  // The file the session is kept in (the user's or the autosave one); null when none.
  const SessionFile* Session() const { return m_session.get(); }
  SessionFile* Session() { return m_session.get(); }
  // The session files opened or saved last, the newest first (kept with the settings).
  const QStringList& RecentSessions() const { return m_recentSessions; }
  // How the session file names the source of its fetches ("corpus file demo.sqlite (...)").
  void SetSessionSource(std::string source);
  // Keeps the session, while it has no file of the user's, in an autosave file in this folder. An
  // autosave file left by a process that ended without closing (a crash, a kill) and holding pearls is
  // offered for restore first; a declined or empty one is removed. True when one was restored.
  bool StartAutosave(const std::string& folder);
  // --- Search panel ---
  // A reversed year range is refused in the status bar; otherwise the first 100 results.
  void Search_Click();
  void MoreResults_Click();
  // Help: what pearls are, how to grow them and read the counts, the map's gestures; and the
  // version, the licence, the data source in use and where the cache lives; the licences of the
  // libraries the program uses (the NOTICE file).
  void mGettingStarted_Click();
  void mAbout_Click();
  void mLicences_Click();
  void ASQField_Change(int index);
  void SearchResult_ItemClick(QTreeWidgetItem* row);
  void SearchResult_MouseUp(int button, QPoint globalPosition);
  // --- Lists and summary ---
  void RefreshLists();
  void ShowSummary(int32_t index);
  static int16_t FindListRow(const ListView& list, int32_t index);
  void PearlList_ItemClick(QTreeWidgetItem* row);
  void RelatedList_ItemClick(ListView& list, QTreeWidgetItem* row);
  void PearlList_GotFocus();
  void List_MouseUp(ListView& list, int button, QPoint globalPosition);
  // --- Session and article commands ---
  void ImportRIS();
  void mExportRIS_Click();
  void mExportRISAs_Click();
  void mExportRISCited_Click();
  // "Export for Reference Managers…": a list in a format other tools read, through the dialog.
  void mExportExchange_Click();
  // "Report…": the report of the session's citation searching, from its file, in a window of its own.
  void mReport_Click();
  void mAddPearl_Click();
  void mRemovePearl_Click();
  void mDeleteArticle_Click();
  // "Grow Included as Pearls": every included article not yet a pearl becomes a pearl of the next
  // generation and is grown, through the session's file (which keeps them queued until grown).
  void mGrowIncluded_Click();
  void mRefreshSession_Click();
  // Which page of an article "Navigate to Source" and "Navigate to Archived Version" open.
  enum class ArticleLink { Source, ArchivedVersion };
  // Opens the article's page in the browser: its DOI's page for Source when it has a DOI, else its
  // full text, else a title search. Index -1: the search result chosen.
  void OpenArticleLink(int32_t index, ArticleLink link);
  // --- Map panel ---
  void mMapEnabled_Click();
  void mTestVis_Click(int index);
  void mNodeSz_Click(int index);
  void LabelDegree_Change();
  // The whole map in view again (also the Home key on the map).
  void mFitMap_Click();
  // Writes the map as shown to a PNG file the user chooses.
  void mSaveMapImage_Click();
  void DVis_OnNewNodeOver(int32_t node);
  void DVis_OnNodeClick(int32_t node);
  // The map panel: the map (DVis) on its canvas, the label slider, the last build.
  MapPanel& MapPane() { return m_mapPane; }
  // Deciding on articles, the screening columns, filters and counts, the summary's screening fields.
  ScreeningControls& Screening() { return m_screening; }
  // The lists' counts beside their captions, each followed by the decisions among its rows.
  void ShowListStatus();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // While alive: the window refuses further operations, shows the progress bar (and the Stop
  // button when stoppable) and disables the commands that would start or change one.
  class Operation {
   public:
    Operation(FormMain& form, bool stoppable);
    ~Operation();
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

   private:
    FormMain& m_form;
  };

  void BuildWindow();
  void BuildMenus();
  // Session files: the file dialog with the sessions' filter; the old session let go (an autosave
  // file removed with it) before the chain is emptied; a new autosave file for an emptied chain.
  QString ChooseSessionFile(bool save);
  void DropSession();
  void StartAutosaveFile();
  void AttachSession(std::unique_ptr<SessionFile> session, bool autosave);
  // True when the session's changes go to a file of the user's as they happen.
  bool SessionKept() const;
  void AddRecentSession(const QString& path);
  void SaveRecentSessions() const;
  void FillRecentSessions();
  // The Complete column's text for a pearl; empty without a file.
  QString CompleteText(int32_t pearl) const;
  QWidget* BuildSearchPanel();
  QWidget* BuildListPanel();
  void PrepareListColumns();
  void ConnectHandlers();
  // Commands are switched through Enable, which remembers the wish while an operation keeps
  // them all off; ApplyCommandStates sets them as the operation state allows.
  void Enable(QAction* action, bool enabled);
  void ApplyCommandStates();

  // "This action will erase the current session. Proceed?": true for Yes.
  bool ConfirmErase();
  void AddSelectedSearchResult();
  // A filter box for the list, and the count of the rows it shows, at the end of the row.
  void AddFilter(QHBoxLayout& row, ListView& list, size_t index);
  // The Delete key on a list's row: asks, then removes the pearl (Pearl List) or deletes the
  // article from all lists.
  void DeleteRow_Asked(ListView& list);
  // A list's own file name for a save dialog, beside the session's file when there is one.
  QString SuggestedName(const QString& name) const;
  struct SearchQuery {
    std::string fullText, title, author;
    int16_t yearStart = 0, yearEnd = 0;
  };
  // The page of the last search's results that starts at startIdx (1: a new list).
  void RequestSearchPage(int32_t startIdx);
  bool MoreResultsAvailable() const;
  void AddShownArticle();
  // Within an operation: adds (or grows on) the pearl of chain index `index` (0: not in the chain
  // yet) and shows it as the current article; a refusal is said in the status bar. True when added.
  bool AddPearlShown(int32_t index, const std::string& pk, const std::string& key);
  bool SavePearlList(bool askForName);
  bool Export(const QString& fileName, ChainList list);
  void ShowMessage(int index, bool visible);
  void ReportGrowthEnd();
  // True when the session has a file it may write; otherwise tells why not (the text for a
  // read-only file, or for no file yet) and gives false.
  bool SessionWritable(const std::string& readOnly, const std::string& none);
  // After AddPearl refused the pearl with this ID: says in the status bar why it was not added.
  void ReportRefusedPearl(const std::string& pk);
  // After a growth: the one message on what failed (what, then the service's address and the
  // reason) with Retry, unless the user was told already. True when the user chose Retry.
  bool ReportFailure(const std::string& what);
  // After Add to Pearl: a pearl not added for want of its record, or grown only in part because
  // pages failed, is reported once with Retry; true when the user chose it.
  bool ReportAddFailure(bool added, const std::string& notAdded);
  // The pearls only partly grown: how many, and the first of them (0 when none).
  int32_t PartlyGrownPearls(int32_t& first) const;
  void PopUp(QMenu& menu, QPoint globalPosition);
  // Unbolds every list row and clears the selection of the lists other than the one clicked: a
  // click starts the marks afresh.
  void ClearMarks(const ListView& clicked);

  bool MapEnabled() const;
  void ClearMap();
  // Puts the node of every Pearl List row into cluster 1.
  void MarkPearlsOnMap();
  // Ticks the similarity order of the map drawn (none before a build).
  void TickMapOrder();
  // mTestVis_Click for the Map menu's items, which then say in the status line what was built.
  void BuildMapFromMenu(int index);
  // Weights for the ticked node size, handed to the map.
  void ApplyNodeSize();

  // Controls nothing outside the window uses.
  QGroupBox* SummaryFrame = nullptr;
  QGroupBox* Frame2 = nullptr;
  QGroupBox* DebugFrame = nullptr;
  QMenu* mArticle = nullptr;
  QMenu* mMap = nullptr;
  QMenu* mNodeSize = nullptr;
  QSplitter* LeftSplit = nullptr;  // the summary and search tabs over the map

  std::string AppID;
  // The file the session was last loaded from; unlike PearlListPath, saves never go there unasked.
  QString m_loadedFile;
  Host& m_host;
  HttpClient& m_http;
  std::string m_serviceAddress;
  std::string m_sourceName = "the search service";
  std::function<std::string()> m_budgetReport;
  bool m_keepSettings = false;  // RestoreSettings was called: closing saves them
  QWidget* m_searchFilterRow = nullptr;
  std::unique_ptr<FormNewSession> m_newSession;
  std::function<void()> m_endProcess;
  std::function<void(QMenu&, QPoint)> m_popup;
  std::function<bool(ExportDialog&)> m_showExport;
  ImageSizeChooser m_chooseImageSize;
  // The articles of the last search that found any, in the service's order, for exports.
  std::vector<CCRecord> m_searchRecords;
  SearchQuery m_searchQuery;
  int64_t m_searchTotal = 0;  // how many the last search found in all, as far as known
  int m_exportList = 0;  // the export dialog's choices when it was last accepted
  int m_exportFormat = 0;
  int m_exportDecision = 0;
  bool m_operationRunning = false;
  bool m_stopRequested = false;
  bool m_closeWhenDone = false;
  std::string m_caption = "Wendrel Search";
  int32_t m_importItem = 0;  // record of a load being grown, and the load's size
  int32_t m_importItems = 0;
  std::unordered_map<QAction*, bool> m_wantEnabled;
  MapPanel m_mapPane;
  ScreeningControls m_screening;
  // Declared after Chain, so that it lets the chain go before the chain goes.
  std::unique_ptr<SessionFile> m_session;
  bool m_sessionIsAutosave = false;
  std::string m_autosaveFolder;
  std::string m_sessionSource;
  QStringList m_recentSessions;
};

}  // namespace wendrel
