// FormMain's layout: the summary and search tabs over the map, the three lists with their captions
// and filters, the status bar, the menus and the lists' columns.
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenuBar>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/form_main.h"

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

// What a window manager's title bar and borders take at most, kept free around a window not yet
// shown (its frame is known only then).
constexpr int kAssumedTitleBar = 40;
constexpr int kAssumedBorder = 6;

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
  summaryLayout->addWidget(m_screening.BuildSummaryBox());
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

  left->addWidget(m_mapPane.BuildFrame());
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
  // A long notice is cut short rather than widening the window past a small screen; its tooltip
  // holds it whole.
  for (QLabel* notice : {PartlyGrownStatus, SessionStatus = new QLabel}) notice->setMinimumWidth(80);
  statusBar()->addPermanentWidget(PartlyGrownStatus);
  SessionStatus->setStyleSheet("color: #a00000");
  SessionStatus->hide();
  statusBar()->addPermanentWidget(SessionStatus);
  statusBar()->addPermanentWidget(Progress);
  statusBar()->addPermanentWidget(StopButton);
  if (const QScreen* shown = screen()) FitToScreen(shown->availableGeometry());
}

void FormMain::FitToScreen(const QRect& available) {
  // Before the window is shown its frame is unknown: room for a title bar and borders is kept then.
  const QMargins frame = isVisible() ? QMargins(geometry().left() - frameGeometry().left(),
                                                geometry().top() - frameGeometry().top(),
                                                frameGeometry().right() - geometry().right(),
                                                frameGeometry().bottom() - geometry().bottom())
                                     : QMargins(kAssumedBorder, kAssumedTitleBar, kAssumedBorder, kAssumedBorder);
  const QRect inner = available.marginsRemoved(frame);
  if (inner.isEmpty()) return;
  resize(size().boundedTo(inner.size()));
  // The window's top-left corner goes where its whole frame is on the screen.
  QPoint at = pos();
  at.setX(std::clamp(at.x(), available.left(), std::max(available.left(), available.right() + 1 - frameGeometry().width())));
  at.setY(std::clamp(at.y(), available.top(), std::max(available.top(), available.bottom() + 1 - frameGeometry().height())));
  if (isVisible() || testAttribute(Qt::WA_Moved)) move(at);
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
    year->setPlaceholderText("yyyy");
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
  row.addWidget(m_screening.BuildFilterButton(list, index));
  connect(filter, &QLineEdit::textChanged, &list, [&list](const QString& text) { list.SetFilter(text); });
  connect(&list, &ListView::Filtered, shown, [shown, &list](int count, int total) {
    shown->setText(list.Filtering() ? QString("%1 of %2 shown").arg(count).arg(total) : QString());
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
    // The counts with the decisions may be longer than the room beside the filter: they are cut
    // short rather than widening the window, and read whole in the tooltip.
    (*status)->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
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
  mReport = mSession->addAction("Report…");
  mSession->addSeparator();
  mOpenSession = mSession->addAction("Open Session…");
  mOpenSession->setShortcut(QKeySequence("Ctrl+Shift+O"));
  mSaveSessionAs = mSession->addAction("Save Session As…");
  mRecentSessions = mSession->addMenu("Recent Sessions");
  mSession->addSeparator();
  m_screening.AddSessionCommands(*mSession);
  mGrowIncluded = mSession->addAction("Grow Included as Pearls");
  mRefreshSession = mSession->addAction("Refresh Session");
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
  m_screening.AddArticleCommands(*mArticle);

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
  mLicences = mHelp->addAction("Licences\u2026");
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
  // The screening columns follow the described ones, which keep their places.
  const auto screened = [&](std::vector<std::pair<QString, int>> columns) {
    for (auto& column : ScreeningControls::Columns(dpi)) columns.push_back(std::move(column));
    return columns;
  };
  CitedList->SetColumns(screened(articleColumns("Cited By")));
  std::vector<std::pair<QString, int>> pearlColumns = articleColumns("Cited By");
  pearlColumns.emplace_back("Complete", static_cast<int>(72 * 1.6 * dpi));
  PearlList->SetColumns(screened(pearlColumns));
  // Shown beside the counts, where a narrow window still has it in view.
  PearlList->header()->moveSection(8, 2);
  CitingList->SetColumns(screened(articleColumns("Cites")));
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
  PearlList->headerItem()->setToolTip(
      8, "Whether the pearl's lists were fetched whole: \"yes\", or how much of them (capped, stopped or failed)");
  // The pearl counts, the citation count and "GI" are numbers.
  // The candidates related to the most pearls come first: the lists open sorted by their counts,
  // the largest first, and a click on a count's header sorts the largest first too.
  for (ListView* list : {CitedList, PearlList, CitingList}) {
    list->SetNumberColumns({0, 1, 7, list->columnCount() - 1});
    list->SetCountColumns({0, 1});
    list->SetSortOrder(Qt::DescendingOrder);
  }
  const std::pair<const char*, int> results[9] = {{"Rel", 500},     {"Cited", 500}, {"Author", 1000},
                                                  {"Year", 500},    {"Title", 3000}, {"Source", 3000},
                                                  {"PK", 500},      {"DOI", 500},    {"Abstract", 3000}};
  std::vector<std::pair<QString, int>> columns;
  for (auto [header, twips] : results) columns.emplace_back(header, static_cast<int>(twips / 15.0 * dpi));
  SearchResult->SetColumns(screened(columns));
  SearchResult->SetNumberColumns({0, 1, SearchResult->columnCount() - 1});
  SearchResult->SetCountColumns({1});
  // A wide list gives its room to the titles.
  for (ListView* list : {CitedList, PearlList, CitingList, SearchResult}) list->SetStretchColumn(4);
  const char* const resultTips[9] = {"The result's place in the service's answer", articleTips[1], articleTips[2],
                                     articleTips[3], articleTips[4], articleTips[5], articleTips[6],
                                     "The article's DOI", "The article's abstract"};
  for (int column = 0; column < 9; ++column) SearchResult->headerItem()->setToolTip(column, resultTips[column]);
  for (ListView* list : {CitedList, PearlList, CitingList, SearchResult}) {
    ScreeningControls::PlaceColumns(*list);
    const int first = list->columnCount() - ScreeningControls::kColumns;
    for (int k = 0; k < ScreeningControls::kColumns; ++k)
      list->headerItem()->setToolTip(first + k, ScreeningControls::kColumnTips[k]);
  }
}

}  // namespace wendrel
