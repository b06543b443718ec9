#include "app/main_window/sortable_list.h"

#include <QContextMenuEvent>
#include <QHeaderView>

namespace tembrel::app {

namespace {

// A row that orders itself by its list's comparison kind for the column.
class ListRow : public QTreeWidgetItem {
public:
    ListRow(const QStringList& texts, SourceFileEntry* entry) : QTreeWidgetItem(texts), entry_(entry) {}
    SourceFileEntry* Entry() const { return entry_; }
    void SetEntry(SourceFileEntry* entry) { entry_ = entry; }

    bool operator<(const QTreeWidgetItem& other) const override {
        const auto* list = static_cast<const SortableListCtrl*>(treeWidget());
        const int column = list ? list->SortedColumn() : 0;
        const ComparisonKind kind = list ? list->ColumnKind(column) : ComparisonKind::Text;
        return CompareCellTexts(kind, text(column), other.text(column)) < 0;
    }

private:
    SourceFileEntry* entry_;
};

}  // namespace

SortableListCtrl::SortableListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);  // full-row selection
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSortingEnabled(false);  // rows stay where they were added until a header click
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);  // shown from the first sort on
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, &SortableListCtrl::SortByColumn);
    // Rows added to an emptied list stand in the order added: no arrow
    // until the next sort says otherwise. Tied to the header, which goes
    // before the model empties itself as the list is destroyed.
    const auto hideArrowWhenEmpty = [this] {
        if (topLevelItemCount() == 0) header()->setSortIndicatorShown(false);
    };
    connect(model(), &QAbstractItemModel::modelReset, header(), hideArrowWhenEmpty);
    connect(model(), &QAbstractItemModel::rowsRemoved, header(), hideArrowWhenEmpty);
}

void SortableListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    const bool byKeyboard = event->reason() == QContextMenuEvent::Keyboard;
    emit menuRequested(byKeyboard ? mapToGlobal(rect().center()) : event->globalPos());
    event->accept();
}

void SortableListCtrl::SetColumnKind(int column, ComparisonKind kind) {
    if (column < 0) return;
    if (static_cast<std::size_t>(column) >= kinds_.size())
        kinds_.resize(static_cast<std::size_t>(column) + 1, ComparisonKind::Text);
    kinds_[static_cast<std::size_t>(column)] = kind;
}

ComparisonKind SortableListCtrl::ColumnKind(int column) const {
    if (column < 0 || static_cast<std::size_t>(column) >= kinds_.size()) return ComparisonKind::Text;
    return kinds_[static_cast<std::size_t>(column)];
}

void SortableListCtrl::SortByColumn(int column) {
    ascending_ = column != sortedColumn_ || !ascending_;
    sortedColumn_ = column;
    header()->setSortIndicatorShown(true);
    // The model's sort is stable and keeps the selection on its rows.
    sortItems(column, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
    emit sorted(column, ascending_);
}

QTreeWidgetItem* SortableListCtrl::AppendRow(const QStringList& texts, SourceFileEntry* entry) {
    auto* row = new ListRow(texts, entry);
    for (int column = 0; column < columnCount(); ++column)
        row->setTextAlignment(column, Qt::Alignment(headerItem()->textAlignment(column)));
    addTopLevelItem(row);
    return row;
}

SourceFileEntry* SortableListCtrl::EntryOf(const QTreeWidgetItem* item) {
    const auto* row = dynamic_cast<const ListRow*>(item);
    return row ? row->Entry() : nullptr;
}

void SortableListCtrl::SetEntry(QTreeWidgetItem* item, SourceFileEntry* entry) {
    if (auto* row = dynamic_cast<ListRow*>(item)) row->SetEntry(entry);
}

SourceFileEntry* SortableListCtrl::EntryAt(int row) const { return EntryOf(topLevelItem(row)); }

std::vector<int> SortableListCtrl::SelectedRows() const {
    std::vector<int> rows;
    for (int row = 0; row < topLevelItemCount(); ++row)
        if (topLevelItem(row)->isSelected()) rows.push_back(row);
    return rows;
}

}  // namespace tembrel::app
