// The window's list views on QTreeWidget.
#include "ui/list_view.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QResizeEvent>
#include <algorithm>

namespace wendrel {

namespace {

// Where a row keeps its article's authors, folded for the filter.
constexpr int kAuthorsRole = Qt::UserRole + 1;

// A row of a ListView: number columns compare by value, the others by text.
class ListRow : public QTreeWidgetItem {
 public:
  using QTreeWidgetItem::QTreeWidgetItem;

  bool operator<(const QTreeWidgetItem& other) const override {
    const auto* list = static_cast<const ListView*>(treeWidget());
    const int column = list ? list->sortColumn() : 0;
    if (!list || !list->NumberColumn(column)) return QTreeWidgetItem::operator<(other);
    bool number = false;
    bool otherNumber = false;
    const qlonglong value = text(column).toLongLong(&number);
    const qlonglong otherValue = other.text(column).toLongLong(&otherNumber);
    if (number != otherNumber) return otherNumber;
    return number ? value < otherValue : text(column) < other.text(column);
  }
};

}  // namespace

ListView::ListView(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  header()->setSectionsClickable(true);
  header()->setSortIndicatorShown(true);
  header()->setStretchLastSection(false);
  connect(header(), &QHeaderView::sectionClicked, this, &ListView::ColumnClick);
}

void ListView::SetColumns(const std::vector<std::pair<QString, int>>& columns) {
  clear();
  QStringList headers;
  for (const auto& column : columns) headers << column.first;
  setColumnCount(static_cast<int>(headers.size()));
  setHeaderLabels(headers);
  for (int k = 0; k < static_cast<int>(columns.size()); ++k) {
    // Never narrower than the header's text and the sort mark, so no caption is clipped.
    const int headerWidth = header()->fontMetrics().horizontalAdvance(columns[static_cast<size_t>(k)].first) + 28;
    setColumnWidth(k, std::max(columns[static_cast<size_t>(k)].second, headerWidth));
    headerItem()->setTextAlignment(k, Qt::AlignLeft | Qt::AlignVCenter);
  }
  header()->setSortIndicator(m_sortKey, m_sortOrder);
}

void ListView::ClearRows() { clear(); }

QTreeWidgetItem* ListView::AddRow(const std::string& text) {
  auto* row = new ListRow(this);
  row->setText(0, QString::fromStdString(text));
  return row;
}

void ListView::SetSubItem(QTreeWidgetItem* row, int column, const std::string& text) {
  row->setText(column, QString::fromStdString(text));
}

std::string ListView::SubItem(const QTreeWidgetItem* row, int column) { return row->text(column).toStdString(); }

QTreeWidgetItem* ListView::Row(int position) const {
  if (position < 1 || position > topLevelItemCount()) return nullptr;
  return topLevelItem(position - 1);
}

void ListView::SetRowBold(QTreeWidgetItem* row, bool bold) {
  for (int k = 0; k < row->columnCount(); ++k) {
    QFont font = row->font(k);
    font.setBold(bold);
    row->setFont(k, font);
  }
}

void ListView::SetRowForeColor(QTreeWidgetItem* row, const QColor& color) {
  for (int k = 0; k + 1 < columnCount(); ++k) row->setForeground(k, color);
}

bool ListView::NumberColumn(int column) const {
  return std::find(m_numberColumns.begin(), m_numberColumns.end(), column) != m_numberColumns.end();
}

void ListView::SetSortKey(int column) {
  m_sortKey = column;
  Sort();
}

void ListView::SetSortOrder(Qt::SortOrder order) {
  m_sortOrder = order;
  Sort();
}

void ListView::Sort() {
  // sortItems compares display texts and keeps equal rows in their order.
  sortItems(m_sortKey, m_sortOrder);
  header()->setSortIndicator(m_sortKey, m_sortOrder);
}

void ListView::SetStretchColumn(int column) {
  m_stretchColumn = column;
  m_stretchBase = columnWidth(column);
  // A width the user drags the column to is its own from then on.
  connect(header(), &QHeaderView::sectionResized, this, [this](int index, int, int width) {
    if (index == m_stretchColumn && !m_stretching) m_stretchBase = width;
  });
  Stretch();
}

void ListView::Stretch() {
  if (m_stretchColumn < 0) return;
  int others = 0;
  for (int column = 0; column < columnCount(); ++column) {
    if (column != m_stretchColumn && !isColumnHidden(column)) others += columnWidth(column);
  }
  m_stretching = true;
  setColumnWidth(m_stretchColumn, std::max(m_stretchBase, viewport()->width() - others));
  m_stretching = false;
}

void ListView::resizeEvent(QResizeEvent* event) {
  QTreeWidget::resizeEvent(event);
  Stretch();
}

void ListView::SetFilter(const QString& text) {
  m_filter = FoldedText(text.trimmed());
  ApplyFilter();
}

void ListView::SetRowAuthors(QTreeWidgetItem* row, const std::string& authors) {
  row->setData(2, kAuthorsRole, FoldedText(QString::fromStdString(authors)));
}

QString ListView::FoldedText(const QString& text) {
  QString folded;
  folded.reserve(text.size());
  for (const QChar c : text.normalized(QString::NormalizationForm_KD)) {
    if (c.category() == QChar::Mark_NonSpacing) continue;
    // Letters without a decomposition into a base letter and an accent.
    switch (c.toCaseFolded().unicode()) {
      case u'\u00f8': folded += u'o'; break;   // ø
      case u'\u00e6': folded += u"ae"; break;  // æ
      case u'\u0153': folded += u"oe"; break;  // œ
      case u'\u00df': folded += u"ss"; break;  // ß
      case u'\u0142': folded += u'l'; break;   // ł
      case u'\u0111': folded += u'd'; break;   // đ
      case u'\u00f0': folded += u'd'; break;   // ð
      case u'\u00fe': folded += u"th"; break;  // þ
      case u'\u0131': folded += u'i'; break;   // dotless i
      default: folded += c.toCaseFolded();
    }
  }
  return folded;
}

void ListView::SetRowTest(RowTest test) {
  m_rowTest = std::move(test);
  ApplyFilter();
}

void ListView::ApplyFilter() {
  int shown = 0;
  for (int k = 0; k < topLevelItemCount(); ++k) {
    QTreeWidgetItem* row = topLevelItem(k);
    bool match = m_filter.isEmpty() || row->data(2, kAuthorsRole).toString().contains(m_filter);
    for (int column = 2; column <= 5 && !match; ++column) match = FoldedText(row->text(column)).contains(m_filter);
    if (match && m_rowTest) match = m_rowTest(*row);
    row->setHidden(!match);
    shown += match ? 1 : 0;
  }
  emit Filtered(shown, topLevelItemCount());
}

void ListView::ColumnClick(int column) {
  if (column != m_sortKey) {
    m_sortKey = column;
    const bool count = std::find(m_countColumns.begin(), m_countColumns.end(), column) != m_countColumns.end();
    m_sortOrder = count ? Qt::DescendingOrder : Qt::AscendingOrder;
  } else {
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
  }
  Sort();
}

void ListView::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  const int button = event->button() == Qt::LeftButton    ? 1
                     : event->button() == Qt::RightButton ? 2
                     : event->button() == Qt::MiddleButton ? 4
                                                           : 0;
  // A right click acts on the row under the pointer: it is chosen first, as a left click would
  // choose it, so that the menu that follows offers what fits that row. A row among several
  // selected keeps the others selected: the menu acts on them all.
  if (button == 2) {
    const QPoint at = event->position().toPoint();
    if (QTreeWidgetItem* row = itemAt(at)) {
      if (row->isSelected()) setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
      else setCurrentItem(row);
      emit itemClicked(row, columnAt(at.x()));
    }
  }
  emit ButtonReleased(button, event->globalPosition().toPoint());
}

void ListView::keyPressEvent(QKeyEvent* event) {
  QTreeWidgetItem* row = currentItem();
  const bool menuKey = event->key() == Qt::Key_Menu ||
                       (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
  if (row && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    emit itemClicked(row, 0);
  } else if (row && menuKey) {
    emit itemClicked(row, 0);
    emit ButtonReleased(2, viewport()->mapToGlobal(visualItemRect(row).center()));
  } else if (row && event->key() == Qt::Key_Delete) {
    emit DeleteRequested();
  } else {
    QTreeWidget::keyPressEvent(event);
    return;
  }
  event->accept();
}

void ListView::focusInEvent(QFocusEvent* event) {
  QTreeWidget::focusInEvent(event);
  emit GotFocus();
}

}  // namespace wendrel
