#pragma once
// The file list: a report view whose rows each carry the SourceFileEntry they
// show, sorted by a header click with the comparison kind of the column.
#include <vector>

#include <QTreeWidget>

#include "app/main_window/list_comparisons.h"
#include "audio/source_file_entry.h"

namespace tembrel::app {

class SortableListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit SortableListCtrl(QWidget* parent = nullptr);

    void SetColumnKind(int column, ComparisonKind kind);
    ComparisonKind ColumnKind(int column) const;

    // Sorts by the column as a header click does: ascending on a new column
    // or after a descending sort, descending on a second click.
    void SortByColumn(int column);
    int SortedColumn() const { return sortedColumn_; }
    bool Ascending() const { return ascending_; }

    // A new row at the end showing texts and carrying entry (not owned).
    // It is not scrolled to: a batch of rows is brought into view once, as
    // each scroll lays out the whole list again.
    QTreeWidgetItem* AppendRow(const QStringList& texts, SourceFileEntry* entry);
    static SourceFileEntry* EntryOf(const QTreeWidgetItem* item);
    static void SetEntry(QTreeWidgetItem* item, SourceFileEntry* entry);
    SourceFileEntry* EntryAt(int row) const;

    // Selected rows in list order, whatever order they were selected in.
    std::vector<int> SelectedRows() const;

signals:
    void sorted(int column, bool ascending);
    // The right-click menu is wanted at globalPos: at the mouse, or at the
    // list's centre when the keyboard's menu key asked for it.
    void menuRequested(const QPoint& globalPos);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    std::vector<ComparisonKind> kinds_;
    int sortedColumn_ = -1;
    bool ascending_ = true;
};

}  // namespace tembrel::app
