#include "UserList.h"

#include <QHash>
#include <QHeaderView>

#include <algorithm>

namespace vendrix::ui {

namespace {

void Fill(QTreeWidgetItem& item, const policy::TUserRow& row) {
    item.setData(colID, Qt::DisplayRole, qlonglong(row.ID));
    item.setText(colUsername, QString::fromStdString(row.UserName));
    item.setText(colIP, QString::fromStdString(row.Address));
    item.setTextAlignment(colUsername, Qt::AlignCenter);
    item.setTextAlignment(colIP, Qt::AlignCenter);
}

bool Less(const QTreeWidgetItem& a, const QTreeWidgetItem& b, int column) {
    if (column == colID)
        return a.data(colID, Qt::DisplayRole).toLongLong() < b.data(colID, Qt::DisplayRole).toLongLong();
    return a.text(column).localeAwareCompare(b.text(column)) < 0;
}

} // namespace

TUserListSorter::TUserListSorter(QTreeWidget& list) : QObject(&list), FList(list) {
    // The list's own sorting would keep rows sorted as they come; here an
    // order is made only by a click.
    list.setSortingEnabled(false);
    list.header()->setSortIndicatorShown(false);
    list.header()->setSectionsClickable(true);
    // The rows are reordered once the header has finished with the click.
    connect(list.header(), &QHeaderView::sectionClicked, this, &TUserListSorter::SortBy,
            Qt::QueuedConnection);
}

void TUserListSorter::SortBy(int column) {
    auto it = FNext.try_emplace(column, Qt::AscendingOrder).first;
    const Qt::SortOrder order = it->second;
    it->second = order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;

    const int32_t selected = SelectedUserID(FList);
    QList<QTreeWidgetItem*> rows;
    while (FList.topLevelItemCount() > 0)
        rows << FList.takeTopLevelItem(0);
    std::stable_sort(rows.begin(), rows.end(), [&](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
        return order == Qt::AscendingOrder ? Less(*a, *b, column) : Less(*b, *a, column);
    });
    FList.addTopLevelItems(rows);
    if (QTreeWidgetItem* row = selected ? FindUserRow(FList, selected) : nullptr) FList.setCurrentItem(row);
}

void SetUpUserList(QTreeWidget& list) {
    list.setRootIsDecorated(false);
    list.setSelectionBehavior(QAbstractItemView::SelectRows);
    list.setSelectionMode(QAbstractItemView::SingleSelection);
    list.setEditTriggers(QAbstractItemView::NoEditTriggers);
    list.setContextMenuPolicy(Qt::CustomContextMenu);
    // The selection stays as visible when the list loses the focus.
    QPalette palette = list.palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    list.setPalette(palette);
    list.header()->setDefaultAlignment(Qt::AlignCenter);
    list.header()->setStretchLastSection(true);
    list.setColumnWidth(colID, 45);
    list.setColumnWidth(colUsername, 100);
}

QTreeWidgetItem* FindUserRow(QTreeWidget& list, int32_t id) {
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list.topLevelItem(i);
        if (item->data(colID, Qt::DisplayRole).toLongLong() == id) return item;
    }
    return nullptr;
}

void ApplyUserEvents(QTreeWidget& list, const std::vector<TUserEvent>& events) {
    if (events.empty()) return;
    QHash<int32_t, QTreeWidgetItem*> rows;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list.topLevelItem(i);
        rows.insert(int32_t(item->data(colID, Qt::DisplayRole).toLongLong()), item);
    }
    for (const TUserEvent& e : events) {
        switch (e.Change) {
        case TUserChange::Added: {
            auto* item = new QTreeWidgetItem(&list);
            Fill(*item, e.Row);
            rows.insert(e.Row.ID, item);
            break;
        }
        case TUserChange::Changed:
            if (QTreeWidgetItem* item = rows.value(e.Row.ID)) Fill(*item, e.Row);
            break;
        case TUserChange::Removed:
            delete rows.take(e.Row.ID);
            break;
        }
    }
}

int32_t SelectedUserID(const QTreeWidget& list) {
    const QList<QTreeWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? 0 : int32_t(selected.first()->data(colID, Qt::DisplayRole).toLongLong());
}

} // namespace vendrix::ui
