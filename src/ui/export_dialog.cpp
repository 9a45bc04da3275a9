// The export dialog.
#include "ui/export_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <iterator>

namespace wendrel {

namespace {

struct ListChoiceText {
  const char* text;
  std::optional<ExchangeList> list;  // none: the search results
  const char* fileStem;
};
constexpr ListChoiceText kLists[] = {{"Pearl List", ExchangeList::Pearls, "pearls"},
                                     {"Cited List", ExchangeList::Cited, "cited"},
                                     {"Citing List", ExchangeList::Citing, "citing"},
                                     {"All articles (the three lists)", ExchangeList::All, "all"},
                                     {"Candidates for the next pearl", ExchangeList::Candidates, "candidates"},
                                     {"Search results", std::nullopt, "search"}};

constexpr std::optional<Verdict> kDecisions[] = {std::nullopt, Verdict::Included, Verdict::Excluded, Verdict::Maybe,
                                                 Verdict::Undecided};

struct FormatChoiceText {
  const char* text;
  ExchangeFormat format;
  const char* filter;
};
constexpr FormatChoiceText kFormats[] = {
    {"RIS (reference managers)", ExchangeFormat::Ris, "RIS files (*.ris)"},
    {"BibTeX", ExchangeFormat::BibTeX, "BibTeX files (*.bib)"},
    {"CSL-JSON (citation processors)", ExchangeFormat::CslJson, "CSL-JSON files (*.json)"},
    {"CSV (spreadsheets)", ExchangeFormat::Csv, "CSV files (*.csv)"}};

}  // namespace

ExportDialog::ExportDialog(FileDialog& files, const QString& folder, bool chainLists, bool searchResults,
                           QWidget* parent)
    : QDialog(parent), m_files(files) {
  setWindowTitle("Export for Reference Managers");
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  ListChoice = new QComboBox;
  auto* lists = new QStandardItemModel(ListChoice);
  for (const ListChoiceText& choice : kLists) {
    auto* item = new QStandardItem(choice.text);
    item->setEnabled(choice.list ? chainLists : searchResults);
    lists->appendRow(item);
  }
  ListChoice->setModel(lists);
  DecisionChoice = new QComboBox;
  for (const std::optional<Verdict>& decision : kDecisions) DecisionChoice->addItem(decision ? VerdictName(*decision) : "any");
  FormatChoice = new QComboBox;
  for (const FormatChoiceText& choice : kFormats) FormatChoice->addItem(choice.text);
  form->addRow("List:", ListChoice);
  form->addRow("Decision:", DecisionChoice);
  form->addRow("Format:", FormatChoice);
  auto* fileRow = new QHBoxLayout;
  FilePath = new QLineEdit;
  FilePath->setMinimumWidth(360);
  Browse = new QPushButton("Browse…");
  fileRow->addWidget(FilePath, 1);
  fileRow->addWidget(Browse);
  form->addRow("File:", fileRow);
  layout->addLayout(form);
  Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  layout->addWidget(Buttons);

  m_suggested = SuggestedName();
  FilePath->setText(QDir(folder).filePath(m_suggested));
  connect(ListChoice, &QComboBox::currentIndexChanged, this, [this] { ChoiceChanged(); });
  connect(DecisionChoice, &QComboBox::currentIndexChanged, this, [this] { ChoiceChanged(); });
  connect(FormatChoice, &QComboBox::currentIndexChanged, this, [this] { ChoiceChanged(); });
  connect(FilePath, &QLineEdit::textChanged, this,
          [this] { Buttons->button(QDialogButtonBox::Ok)->setEnabled(!Path().isEmpty()); });
  connect(Browse, &QPushButton::clicked, this, [this] { Browse_Click(); });
  connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::optional<ExchangeList> ExportDialog::List() const { return kLists[ListChoice->currentIndex()].list; }

void ExportDialog::ChooseList(int index) {
  const auto* lists = static_cast<const QStandardItemModel*>(ListChoice->model());
  // A remembered choice that has nothing to export now gives way to the first that has.
  for (int row : {index, 0, static_cast<int>(std::size(kLists)) - 1}) {
    if (row >= 0 && row < lists->rowCount() && lists->item(row)->isEnabled()) {
      ListChoice->setCurrentIndex(row);
      return;
    }
  }
}

std::optional<Verdict> ExportDialog::Decision() const { return kDecisions[DecisionChoice->currentIndex()]; }

ExchangeFormat ExportDialog::Format() const { return kFormats[FormatChoice->currentIndex()].format; }

// A part of a list gets a name of its own, so that a quick OK never replaces the whole list's file.
QString ExportDialog::SuggestedName() const {
  const std::optional<Verdict> decision = Decision();
  return QString(kLists[ListChoice->currentIndex()].fileStem) + (decision ? QString("-") + VerdictName(*decision) : "") +
         "." + ExchangeExtension(Format());
}

void ExportDialog::ChoiceChanged() {
  const QString suggested = SuggestedName();
  const QFileInfo path(Path());
  // A name the user chose stays; only the suggestion follows the choices.
  if (path.fileName() == m_suggested) FilePath->setText(QDir(path.path()).filePath(suggested));
  m_suggested = suggested;
}

void ExportDialog::Browse_Click() {
  const QString title = m_files.DialogTitle;
  const QString fileName = m_files.FileName;
  const QString extension = m_files.DefaultExt;
  const QString filter = m_files.Filter;
  m_files.DialogTitle = "Export for Reference Managers";
  m_files.DefaultExt = ExchangeExtension(Format());
  m_files.Filter = QString(kFormats[FormatChoice->currentIndex()].filter) + ";;All files (*)";
  const QFileInfo current(Path());
  m_files.FileName = current.fileName();
  if (!current.path().isEmpty() && current.dir().exists()) m_files.InitDir = current.absolutePath();
  m_files.ShowSave();
  if (!m_files.FileName.isEmpty()) {
    m_browsed = m_files.FileName;
    FilePath->setText(m_browsed);
  }
  m_files.DialogTitle = title;
  m_files.FileName = fileName;
  m_files.DefaultExt = extension;
  m_files.Filter = filter;
}

}  // namespace wendrel
