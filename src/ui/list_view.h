// A list view with columns, rows addressed by 1-based position, sub-items by 1-based column,
// bold and coloured rows, and rows kept sorted by the text of a sort column.
#pragma once

#include <QColor>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace wendrel {

// Row text is column 0; sub-item k is column k. Sorting compares the column texts, or their values
// in the columns marked as number columns (a count of 10000 outgrows any zero padding); equal keys
// keep the order in which rows were added. A click on a header makes that column the sort column
// (the largest first in a count column, else ascending), or reverses the order when it already is.
// The sort column and order are the list's own: every Sort (after rows are rebuilt) applies them
// again, and the header's arrow always shows them.
class ListView : public QTreeWidget {
  Q_OBJECT

 public:
  explicit ListView(QWidget* parent = nullptr);

  // Clears columns and rows and sets the columns: header texts and widths in pixels (widened to
  // fit the header text).
  void SetColumns(const std::vector<std::pair<QString, int>>& columns);
  // Columns (0-based) that hold whole numbers and sort by value; a text that is no number sorts
  // before every number.
  void SetNumberColumns(std::vector<int> columns) { m_numberColumns = std::move(columns); }
  bool NumberColumn(int column) const;
  // Columns (0-based) of counts, where the largest is what a reader looks for: a click on their
  // header sorts them descending first.
  void SetCountColumns(std::vector<int> columns) { m_countColumns = std::move(columns); }
  void ClearRows();
  // Appends a row (not yet sorted into place: call Sort once the rows are in).
  QTreeWidgetItem* AddRow(const std::string& text);
  static void SetSubItem(QTreeWidgetItem* row, int column, const std::string& text);
  static std::string SubItem(const QTreeWidgetItem* row, int column);
  int RowCount() const { return topLevelItemCount(); }
  // The row at a 1-based position in the shown order; null outside 1..RowCount.
  QTreeWidgetItem* Row(int position) const;

  static void SetRowBold(QTreeWidgetItem* row, bool bold);
  static bool RowBold(const QTreeWidgetItem* row) { return row->font(0).bold(); }
  // Colours every column but the last, as the window styles rows.
  void SetRowForeColor(QTreeWidgetItem* row, const QColor& color);

  void SetSortKey(int column);
  void SetSortOrder(Qt::SortOrder order);
  void Sort();

  // What the window's handlers hear of.
  void ColumnClick(int column);

  // Shows only the rows whose author, year, title or source (columns 2 to 5, and a row's
  // co-authors kept by SetRowAuthors) contain the text, folding case and accents ("oberg" finds
  // "Øberg"); an empty text shows every row. ApplyFilter judges the rows again after they changed.
  void SetFilter(const QString& text);
  // Every author of a row's article, for the filter (column 2 shows the first author only).
  static void SetRowAuthors(QTreeWidgetItem* row, const std::string& authors);
  // The text lower-cased with its accents and the letters that have none taken off ("Øberg",
  // "Müller", "Straße" become "oberg", "muller", "strasse").
  static QString FoldedText(const QString& text);
  void ApplyFilter();
  const QString& Filter() const { return m_filter; }
  // A further test a row must pass to be shown, beside the text (none: every row passes).
  using RowTest = std::function<bool(const QTreeWidgetItem& row)>;
  void SetRowTest(RowTest test);
  // True while the text or the row test keeps any row out.
  bool Filtering() const { return !m_filter.isEmpty() || static_cast<bool>(m_rowTest); }

  // The column that takes the room the others leave when the list is wider than its columns (it
  // never becomes narrower than it was set or dragged to be).
  void SetStretchColumn(int column);
  // A column's width without the room the stretch column was given (what settings keep).
  int OwnColumnWidth(int column) const { return column == m_stretchColumn ? m_stretchBase : columnWidth(column); }

 signals:
  // A mouse button released over the list: 1 left, 2 right, 4 middle.
  void ButtonReleased(int button, QPoint globalPosition);
  void GotFocus();
  // After every filtering: how many rows are shown of how many.
  void Filtered(int shown, int total);
  // The Delete key on a row.
  void DeleteRequested();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  // Enter acts as a click on the current row, the menu key (or Shift+F10) as a right click on it,
  // Delete asks for the row's deletion.
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::vector<int> m_numberColumns;
  std::vector<int> m_countColumns;
  QString m_filter;  // folded
  RowTest m_rowTest;
  int m_stretchColumn = -1;
  int m_stretchBase = 0;  // the stretch column's own width, without the room it was given
  bool m_stretching = false;
  void Stretch();
  int m_sortKey = 0;
  Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

}  // namespace wendrel
