// The window's screening controls: decisions by key and menu, the reason picker, the screening
// columns, filters and counts, the summary's screening fields, the reasons and the generations.
#include "ui/screening_controls.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>

#include "chain/chain_file_io.h"
#include "platform/text_encoding.h"
#include "review/known_papers.h"
#include "review/library_reader.h"
#include "session/session_file.h"
#include "ui/form_main.h"

namespace wendrel {

namespace {

// The decision and the known mark a row shows, kept in its cells for the filters and the counts.
constexpr int kVerdictRole = Qt::UserRole;
constexpr int kKnownRole = Qt::UserRole;
constexpr int kNewRole = Qt::UserRole;

int FirstColumn(const QTreeWidget& list) { return list.columnCount() - ScreeningControls::kColumns; }

Verdict RowVerdict(const QTreeWidgetItem& row) {
  return static_cast<Verdict>(row.data(FirstColumn(*row.treeWidget()), kVerdictRole).toInt());
}

bool RowKnown(const QTreeWidgetItem& row) { return row.data(FirstColumn(*row.treeWidget()) + 1, kKnownRole).toBool(); }

bool RowNew(const QTreeWidgetItem& row) { return row.data(FirstColumn(*row.treeWidget()) + 3, kNewRole).toBool(); }

// The mark of a decision: a tint behind its cell, light enough to read its text on.
QColor DecisionColour(Verdict verdict) {
  switch (verdict) {
    case Verdict::Included:
      return {198, 239, 198};
    case Verdict::Excluded:
      return {248, 200, 200};
    case Verdict::Maybe:
      return {255, 226, 160};
    case Verdict::Undecided:
      break;
  }
  return {};
}

// "included", "excluded (wrong outcome)", "maybe"; empty for undecided.
QString VerdictText(const Screening& s) {
  if (s.verdict == Verdict::Undecided) return {};
  QString text = VerdictName(s.verdict);
  if (s.verdict == Verdict::Excluded) text += " (" + QString::fromStdString(s.reason) + ")";
  return text;
}

// "a, b" for labels ["a", "b"]; a label typed is ended by a comma or a semicolon.
QString JoinedLabels(const std::vector<std::string>& labels) {
  QStringList texts;
  for (const std::string& label : labels) texts << QString::fromStdString(label);
  return texts.join(", ");
}

std::vector<std::string> SplitLabels(const QString& text) {
  std::vector<std::string> labels;
  for (const QString& label : text.split(QRegularExpression("[,;]"))) labels.push_back(label.toStdString());
  return labels;
}

// The keys that decide on a list's selected rows, and the list the decisions go to.
class ListKeys : public QObject {
 public:
  ListKeys(ListView& list, std::function<bool(Verdict)> decide, std::function<void()> focused)
      : QObject(&list), m_decide(std::move(decide)), m_focused(std::move(focused)) {}

  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::FocusIn) m_focused();
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    std::optional<Verdict> verdict;
    switch (key->key()) {
      case Qt::Key_I: verdict = Verdict::Included; break;
      case Qt::Key_E: verdict = Verdict::Excluded; break;
      case Qt::Key_M: verdict = Verdict::Maybe; break;
      case Qt::Key_U: verdict = Verdict::Undecided; break;
      default: return false;
    }
    // Taken even when nothing is decided: these letters never start the list's search by typing.
    m_focused();
    m_decide(*verdict);
    return true;
  }

 private:
  std::function<bool(Verdict)> m_decide;
  std::function<void()> m_focused;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Dialogs

ReasonPicker::ReasonPicker(const std::vector<std::string>& reasons, const std::string& last, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle("Exclusion Reason");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Why is it excluded?"));
  Reasons = new QListWidget;
  for (const std::string& reason : reasons) Reasons->addItem(QString::fromStdString(reason));
  // A session that emptied its list still excludes for a reason.
  if (reasons.empty()) Reasons->addItem("other");
  const auto found = std::find(reasons.begin(), reasons.end(), last);
  Reasons->setCurrentRow(found == reasons.end() ? 0 : static_cast<int>(found - reasons.begin()));
  layout->addWidget(Reasons);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(Reasons, &QListWidget::itemActivated, this, &QDialog::accept);
  Reasons->setFocus();
}

std::string ReasonPicker::Chosen() const {
  const QListWidgetItem* current = Reasons->currentItem();
  return current ? current->text().toStdString() : std::string();
}

ReasonsEditor::ReasonsEditor(const std::vector<std::string>& reasons, QWidget* parent) : QDialog(parent) {
  setWindowTitle("Exclusion Reasons");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("The reasons offered when an article is excluded, one a line\n"
                               "(an empty list brings back the usual ones):"));
  Text = new QPlainTextEdit;
  QStringList lines;
  for (const std::string& reason : reasons) lines << QString::fromStdString(reason);
  Text->setPlainText(lines.join('\n'));
  layout->addWidget(Text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::vector<std::string> ReasonsEditor::Reasons() const {
  std::vector<std::string> reasons;
  for (const QString& line : Text->toPlainText().split('\n')) {
    if (!line.trimmed().isEmpty()) reasons.push_back(line.trimmed().toStdString());
  }
  return reasons.empty() ? DefaultExclusionReasons() : reasons;
}

// ---------------------------------------------------------------------------------------------
// Building

ScreeningControls::ScreeningControls(FormMain& form, Host& host)
    : m_form(form), m_host(host), m_runDialog([](QDialog& dialog) { return dialog.exec() == QDialog::Accepted; }) {}

const char* const ScreeningControls::kColumnTips[kColumns] = {
    "Your decision on the article (I include, E exclude, M maybe, U undecided)",
    "\"known\": the article is among the papers you already know",
    "The generation in which the article first appeared (0: the first pearls)",
    "\"new\": the article first appeared in the session's last refresh"};

std::vector<std::pair<QString, int>> ScreeningControls::Columns(double scale) {
  return {{"Decision", static_cast<int>(110 * scale)},
          {"Known", static_cast<int>(50 * scale)},
          {"Gen.", static_cast<int>(40 * scale)},
          {"New", static_cast<int>(40 * scale)}};
}

void ScreeningControls::PlaceColumns(ListView& list) {
  const int first = FirstColumn(list);
  list.header()->moveSection(list.header()->visualIndex(first), 1);
  list.header()->moveSection(list.header()->visualIndex(first + 1), 2);
}

void ScreeningControls::AddArticleCommands(QMenu& article) {
  article.addSeparator();
  // The keys are shown beside the commands; they act on the lists only, where they do not type.
  mInclude = article.addAction("Include\tI");
  mExclude = article.addAction("Exclude\u2026\tE");
  mMaybe = article.addAction("Maybe\tM");
  mUndecide = article.addAction("Undecided\tU");
  const std::pair<QAction*, Verdict> decisions[4] = {{mInclude, Verdict::Included},
                                                     {mExclude, Verdict::Excluded},
                                                     {mMaybe, Verdict::Maybe},
                                                     {mUndecide, Verdict::Undecided}};
  for (auto [action, verdict] : decisions) {
    QObject::connect(action, &QAction::triggered, &m_form, [this, verdict = verdict] { DecideSelected(verdict); });
  }
  QObject::connect(&article, &QMenu::aboutToShow, &m_form, [this] {
    if (m_activeList) UpdateCommands(*m_activeList);
  });
}

void ScreeningControls::AddSessionCommands(QMenu& session) {
  mExclusionReasons = session.addAction("Exclusion Reasons\u2026");
  mGenerations = session.addAction("Generations\u2026");
  mImportKnown = session.addAction("Import Known Papers\u2026");
  QObject::connect(mExclusionReasons, &QAction::triggered, &m_form, [this] { EditReasons(); });
  QObject::connect(mGenerations, &QAction::triggered, &m_form, [this] { ShowGenerations(); });
  QObject::connect(mImportKnown, &QAction::triggered, &m_form, [this] { ImportKnownPapers(); });
}

QWidget* ScreeningControls::BuildSummaryBox() {
  auto* box = new QWidget;
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(4, 0, 4, 0);
  DecisionText = new QLabel;
  DecisionText->setTextInteractionFlags(Qt::TextSelectableByMouse);
  LabelsField = new QLineEdit;
  LabelsField->setPlaceholderText("labels, separated by commas");
  NoteField = new QLineEdit;
  NoteField->setPlaceholderText("a note on the article");
  grid->addWidget(new QLabel("Decision"), 0, 0);
  grid->addWidget(DecisionText, 0, 1);
  grid->addWidget(new QLabel("Labels"), 0, 2);
  grid->addWidget(LabelsField, 0, 3);
  grid->addWidget(new QLabel("Note"), 1, 0);
  grid->addWidget(NoteField, 1, 1, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 2);
  // Kept on leaving the field or on Enter.
  for (QLineEdit* field : {LabelsField, NoteField}) {
    QObject::connect(field, &QLineEdit::editingFinished, &m_form, [this] { SaveFields(); });
  }
  ShowArticle(0);
  return box;
}

QPushButton* ScreeningControls::BuildFilterButton(ListView& list, size_t index) {
  auto* button = FilterButton[index] = new QPushButton("Screening");
  button->setToolTip("Leaves out articles by their screening");
  auto* menu = new QMenu(button);
  const std::pair<const char*, bool ScreeningFilter::*> options[4] = {
      {"Undecided only", &ScreeningFilter::undecidedOnly},
      {"Hide excluded", &ScreeningFilter::hideExcluded},
      {"Hide known", &ScreeningFilter::hideKnown},
      {"New since last run", &ScreeningFilter::newOnly}};
  for (auto [text, flag] : options) {
    QAction* option = menu->addAction(text);
    option->setCheckable(true);
    QObject::connect(option, &QAction::toggled, &m_form, [this, index, flag = flag](bool on) {
      ScreeningFilter filter = m_filters[index];
      filter.*flag = on;
      SetFilter(index, filter);
    });
  }
  button->setMenu(menu);
  m_lists[index] = &list;
  return button;
}

void ScreeningControls::AttachList(ListView& list, size_t index) {
  m_lists[index] = &list;
  // Several rows are screened at once: Shift and Ctrl with a click choose them.
  list.setSelectionMode(QAbstractItemView::ExtendedSelection);
  list.installEventFilter(new ListKeys(
      list, [this](Verdict verdict) { return DecideSelected(verdict); }, [this, &list] { m_activeList = &list; }));
  QObject::connect(&list, &QTreeWidget::itemClicked, &m_form, [this, &list] { m_activeList = &list; });
}

// ---------------------------------------------------------------------------------------------
// Shown

int32_t ScreeningControls::RowArticle(const ListView& list, const QTreeWidgetItem& row) const {
  // The search results name their article by its ID at the service; the lists by its number.
  if (&list == m_lists[3]) {
    const std::string pk = row.text(6).toStdString();
    return pk.empty() ? 0 : m_form.Chain.FindIndex(LowerCaseText(pk), "", "");
  }
  return row.text(7).toInt();
}

void ScreeningControls::FillRow(const ListView& list, QTreeWidgetItem& row) const {
  const int first = FirstColumn(list);
  const int32_t article = RowArticle(list, row);
  const Screening& s = m_form.Chain.Screenings().Of(article);
  row.setText(first, VerdictText(s));
  row.setToolTip(first, VerdictText(s));
  row.setData(first, kVerdictRole, static_cast<int>(s.verdict));
  const QColor colour = DecisionColour(s.verdict);
  row.setData(first, Qt::BackgroundRole, colour.isValid() ? QVariant(colour) : QVariant());
  // The mark stays readable in a row greyed as a pearl's.
  row.setData(first, Qt::ForegroundRole, colour.isValid() ? QVariant(QColor(Qt::black)) : QVariant());
  row.setText(first + 1, s.known ? "known" : "");
  row.setData(first + 1, kKnownRole, s.known);
  row.setText(first + 2, s.generation >= 0 ? QString::number(s.generation) : QString());
  const bool isNew = m_form.Chain.Screenings().IsNew(article);
  row.setText(first + 3, isNew ? "new" : "");
  row.setData(first + 3, kNewRole, isNew);
}

void ScreeningControls::FillRows(ListView& list) {
  for (int position = 1; position <= list.RowCount(); ++position) FillRow(list, *list.Row(position));
}

void ScreeningControls::Refresh() {
  for (ListView* list : m_lists) {
    if (!list) continue;
    FillRows(*list);
    list->Sort();
    list->ApplyFilter();
  }
  m_form.ShowListStatus();
}

QString ScreeningControls::CountsText(const ListView& list) const {
  int counts[4] = {};
  int known = 0;
  for (int position = 1; position <= list.RowCount(); ++position) {
    const QTreeWidgetItem& row = *list.Row(position);
    ++counts[static_cast<int>(RowVerdict(row))];
    known += RowKnown(row) ? 1 : 0;
  }
  const int undecided = counts[static_cast<int>(Verdict::Undecided)];
  QString text;
  if (undecided < list.RowCount()) {
    text += QString(", %1 included, %2 excluded")
                .arg(counts[static_cast<int>(Verdict::Included)])
                .arg(counts[static_cast<int>(Verdict::Excluded)]);
    if (const int maybe = counts[static_cast<int>(Verdict::Maybe)]; maybe > 0) text += QString(", %1 maybe").arg(maybe);
    text += QString(", %1 to screen").arg(undecided);
  }
  if (known > 0) text += QString(", %1 known").arg(known);
  return text;
}

void ScreeningControls::ShowArticle(int32_t index) {
  // An edit not yet kept belongs to the article it was typed for.
  SaveFields();
  m_shown = index > 0 ? index : 0;
  const Screening& s = m_form.Chain.Screenings().Of(m_shown);
  QString decision = m_shown == 0 ? QString() : s.verdict == Verdict::Undecided ? "undecided" : VerdictText(s);
  if (m_shown > 0 && s.known) decision += " \u00b7 known";
  if (m_shown > 0 && s.generation >= 0) decision += QString(" \u00b7 generation %1").arg(s.generation);
  DecisionText->setText(decision);
  const QColor colour = DecisionColour(s.verdict);
  DecisionText->setStyleSheet(m_shown > 0 && colour.isValid() ? QString("background: %1; padding: 0 4px").arg(colour.name())
                                                              : QString());
  LabelsField->setText(m_shown > 0 ? JoinedLabels(s.labels) : QString());
  NoteField->setText(m_shown > 0 ? QString::fromStdString(s.note) : QString());
  for (QLineEdit* field : {LabelsField, NoteField}) {
    field->setEnabled(m_shown > 0);
    field->setModified(false);
  }
}

void ScreeningControls::SaveFields() {
  if (m_shown <= 0 || !LabelsField) return;
  ScreeningBook& book = m_form.Chain.Screenings();
  bool changed = false;
  if (LabelsField->isModified()) {
    const std::vector<std::string> before = book.Of(m_shown).labels;
    book.SetLabels(m_shown, SplitLabels(LabelsField->text()));
    changed = book.Of(m_shown).labels != before;
    // The field shows the labels as kept: trimmed, each once.
    LabelsField->setText(JoinedLabels(book.Of(m_shown).labels));
  }
  if (NoteField->isModified()) {
    const std::string note = NoteField->text().trimmed().toStdString();
    changed = changed || book.Of(m_shown).note != note;
    book.SetNote(m_shown, note);
  }
  LabelsField->setModified(false);
  NoteField->setModified(false);
  if (changed) {
    m_form.SessionChanged = true;
    m_form.ShowSessionCaption();
  }
}

std::vector<int32_t> ScreeningControls::Targets(const ListView& list) const {
  std::vector<int32_t> articles;
  for (const QTreeWidgetItem* row : list.selectedItems()) {
    // A row the filters hide is never decided on unseen.
    if (row->isHidden()) continue;
    const int32_t article = RowArticle(list, *row);
    if (article > 0 && std::find(articles.begin(), articles.end(), article) == articles.end()) articles.push_back(article);
  }
  return articles;
}

void ScreeningControls::UpdateCommands(ListView& list) {
  m_activeList = &list;
  const bool any = !m_form.OperationRunning() && !Targets(list).empty();
  for (QAction* action : {mInclude, mExclude, mMaybe, mUndecide}) action->setEnabled(any);
}

// ---------------------------------------------------------------------------------------------
// Commands

std::optional<std::string> ScreeningControls::AskReason() {
  const ScreeningBook& book = m_form.Chain.Screenings();
  ReasonPicker picker(book.Reasons(), book.LastReason(), &m_form);
  if (!m_runDialog(picker)) return std::nullopt;
  return picker.Chosen();
}

bool ScreeningControls::DecideSelected(Verdict verdict) {
  if (m_form.OperationRunning()) return false;
  ListView* list = m_activeList;
  std::vector<int32_t> articles = list ? Targets(*list) : std::vector<int32_t>{};
  if (articles.empty()) {
    if (list == m_lists[3] && !list->selectedItems().isEmpty()) {
      m_form.statusBar()->showMessage("Only the chain's articles are screened: add the result to the pearls first");
    }
    return false;
  }
  std::string reason;
  if (verdict == Verdict::Excluded) {
    const std::optional<std::string> chosen = AskReason();
    if (!chosen) return false;
    reason = *chosen;
  }
  {
    // Many rows decided at once reach the session file in one transaction.
    std::optional<SessionFile::Batch> batch;
    if (m_form.Session()) batch.emplace(*m_form.Session());
    for (const int32_t article : articles) m_form.Chain.Screenings().Decide(article, verdict, reason);
  }
  Decided(*list, articles);
  return true;
}

void ScreeningControls::Decided(ListView& list, const std::vector<int32_t>& articles) {
  Refresh();
  m_form.SessionChanged = true;
  m_form.ShowSessionCaption();
  const Screening& s = m_form.Chain.Screenings().Of(articles.front());
  const QString what = s.verdict == Verdict::Undecided ? "undecided" : VerdictText(s);
  m_form.statusBar()->showMessage(articles.size() == 1
                                      ? QString("Article %1: %2").arg(articles.front()).arg(what)
                                      : QString("%1 articles: %2").arg(articles.size()).arg(what));
  if (std::find(articles.begin(), articles.end(), m_shown) != articles.end()) ShowArticle(m_shown);
  // A row the filters now hide gives the cursor to the next row shown, so that screening goes on.
  QTreeWidgetItem* current = list.currentItem();
  if (!current || !current->isHidden()) return;
  const int at = list.indexOfTopLevelItem(current);
  QTreeWidgetItem* next = nullptr;
  for (int k = at + 1; k < list.topLevelItemCount() && !next; ++k)
    if (!list.topLevelItem(k)->isHidden()) next = list.topLevelItem(k);
  for (int k = at - 1; k >= 0 && !next; --k)
    if (!list.topLevelItem(k)->isHidden()) next = list.topLevelItem(k);
  list.clearSelection();
  if (!next) return;
  list.setCurrentItem(next);
  emit list.itemClicked(next, 0);
}

void ScreeningControls::EditReasons() {
  if (m_form.OperationRunning()) return;
  ScreeningBook& book = m_form.Chain.Screenings();
  ReasonsEditor editor(book.Reasons(), &m_form);
  if (m_runDialog(editor)) book.SetReasons(editor.Reasons());
}

void ScreeningControls::ShowGenerations() {
  const std::vector<GenerationYield> yields = m_form.Chain.Screenings().Yields();
  std::string text;
  for (const GenerationYield& y : yields) {
    text += "Generation " + std::to_string(y.generation) +
            (y.generation == 0 ? " (the first pearls and what they brought)" : "") + ": " +
            std::to_string(y.articles) + (y.generation == 0 ? "" : " new") + (y.articles == 1 ? " article, " : " articles, ") +
            (y.included == 0 ? std::string("none") : std::to_string(y.included)) + " included\n";
  }
  if (text.empty()) text = "No article's generation is known yet: they are counted as the session's pearls grow.";
  m_host.MessageBox(text, "Generations", MessageIcon::Information, MessageButtons::Ok);
}

void ScreeningControls::ImportKnownPapers() {
  if (m_form.OperationRunning()) return;
  FileDialog& dialog = m_form.CommonDialog1;
  const QString filter = dialog.Filter;
  dialog.DialogTitle = "Import Known Papers";
  dialog.Filter = "Libraries (*.bib *.ris *.json *.txt);;All files (*)";
  dialog.FileName.clear();
  dialog.ShowOpen();
  dialog.Filter = filter;
  const std::string path = dialog.FileName.toStdString();
  if (path.empty()) return;
  Library library;
  try {
    library = ReadLibrary(ReadWholeFile(path));
  } catch (const std::runtime_error& e) {  // the file unreadable, or no library
    m_host.MessageBox("Cannot import " + path + ": " + e.what(), FormMain::kMessageTitle, MessageIcon::Critical,
                      MessageButtons::Ok);
    return;
  }
  MASCitationChain& chain = m_form.Chain;
  std::vector<size_t> positions;
  {
    std::optional<SessionFile::Batch> batch;
    if (m_form.Session()) batch.emplace(*m_form.Session());
    positions = wendrel::ImportKnownPapers(chain, library.entries);
  }
  const KnownImportCounts counts = CountKnownImport(chain.Screenings(), positions);
  Refresh();
  std::string text = std::to_string(library.entries.size()) + " entries read (" + LibraryFormatName(library.format) +
                     "): " + std::to_string(counts.matched) + " known among the session's articles, " +
                     std::to_string(counts.possible) + " possible, " + std::to_string(counts.unmatched) +
                     " not among them.";
  // A near miss is the user's to judge: it is named, never marked.
  constexpr int kListed = 10;
  int listed = 0;
  for (size_t k = 0; k < positions.size() && listed < kListed; ++k) {
    const KnownPaper& paper = chain.Screenings().KnownPapers()[positions[k]];
    if (paper.match != KnownMatch::Possible) continue;
    if (listed++ == 0) text += "\n\nPossible matches, not marked known (the title alike, the year or the authors not):";
    text += "\n" + ReferenceLabel(library.entries[k], static_cast<int32_t>(k + 1));
    for (const int32_t article : paper.articles)
      text += "\n    may be " + chain.GetRecord(article).PK + ": " + Trimmed(chain.Reference(article));
  }
  if (counts.possible > listed) text += "\n(and " + std::to_string(counts.possible - listed) + " more)";
  m_host.MessageBox(text, "Import Known Papers", MessageIcon::Information, MessageButtons::Ok);
}

void ScreeningControls::SetFilter(size_t index, const ScreeningFilter& filter) {
  m_filters[index] = filter;
  if (QPushButton* button = FilterButton[index]) {
    QFont font = button->font();
    font.setBold(filter.Any());
    button->setFont(font);
    const QList<QAction*> options = button->menu()->actions();
    const bool flags[4] = {filter.undecidedOnly, filter.hideExcluded, filter.hideKnown, filter.newOnly};
    for (int k = 0; k < 4; ++k) {
      const QSignalBlocker quiet(options[k]);
      options[k]->setChecked(flags[k]);
    }
  }
  ApplyFilter(index);
}

void ScreeningControls::ApplyFilter(size_t index) {
  ListView* list = m_lists[index];
  if (!list) return;
  const ScreeningFilter filter = m_filters[index];
  if (!filter.Any()) {
    list->SetRowTest({});
    return;
  }
  list->SetRowTest([filter](const QTreeWidgetItem& row) {
    const Verdict verdict = RowVerdict(row);
    if (filter.undecidedOnly && verdict != Verdict::Undecided) return false;
    if (filter.hideExcluded && verdict == Verdict::Excluded) return false;
    if (filter.newOnly && !RowNew(row)) return false;
    return !(filter.hideKnown && RowKnown(row));
  });
}

}  // namespace wendrel
