// FormMain: start-up, the window's layout and menus, closing, "New Pearl List", "End Session
// (Exit)", the progress display while pearls grow, and the guard against a second operation.
#include "ui/form_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenuBar>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QScreen>
#include <QSlider>
#include <QDir>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "text/text_functions.h"
#include "pointmap/article_look.h"
#include "layout/spatial.h"
#include "ui/export_dialog.h"
#include "ui/form_new_session.h"

namespace wendrel {

namespace {

// Selects a line edit's whole text whenever it takes the focus, by mouse or keyboard, once the
// click that gave the focus has placed its cursor.
class SelectOnFocus : public QObject {
 public:
  explicit SelectOnFocus(QLineEdit* field) : QObject(field), m_field(field) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == m_field && event->type() == QEvent::FocusIn) {
      QTimer::singleShot(0, m_field, [field = m_field] { field->selectAll(); });
    }
    return false;
  }

 private:
  QLineEdit* m_field;
};

constexpr const char* kMessageTitle = "Endrel Search";

const char* const kBusyMessages[4] = {"Searching for missing fields...", "Searching for matching records...",
                                      "Retrieving cited articles...", "Retrieving citing articles..."};

QFrame* NewMessageFrame(const char* text) {
  auto* frame = new QFrame;
  frame->setFrameShape(QFrame::StyledPanel);
  auto* layout = new QHBoxLayout(frame);
  auto* label = new QLabel(text);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  layout->addWidget(label);
  frame->hide();
  return frame;
}

}  // namespace

FormMain::FormMain(Host& host, HttpClient& http, std::string serviceAddress)
    : Chain(host, http, serviceAddress),
      CommonDialog1(this),
      m_host(host),
      m_http(http),
      m_serviceAddress(std::move(serviceAddress)) {
  m_endProcess = [] { QCoreApplication::quit(); };
  m_popup = [](QMenu& menu, QPoint at) { menu.exec(at); };
  m_showExport = [](ExportDialog& dialog) { return dialog.exec() == QDialog::Accepted; };

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
                       [this](int32_t page, int32_t pages) {
                         Progress->setRange(0, pages);
                         Progress->setValue(page);
                         Progress->setFormat(m_importItems > 0 ? QString("Pearl %1 of %2: page %3 of %4")
                                                                     .arg(m_importItem)
                                                                     .arg(m_importItems)
                                                                     .arg(page)
                                                                     .arg(pages)
                                                               : QString("Page %1 of %2").arg(page).arg(pages));
                       },
                   .ImportItem =
                       [this](int32_t item, int32_t items) {
                         m_importItem = item;
                         m_importItems = items;
                         Progress->setRange(0, items);
                         Progress->setValue(item - 1);
                         Progress->setFormat(QString("Pearl %1 of %2").arg(item).arg(items));
                       },
                   .StopRequested = [this] { return m_stopRequested; }});
  AppID = kAppID;
  Chain.SetApplicationID(AppID);
  ShowSessionCaption();
  CommonDialog1.DefaultExt = "ris";
  // File dialogs open in the user's documents (then wherever the last file was chosen).
  CommonDialog1.InitDir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (CommonDialog1.InitDir.isEmpty() || !QDir(CommonDialog1.InitDir).exists()) CommonDialog1.InitDir = QDir::homePath();
  BuildWindow();
  PrepareListColumns();
  SearchResult->hide();
  RetrievalLimit = 9999;
  Enable(mAddPearl, false);
  Enable(mRemovePearl, false);
  Enable(mDeleteArticle, false);
  Enable(mExportExchange, false);

  DVis.InitializePM2DCtl(*DVisContainer, &DVisContainer->Picture());
  DVisContainer->Attach(DVis);
  ApplyArticleMapLook(DVis, DVisContainer->Picture());
  // The map is off until "Enabled" is ticked.
  DVis.PM2DCtlObject()->SetEnabled(false);
  DVisContainer->setEnabled(false);
  mFitMap->setEnabled(false);
  mSaveMapImage->setEnabled(false);

  ConnectHandlers();
  m_newSession = std::make_unique<FormNewSession>(*this);
}

FormMain::~FormMain() = default;

void FormMain::ShowStartUp() {
  show();
  SetWindowEnabled(false);
  m_newSession->show();
}

// ---------------------------------------------------------------------------------------------
// Layout

void FormMain::BuildWindow() {
  resize(1440, 900);
  BuildMenus();

  auto* left = LeftSplit = new QSplitter(Qt::Vertical);
  SSTab1 = new QTabWidget;
  auto* summaryTab = new QWidget;
  auto* summaryLayout = new QVBoxLayout(summaryTab);
  SummaryFrame = new QGroupBox;
  auto* summaryFrameLayout = new QVBoxLayout(SummaryFrame);
  MetaData = new QPlainTextEdit;
  MetaData->setReadOnly(true);
  QFont courier("Courier New");
  courier.setStyleHint(QFont::Monospace);
  MetaData->setFont(courier);
  summaryFrameLayout->addWidget(MetaData);
  summaryLayout->addWidget(SummaryFrame, 1);
  summaryLayout->addWidget(MessageFrame[0] = NewMessageFrame(kBusyMessages[0]));

  // Relations on the left, the article's keys on the right, in three lines' height.
  DebugFrame = new QGroupBox;
  auto* debugLayout = new QHBoxLayout(DebugFrame);
  debugLayout->setContentsMargins(4, 2, 4, 2);
  GIDebug = new QPlainTextEdit;
  GIDebug->setReadOnly(true);
  GIDebug->setFixedHeight(GIDebug->fontMetrics().lineSpacing() * 3 + 10);
  debugLayout->addWidget(GIDebug, 3);
  auto* keys = new QFormLayout;
  for (QLineEdit*& id : IDNum) {
    id = new QLineEdit;
    id->setReadOnly(true);
  }
  keys->addRow("ID", IDNum[0]);
  keys->addRow("Key", IDNum[1]);
  // An ID stays whole in a small window.
  IDNum[0]->setMinimumWidth(IDNum[0]->fontMetrics().horizontalAdvance("W00000000000") + 12);
  // The chain never fills the key: an always empty field only puzzles.
  keys->setRowVisible(IDNum[1], false);
  debugLayout->addLayout(keys, 2);
  summaryLayout->addWidget(DebugFrame);
  SSTab1->addTab(summaryTab, "Article Summary");
  SSTab1->addTab(BuildSearchPanel(), "Search");
  left->addWidget(SSTab1);

  VisualizationFrame = new QGroupBox("Map");
  auto* mapLayout = new QVBoxLayout(VisualizationFrame);
  DVisContainer = new MapCanvas;
  mapLayout->addWidget(DVisContainer, 1);
  MapHint = new QLabel(
      "Wheel: zoom \u00b7 drag: zoom in \u00b7 right button: zoom out \u00b7 1\u20139: pan \u00b7 "
      "Home or double-click: whole map");
  // A narrow panel cuts the line short rather than growing for it.
  MapHint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  mapLayout->addWidget(MapHint);
  auto* sliderRow = new QHBoxLayout;
  sliderRow->addWidget(new QLabel("Labels from degree"));
  LabelDegree = new QSlider(Qt::Horizontal);
  LabelDegree->setRange(1, 10);
  LabelDegree->setValue(3);
  sliderRow->addWidget(LabelDegree, 1);
  LabelDegreeValue = new QLabel("3");
  LabelDegreeValue->setMinimumWidth(LabelDegreeValue->fontMetrics().horizontalAdvance("0000"));
  sliderRow->addWidget(LabelDegreeValue);
  mapLayout->addLayout(sliderRow);
  left->addWidget(VisualizationFrame);
  VisualizationFrame->hide();  // until Map > Enabled
  left->setStretchFactor(0, 1);
  left->setStretchFactor(1, 1);
  left->setSizes({400, 460});

  auto* split = MainSplit = new QSplitter(Qt::Horizontal);
  split->addWidget(left);
  split->addWidget(BuildListPanel());
  split->setStretchFactor(0, 2);
  split->setStretchFactor(1, 3);
  split->setSizes({620, 820});
  setCentralWidget(split);

  Progress = new QProgressBar;
  Progress->setMinimumWidth(260);
  Progress->setTextVisible(true);
  Progress->hide();
  StopButton = new QPushButton("Stop");
  StopButton->setToolTip("Stop now; the articles merged so far stay (Esc)");
  StopButton->hide();
  connect(StopButton, &QPushButton::clicked, this, [this] { RequestStop(); });
  PartlyGrownStatus = new QLabel;
  PartlyGrownStatus->hide();
  statusBar()->addPermanentWidget(PartlyGrownStatus);
  statusBar()->addPermanentWidget(Progress);
  statusBar()->addPermanentWidget(StopButton);
}

QWidget* FormMain::BuildSearchPanel() {
  Frame2 = new QGroupBox;
  auto* layout = new QVBoxLayout(Frame2);
  auto* fields = new QGridLayout;
  const char* const labels[5] = {"Text", "Title", "Author", "Year(s)", "To"};
  for (int k = 0; k < 5; ++k) ASQField[static_cast<size_t>(k)] = new QLineEdit;
  for (int k = 0; k < 3; ++k) {
    fields->addWidget(new QLabel(labels[k]), k, 0);
    fields->addWidget(ASQField[static_cast<size_t>(k)], k, 1, 1, 3);
  }
  fields->addWidget(new QLabel(labels[3]), 3, 0);
  fields->addWidget(ASQField[3], 3, 1);
  fields->addWidget(new QLabel(labels[4]), 3, 2);
  fields->addWidget(ASQField[4], 3, 3);
  for (QLineEdit* year : {ASQField[3], ASQField[4]}) {
    year->setMaximumWidth(80);
    // Four digits at most; a click or Tab into the field selects it, so typing replaces the year.
    year->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,4}"), year));
    year->installEventFilter(new SelectOnFocus(year));
  }
  layout->addLayout(fields);
  Search = new QPushButton("Search");
  layout->addWidget(Search, 0, Qt::AlignRight);
  // The results' place keeps its size while the list is hidden, so the fields stay at the top.
  auto* results = new QWidget;
  auto* resultsLayout = new QVBoxLayout(results);
  resultsLayout->setContentsMargins(0, 0, 0, 0);
  resultsLayout->addWidget(MessageFrame[1] = NewMessageFrame(kBusyMessages[1]));
  SearchResult = new ListView;
  // The results' filter shows with the first results.
  m_searchFilterRow = new QWidget;
  auto* filterRow = new QHBoxLayout(m_searchFilterRow);
  filterRow->setContentsMargins(0, 0, 0, 0);
  filterRow->addStretch(1);
  AddFilter(*filterRow, *SearchResult, 3);
  m_searchFilterRow->hide();
  resultsLayout->addWidget(m_searchFilterRow);
  resultsLayout->addWidget(SearchResult, 1);
  MoreResults = new QPushButton("More results");
  MoreResults->hide();
  resultsLayout->addWidget(MoreResults, 0, Qt::AlignRight);
  resultsLayout->addStretch(0);
  layout->addWidget(results, 1);
  // Tab walks the panel as it is laid out.
  QWidget* previous = ASQField[0];
  for (QWidget* next : std::initializer_list<QWidget*>{ASQField[1], ASQField[2], ASQField[3], ASQField[4], Search,
                                                       ListFilter[3], SearchResult, MoreResults}) {
    QWidget::setTabOrder(previous, next);
    previous = next;
  }
  return Frame2;
}

void FormMain::AddFilter(QHBoxLayout& row, ListView& list, size_t index) {
  auto* shown = new QLabel;
  auto* filter = ListFilter[index] = new QLineEdit;
  filter->setPlaceholderText("Filter");
  filter->setToolTip("Shows only the articles whose title, author, year or source hold this text");
  filter->setClearButtonEnabled(true);
  filter->setMaximumWidth(220);
  row.addWidget(shown);
  row.addWidget(filter);
  connect(filter, &QLineEdit::textChanged, &list, [&list](const QString& text) { list.SetFilter(text); });
  connect(&list, &ListView::Filtered, shown, [shown, &list](int count, int total) {
    shown->setText(list.Filter().isEmpty() ? QString() : QString("%1 of %2 shown").arg(count).arg(total));
  });
}

QWidget* FormMain::BuildListPanel() {
  auto* panel = new QWidget;
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(MessageFrame[2] = NewMessageFrame(kBusyMessages[2]));
  layout->addWidget(MessageFrame[3] = NewMessageFrame(kBusyMessages[3]));
  QFont narrow("Arial Narrow");
  narrow.setStyleHint(QFont::SansSerif);
  const char* const captions[3] = {"Cited List", "Pearl List", "Citing List"};
  int k = 0;
  for (auto [list, status] : {std::pair{&CitedList, &CitedStatus}, std::pair{&PearlList, &PearlStatus},
                              std::pair{&CitingList, &CitingStatus}}) {
    *status = new QLabel;
    *list = new ListView;
    (*list)->setFont(narrow);
    // Each list says what it is from the start; the counts follow once there are any.
    auto* heading = new QHBoxLayout;
    ListCaption[static_cast<size_t>(k)] = new QLabel(QString("<b>%1</b>").arg(captions[k]));
    heading->addWidget(ListCaption[static_cast<size_t>(k)]);
    heading->addWidget(*status, 1);
    AddFilter(*heading, **list, static_cast<size_t>(k++));
    layout->addLayout(heading);
    // The Pearl List is usually the shortest.
    layout->addWidget(*list, list == &PearlList ? 1 : 2);
  }
  return panel;
}

void FormMain::BuildMenus() {
  mSession = menuBar()->addMenu("&Session");
  mNew = mSession->addAction("New Pearl List");
  mNew->setShortcut(QKeySequence("Ctrl+N"));
  mSession->addSeparator();  // mSessionNull1
  mImportRIS = mSession->addAction("Load Pearl List");
  mImportRIS->setShortcut(QKeySequence("Ctrl+O"));
  mExportRIS = mSession->addAction("Save Pearl List");
  mExportRIS->setShortcut(QKeySequence("Ctrl+S"));
  mExportRISAs = mSession->addAction("Save Pearl List As");
  mExportRISAs->setShortcut(QKeySequence("Ctrl+Shift+S"));
  mExportRISCited = mSession->addAction("Save Cited List As");
  mExportExchange = mSession->addAction("Export for Reference Managers…");
  mSession->addSeparator();  // mSessionNull2
  mEndSession = mSession->addAction("End Session (Exit)");
  mEndSession->setShortcut(QKeySequence("Ctrl+Q"));

  mArticle = menuBar()->addMenu("&Article");
  mAddPearl = mArticle->addAction("Add to Pearl");
  mAddPearl->setShortcut(QKeySequence("Ctrl+P"));
  mRemovePearl = mArticle->addAction("Remove from Pearl");
  mArticle->addSeparator();  // mArticleNull1
  mGoToSource = mArticle->addAction("Navigate to Source");
  mGetPrePrint = mArticle->addAction("Navigate to Archived Version");
  mArticle->addSeparator();  // mArticleNull2
  mDeleteArticle = mArticle->addAction("Delete from all lists");

  mMap = menuBar()->addMenu("&Map");
  mNodeSize = mMap->addMenu("Node Size");
  const char* const sizes[4] = {"Constant", "Log Citation Count", "Cited Count", "Citing Count"};
  for (size_t k = 0; k < 4; ++k) {
    mNodeSz[k] = mNodeSize->addAction(sizes[k]);
    mNodeSz[k]->setCheckable(true);
  }
  mNodeSz[0]->setChecked(true);
  mRebuild = mMap->addAction("Rebuild");
  mTestVis[0] = mMap->addAction("First-Order Similarity");
  mTestVis[1] = mMap->addAction("Second-Order Similarity");
  mMapEnabled = mMap->addAction("Enabled");
  mMapEnabled->setCheckable(true);
  mMap->addSeparator();
  mFitMap = mMap->addAction("Fit");
  mSaveMapImage = mMap->addAction("Save Map Image\u2026");
  // The two orders are ticked by which one the map drawn was built with.
  for (QAction* order : mTestVis) order->setCheckable(true);

  mHelp = menuBar()->addMenu("&Help");
  mGettingStarted = mHelp->addAction("Getting Started");
  mGettingStarted->setShortcut(QKeySequence::HelpContents);
  mAbout = mHelp->addAction("About Wendrel Search");
}

void FormMain::PrepareListColumns() {
  // The described widths are in two units: small ones for the article lists, twips for the
  // search results. Both are turned into pixels keeping their proportions.
  const double dpi = logicalDpiX() > 0 ? logicalDpiX() / 96.0 : 1.0;
  const auto articleColumns = [&](const char* first) {
    const std::pair<const char*, int> described[8] = {{first, 24},    {"Cited", 32},   {"Author", 64}, {"Year", 32},
                                                      {"Title", 128}, {"Source", 128}, {"PK", 64},     {"GI", 24}};
    std::vector<std::pair<QString, int>> columns;
    for (auto [header, width] : described) columns.emplace_back(header, static_cast<int>(width * 1.6 * dpi));
    return columns;
  };
  CitedList->SetColumns(articleColumns("Cited By"));
  PearlList->SetColumns(articleColumns("Cited By"));
  CitingList->SetColumns(articleColumns("Cites"));
  const char* const articleTips[8] = {
      nullptr,
      "How often the article is cited in all, as the search service counts",
      "The article's first author",
      "The year the article was published",
      "The article's title",
      "The journal or conference",
      "The article's ID at the search service",
      "The article's number in this session"};
  for (ListView* list : {CitedList, PearlList, CitingList}) {
    list->headerItem()->setToolTip(0, list == CitingList ? "How many pearls this article cites"
                                                         : "How many pearls cite this article");
    for (int column = 1; column < 8; ++column) list->headerItem()->setToolTip(column, articleTips[column]);
  }
  // The pearl counts, the citation count and "GI" are numbers.
  for (ListView* list : {CitedList, PearlList, CitingList}) list->SetNumberColumns({0, 1, 7});
  const std::pair<const char*, int> results[9] = {{"Rel", 500},     {"Cited", 500}, {"Author", 1000},
                                                  {"Year", 500},    {"Title", 3000}, {"Source", 3000},
                                                  {"PK", 500},      {"DOI", 500},    {"Abstract", 3000}};
  std::vector<std::pair<QString, int>> columns;
  for (auto [header, twips] : results) columns.emplace_back(header, static_cast<int>(twips / 15.0 * dpi));
  SearchResult->SetColumns(columns);
  SearchResult->SetNumberColumns({0, 1});
  // A wide list gives its room to the titles.
  for (ListView* list : {CitedList, PearlList, CitingList, SearchResult}) list->SetStretchColumn(4);
  const char* const resultTips[9] = {"The result's place in the service's answer", articleTips[1], articleTips[2],
                                     articleTips[3], articleTips[4], articleTips[5], articleTips[6],
                                     "The article's DOI", "The article's abstract"};
  for (int column = 0; column < 9; ++column) SearchResult->headerItem()->setToolTip(column, resultTips[column]);
}

void FormMain::ConnectHandlers() {
  connect(mNew, &QAction::triggered, this, [this] { mNew_Click(); });
  connect(mImportRIS, &QAction::triggered, this, [this] { ImportRIS(); });
  connect(mExportRIS, &QAction::triggered, this, [this] { mExportRIS_Click(); });
  connect(mExportRISAs, &QAction::triggered, this, [this] { mExportRISAs_Click(); });
  connect(mExportRISCited, &QAction::triggered, this, [this] { mExportRISCited_Click(); });
  connect(mExportExchange, &QAction::triggered, this, [this] { mExportExchange_Click(); });
  connect(mEndSession, &QAction::triggered, this, [this] { mEndSession_Click(); });
  connect(mAddPearl, &QAction::triggered, this, [this] { mAddPearl_Click(); });
  connect(mRemovePearl, &QAction::triggered, this, [this] { mRemovePearl_Click(); });
  connect(mDeleteArticle, &QAction::triggered, this, [this] { mDeleteArticle_Click(); });
  connect(mGoToSource, &QAction::triggered, this, [this] { OpenArticleLink(CurrentIndex, 1); });
  connect(mGetPrePrint, &QAction::triggered, this, [this] { OpenArticleLink(CurrentIndex, 2); });

  connect(mMapEnabled, &QAction::triggered, this, [this] { mMapEnabled_Click(); });
  connect(mGettingStarted, &QAction::triggered, this, [this] { mGettingStarted_Click(); });
  connect(mAbout, &QAction::triggered, this, [this] { mAbout_Click(); });
  for (int k = 0; k < 2; ++k) {
    connect(mTestVis[static_cast<size_t>(k)], &QAction::triggered, this, [this, k] { BuildMapFromMenu(k); });
  }
  for (int k = 0; k < 4; ++k) {
    connect(mNodeSz[static_cast<size_t>(k)], &QAction::triggered, this, [this, k] { mNodeSz_Click(k); });
  }
  // "Rebuild" builds the map again with the order it was drawn with.
  connect(mRebuild, &QAction::triggered, this, [this] { BuildMapFromMenu(m_mapOrder); });
  connect(mFitMap, &QAction::triggered, this, [this] { mFitMap_Click(); });
  connect(mSaveMapImage, &QAction::triggered, this, [this] { mSaveMapImage_Click(); });
  connect(LabelDegree, &QSlider::valueChanged, this, [this](int value) {
    LabelDegreeValue->setNum(value);
    LabelDegree_Change();
  });
  DVis.Events().OnNewNodeOver = [this](int32_t node) { DVis_OnNewNodeOver(node); };
  DVis.Events().OnNodeClick = [this](int32_t node) { DVis_OnNodeClick(node); };

  connect(Search, &QPushButton::clicked, this, [this] { Search_Click(); });
  for (int k = 0; k < 5; ++k) {
    QLineEdit* field = ASQField[static_cast<size_t>(k)];
    connect(field, &QLineEdit::returnPressed, this, [this] {
      Search->setFocus();
      Search_Click();
    });
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
      OpenArticleLink(list == SearchResult ? -1 : CurrentIndex, 1);
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
  m_sourceName = source.empty() ? "the local corpus service" : source;
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
  m_host.MessageBox(std::string("Wendrel Search ") + WENDREL_VERSION +
                        "\nCitation chaining by pearl growing.\n\n"
                        "Articles come from " + m_sourceName + " at " + m_serviceAddress +
                        ".\nWorking files and the OpenAlex cache live in " + UserCacheFolder() +
                        ",\nthe settings in " + SettingsFile() +
                        ".\nOpenAlex's data is free to use under CC0.",
                    "About Wendrel Search", MessageIcon::Information, MessageButtons::Ok);
}

void FormMain::ShowSessionCaption() {
  const QString file = !PearlListPath.isEmpty() ? PearlListPath : m_loadedFile;
  if (file.isEmpty() || Chain.Count() == 0) {
    SetCaption(m_caption);
  } else {
    SetCaption(QFileInfo(file).fileName().toStdString() + (SessionChanged ? "*" : "") + " \u2014 " + m_caption);
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
  for (QAction* action : {mNew, mImportRIS, mExportRIS, mExportRISAs, mExportRISCited, mExportExchange, mAddPearl,
                          mRemovePearl, mGoToSource, mGetPrePrint, mDeleteArticle}) {
    const auto wanted = m_wantEnabled.find(action);
    action->setEnabled(!m_operationRunning && (wanted == m_wantEnabled.end() || wanted->second));
  }
  Search->setEnabled(!m_operationRunning);
}

FormMain::Operation::Operation(FormMain& form, bool stoppable) : m_form(form) {
  m_form.m_operationRunning = true;
  m_form.m_stopRequested = false;
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
  Chain.Clear();
  CurrentIndex = 0;
  RefreshLists();
  ShowSummary(0);
  PearlListPath.clear();
  m_loadedFile.clear();
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
  if (SessionChanged) {
    const MessageResult answer = m_host.MessageBox("Save Bibliography before closing?", kMessageTitle,
                                                   MessageIcon::None, MessageButtons::YesNo);
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
  if (m_keepSettings) SaveSettings();
  m_newSession->Unload();
  m_endProcess();
}

namespace {

// The program's settings file: $XDG_CONFIG_HOME/wendrel/wendrel-search.conf.
QSettings ProgramSettings() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "wendrel", "wendrel-search"); }

const char* SettingsKey(const ListView* list, const FormMain& form) {
  return list == form.CitedList ? "lists/cited" : list == form.PearlList ? "lists/pearls"
                                              : list == form.CitingList ? "lists/citing" : "lists/search";
}

}  // namespace

std::string FormMain::SettingsFile() { return ProgramSettings().fileName().toStdString(); }

void FormMain::RestoreSettings() {
  m_keepSettings = true;
  QSettings settings = ProgramSettings();
  restoreGeometry(settings.value("window/geometry").toByteArray());
  LeftSplit->restoreState(settings.value("window/left").toByteArray());
  MainSplit->restoreState(settings.value("window/split").toByteArray());
  // Only the widths: the sort column and order stay the lists' own.
  for (ListView* list : {CitedList, PearlList, CitingList, SearchResult}) {
    const QVariantList widths = settings.value(SettingsKey(list, *this)).toList();
    for (int column = 0; column < std::min(static_cast<int>(widths.size()), list->columnCount()); ++column) {
      if (const int width = widths[column].toInt(); width > 0) list->setColumnWidth(column, width);
    }
  }
  const QString folder = settings.value("files/folder").toString();
  if (!folder.isEmpty() && QDir(folder).exists()) CommonDialog1.InitDir = folder;
  if (settings.value("map/enabled", false).toBool() != mMapEnabled->isChecked()) mMapEnabled->trigger();
}

void FormMain::SaveSettings() const {
  QSettings settings = ProgramSettings();
  settings.setValue("window/geometry", saveGeometry());
  settings.setValue("window/left", LeftSplit->saveState());
  settings.setValue("window/split", MainSplit->saveState());
  for (const ListView* list : {CitedList, PearlList, CitingList, SearchResult}) {
    QVariantList widths;
    for (int column = 0; column < list->columnCount(); ++column) widths << list->OwnColumnWidth(column);
    settings.setValue(SettingsKey(list, *this), widths);
  }
  settings.setValue("files/folder", CommonDialog1.InitDir);
  settings.setValue("map/enabled", mMapEnabled->isChecked());
}

}  // namespace wendrel
