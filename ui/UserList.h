// The user list's rows and their order: IDs compare as numbers, user names
// and addresses as text; each column keeps its own sort direction, flipped
// at every click on its header (the first click sorts ascending).
#pragma once

#include <QObject>
#include <QTreeWidget>
#include <map>

#include "FtpController.h"
#include "ViewFeed.h"

namespace vendrix::ui {

enum TUserColumn { colID = 0, colUsername = 1, colIP = 2 };

class TUserListSorter : public QObject {
    Q_OBJECT
public:
    // Takes over the header clicks of the list.
    explicit TUserListSorter(QTreeWidget& list);
    void SortBy(int column);

private:
    QTreeWidget& FList;
    std::map<int, Qt::SortOrder> FNext;
};

void SetUpUserList(QTreeWidget& list);
// A batch of changes in their order, each row looked up once.
void ApplyUserEvents(QTreeWidget& list, const std::vector<TUserEvent>& events);
QTreeWidgetItem* FindUserRow(QTreeWidget& list, int32_t id);
// The ID of the selected row, or 0 when none is selected.
int32_t SelectedUserID(const QTreeWidget& list);

} // namespace vendrix::ui
