#include "SetupUser.h"

#include <QApplication>
#include <QDir>
#include <QInputDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QShortcut>

#include "ui_SetupUser.h"

#include "AccessEntry.h"
#include "AccountEditing.h"
#include "AccountRules.h"
#include "DialogTexts.h"
#include "MsgUser.h"
#include "Quota.h"
#include "Ratio.h"
#include "Translate.h"

namespace vendrix::ui {

namespace {

const QString kEncrypted = QStringLiteral("<< Encrypt >>");
// Characters a link name cannot hold: they would break the entry ("|") or
// make no single folder name.
const QString kLinkRefused = QStringLiteral("/:<>?\\|");

QString WithSlash(QString directory) {
    if (!directory.endsWith(u'/')) directory += u'/';
    return directory;
}

QString DirectoryOf(const std::string& entry) {
    return QString::fromStdString(config::ParseAccessEntry(entry).Directory);
}

} // namespace

bool TfrmSetupUser::ValidAccountName(const QString& name) {
    return config::IsValidAccountName(name.toStdString());
}

TfrmSetupUser::TfrmSetupUser(const config::TLanguage& language, config::TAccountFile& accounts,
                             QWidget* parent)
    : QDialog(parent), FLanguage(language), FAccounts(accounts), FCopy(accounts.LoadCopy()),
      FUi(std::make_unique<Ui::TfrmSetupUser>()) {
    Ui::TfrmSetupUser& w = *FUi;
    w.setupUi(this);
    FRights = {{w.chkDown, config::kRightDownload}, {w.chkUp, config::kRightUpload},
               {w.chkDeny, config::kRightDenied},   {w.chkErase, config::kRightErase},
               {w.chkMake, config::kRightMakeDir},  {w.chkRemove, config::kRightRemoveDir},
               {w.chkRename, config::kRightRename}, {w.chkSubDir, config::kRightSubdirs},
               {w.chkLink, config::kRightVirtual}};

    setWindowTitle(Tr("sSetupUser"));
    const std::pair<QWidget*, const char*> captions[] = {{w.lblList, "sList"},
                                                         {w.cmdNew, "sNewUser"},
                                                         {w.cmdCopy, "sCopyUser"},
                                                         {w.cmdRename, "sRenUser"},
                                                         {w.cmdDelete, "sDelUser"},
                                                         {w.cmdSave, "sSave"},
                                                         {w.lblPass, "sPass"},
                                                         {w.lblHome, "sHome"},
                                                         {w.chkVirtual, "sVirtual"},
                                                         {w.chkDisable, "sDisable"},
                                                         {w.chkRequireTLS, "sRequireTLS"},
                                                         {w.lblTimeOut, "sTimeOutLimit"},
                                                         {w.lblTimeOutNote, "sNotLim"},
                                                         {w.lblMaxUser, "sMaxUser1"},
                                                         {w.lblMaxUserNote, "sMaxUser2"},
                                                         {w.lblMaxUserIP, "sMaxUserIP1"},
                                                         {w.lblMaxUserIPNote, "sMaxUserIP2"},
                                                         {w.lblMaxSpeed, "sMaxSpeed"},
                                                         {w.cmdClose, "sClose"},
                                                         {w.cmdAdd, "sAdd"},
                                                         {w.cmdModify, "sModify"},
                                                         {w.cmdDelDir, "sDel"},
                                                         {w.lblFiles, "sFiles"},
                                                         {w.lblDirRights, "sDir"},
                                                         {w.chkDown, "sDown"},
                                                         {w.chkUp, "sUP"},
                                                         {w.chkDeny, "sDeny"},
                                                         {w.chkErase, "sDel"},
                                                         {w.chkMake, "sMake"},
                                                         {w.chkRemove, "sRemove"},
                                                         {w.chkRename, "sRenFile"},
                                                         {w.chkSubDir, "sSubDir"},
                                                         {w.chkLink, "sLink"},
                                                         {w.lblLinkName, "sNameLnk"}};
    for (const auto& [widget, key] : captions)
        widget->setProperty("text", Tr(key));
    w.grpAccess->setTitle(Tr("sDirAcc"));

    FPopup = new QMenu(this);
    FPopup->setObjectName("popAccounts");
    QAction* popNew = FPopup->addAction(Tr("sNewUser"));
    popNew->setObjectName("popNew");
    QAction* popCopy = FPopup->addAction(Tr("sCopyUser"));
    popCopy->setObjectName("popCopy");
    QAction* popRename = FPopup->addAction(Tr("sRenUser"));
    popRename->setObjectName("popRename");
    QAction* popDel = FPopup->addAction(Tr("sDelUser"));
    popDel->setObjectName("popDel");
    connect(popNew, &QAction::triggered, this, [this] { NewAccount(false); });
    connect(popCopy, &QAction::triggered, this, &TfrmSetupUser::CopyAccount);
    connect(popRename, &QAction::triggered, this, &TfrmSetupUser::RenameAccount);
    connect(popDel, &QAction::triggered, this, [this] { DeleteAccount(false); });
    connect(w.lstUsers, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { FPopup->popup(FUi->lstUsers->viewport()->mapToGlobal(pos)); });

    for (QLineEdit* number : {w.txtTimeOut, w.txtMaxUser, w.txtMaxUserIP, w.txtMaxSpeed})
        FilterKeys(*number, kDigits);
    FilterKeys(*w.txtLinkName, kLinkRefused, true);
    for (QWidget* link : {static_cast<QWidget*>(w.lblLinkName), static_cast<QWidget*>(w.txtLinkName)}) {
        QSizePolicy policy = link->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        link->setSizePolicy(policy);
    }

    // The account list: a press below the rows drops the selection.
    w.lstUsers->viewport()->installEventFilter(this);
    connect(w.lstUsers, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> selected = FUi->lstUsers->selectedItems();
        SelectAccount(selected.isEmpty() ? QString() : selected.constFirst()->text());
    });
    auto* delUser = new QShortcut(QKeySequence::Delete, w.lstUsers, nullptr, nullptr, Qt::WidgetShortcut);
    connect(delUser, &QShortcut::activated, this, [this] { DeleteAccount(true); });
    connect(w.cmdNew, &QPushButton::clicked, this, [this] { NewAccount(true); });
    connect(w.cmdCopy, &QPushButton::clicked, this, &TfrmSetupUser::CopyAccount);
    connect(w.cmdRename, &QPushButton::clicked, this, &TfrmSetupUser::RenameAccount);
    connect(w.cmdDelete, &QPushButton::clicked, this, [this] { DeleteAccount(true); });
    connect(w.cmdSave, &QPushButton::clicked, this, &TfrmSetupUser::Save);
    connect(w.cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(w.cmdRatio, &QPushButton::clicked, this, &TfrmSetupUser::OpenRatio);
    connect(w.cmdQuota, &QPushButton::clicked, this, &TfrmSetupUser::OpenQuota);
    connect(w.cmdMessages, &QPushButton::clicked, this, &TfrmSetupUser::OpenMessages);
    connect(w.cmdLimit, &QPushButton::clicked, this, &TfrmSetupUser::OpenMessages);

    OnFocusLeave(*w.txtPass, [this] { PasswordLeft(); });
    OnFocusLeave(*w.txtHome, [this] { HomeLeft(); });
    connect(w.cmdHome, &QToolButton::clicked, this, &TfrmSetupUser::PickHome);
    const std::pair<QLineEdit*, config::TAccountKey> numbers[] = {
        {w.txtTimeOut, config::TAccountKey::TimeOut},
        {w.txtMaxUser, config::TAccountKey::MaxUser},
        {w.txtMaxUserIP, config::TAccountKey::MaxUserIP},
        {w.txtMaxSpeed, config::TAccountKey::MaxSpeed}};
    for (const auto& [field, key] : numbers)
        OnFocusLeave(*field, [this, field = field, key = key] { NumberLeft(*field, key); });
    connect(w.chkVirtual, &QCheckBox::clicked, this,
            [this](bool on) { WriteBox(config::TAccountKey::VirtualDir, on); });
    connect(w.chkDisable, &QCheckBox::clicked, this,
            [this](bool on) { WriteBox(config::TAccountKey::UserDisable, on); });
    connect(w.chkRequireTLS, &QCheckBox::clicked, this,
            [this](bool on) { WriteBox(config::TAccountKey::RequireTLS, on); });
    for (auto [button, on] : {std::pair{w.cmdButton1, true}, std::pair{w.cmdButton2, false}})
        connect(button, &QPushButton::clicked, this, [this, on = on] {
            FUi->chkVirtual->setChecked(on);
            WriteBox(config::TAccountKey::VirtualDir, on);
        });

    // The access entries reach the copy when the focus leaves their group.
    FFocusChanged = connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        QGroupBox* group = FUi->grpAccess;
        if (old && now && group->isAncestorOf(old) && !group->isAncestorOf(now) && now->window() == this)
            WriteEntries();
    });
    connect(w.lstDirs, &QListWidget::itemSelectionChanged, this, &TfrmSetupUser::SelectDir);
    auto* delDir = new QShortcut(QKeySequence::Delete, w.lstDirs, nullptr, nullptr, Qt::WidgetShortcut);
    connect(delDir, &QShortcut::activated, this, &TfrmSetupUser::DeleteDir);
    OnFocusEnter(*w.txtDir, [this] {
        FUi->cmdAdd->setEnabled(true);
        FUi->cmdModify->setEnabled(true);
    });
    OnFocusLeave(*w.txtDir, [this] { DirLeft(); });
    connect(w.cmdDir, &QToolButton::clicked, this, &TfrmSetupUser::PickDir);
    connect(w.cmdAdd, &QPushButton::clicked, this, &TfrmSetupUser::AddDir);
    connect(w.cmdModify, &QPushButton::clicked, this, &TfrmSetupUser::ModifyDir);
    connect(w.cmdDelDir, &QPushButton::clicked, this, &TfrmSetupUser::DeleteDir);
    for (const auto& [box, letter] : FRights)
        connect(box, &QCheckBox::clicked, this, [this, box = box] { RightPressed(box); });
    connect(w.txtLinkName, &QLineEdit::textEdited, this, &TfrmSetupUser::LinkNameEdited);

    FillAccountList({});
    ClearFields();
    EnableEditing(false);
}

TfrmSetupUser::~TfrmSetupUser() {
    StopFocusWatches(*this);
    disconnect(FFocusChanged);
    FUi->lstUsers->viewport()->removeEventFilter(this);
}

QString TfrmSetupUser::Tr(std::string_view key) const {
    return LanguageText(FLanguage, key);
}

void TfrmSetupUser::Message(std::string_view key) {
    ShowMessage(this, Tr(key), QStringLiteral("msg") + QString::fromUtf8(key.data(), qsizetype(key.size())));
}

bool TfrmSetupUser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FUi->lstUsers->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        if (!FUi->lstUsers->itemAt(press->position().toPoint())) {
            FUi->lstUsers->setFocus(Qt::MouseFocusReason);
            FUi->lstUsers->clearSelection();
            FUi->lstUsers->setCurrentItem(nullptr);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// --- the account list ----------------------------------------------------------------

void TfrmSetupUser::FillAccountList(const QString& select) {
    QListWidget& list = *FUi->lstUsers;
    const QSignalBlocker quiet(list);
    list.clear();
    QStringList names;
    for (const std::string& name : FCopy.Sections())
        if (!name.empty()) names << QString::fromStdString(name);
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    list.addItems(names);
    FAccount.clear();
    ClearFields();
    EnableEditing(false);
    if (select.isEmpty()) return;
    const QList<QListWidgetItem*> found = list.findItems(select, Qt::MatchFixedString);
    if (found.isEmpty()) return;
    list.setCurrentItem(found.constFirst());
    SelectAccount(found.constFirst()->text());
}

void TfrmSetupUser::ClearFields() {
    Ui::TfrmSetupUser& w = *FUi;
    for (QLineEdit* field : {w.txtPass, w.txtHome, w.txtTimeOut, w.txtMaxUser, w.txtMaxUserIP, w.txtMaxSpeed,
                             w.txtDir, w.txtLinkName})
        field->clear();
    w.chkVirtual->setChecked(false);
    w.chkDisable->setChecked(false);
    w.chkRequireTLS->setChecked(false);
    for (const auto& [box, letter] : FRights)
        box->setChecked(false);
    const QSignalBlocker quiet(w.lstDirs);
    w.lstDirs->clear();
    FEntries.clear();
    w.lblLinkName->setVisible(false);
    w.txtLinkName->setVisible(false);
}

void TfrmSetupUser::EnableEditing(bool on) {
    Ui::TfrmSetupUser& w = *FUi;
    for (QWidget* widget : std::initializer_list<QWidget*>{
             w.txtPass, w.txtHome, w.cmdHome, w.chkVirtual, w.chkDisable, w.chkRequireTLS, w.txtTimeOut,
             w.txtMaxUser, w.txtMaxUserIP, w.txtMaxSpeed, w.grpAccess, w.cmdCopy, w.cmdRename, w.cmdDelete,
             w.cmdRatio, w.cmdQuota, w.cmdMessages, w.cmdButton1, w.cmdButton2})
        widget->setEnabled(on);
    for (const char* name : {"popCopy", "popRename", "popDel"})
        if (QAction* action = FPopup->findChild<QAction*>(name)) action->setEnabled(on);
    // Until a directory row is chosen the rights and the entry buttons wait.
    for (const auto& [box, letter] : FRights)
        box->setEnabled(false);
    for (QPushButton* button : {w.cmdAdd, w.cmdModify, w.cmdDelDir})
        button->setEnabled(false);
}

void TfrmSetupUser::SelectAccount(const QString& name) {
    ClearFields();
    FAccount = name.toStdString();
    if (FAccount.empty()) {
        EnableEditing(false);
        return;
    }
    Ui::TfrmSetupUser& w = *FUi;
    auto text = [&](config::TAccountKey key) {
        return FCopy.ReadString(FAccount, config::AccountKeyDef(key).Key, "");
    };
    auto number = [&](config::TAccountKey key) {
        return QString::number(FCopy.ReadInteger(FAccount, config::AccountKeyDef(key).Key, 0));
    };
    w.txtPass->setText(text(config::TAccountKey::Password).empty() ? QString() : kEncrypted);
    w.txtHome->setText(QString::fromStdString(text(config::TAccountKey::HomePath)));
    w.txtTimeOut->setText(number(config::TAccountKey::TimeOut));
    w.txtMaxUser->setText(number(config::TAccountKey::MaxUser));
    w.txtMaxUserIP->setText(number(config::TAccountKey::MaxUserIP));
    w.txtMaxSpeed->setText(number(config::TAccountKey::MaxSpeed));
    w.chkVirtual->setChecked(
        FCopy.ReadBool(FAccount, config::AccountKeyDef(config::TAccountKey::VirtualDir).Key, false));
    w.chkDisable->setChecked(
        FCopy.ReadBool(FAccount, config::AccountKeyDef(config::TAccountKey::UserDisable).Key, false));
    w.chkRequireTLS->setChecked(
        FCopy.ReadBool(FAccount, config::AccountKeyDef(config::TAccountKey::RequireTLS).Key, false));
    FEntries = FCopy.ReadList(FAccount, config::AccessListDef().Prefix);
    {
        const QSignalBlocker quiet(w.lstDirs);
        for (const std::string& entry : FEntries)
            w.lstDirs->addItem(DirectoryOf(entry));
    }
    EnableEditing(true);
}

// --- account fields -------------------------------------------------------------------

void TfrmSetupUser::PasswordLeft() {
    if (FAccount.empty()) return;
    const QString text = FUi->txtPass->text();
    if (text.startsWith(QStringLiteral("<<"))) return;
    config::SetPassword(FCopy, FAccount, text.toStdString());
    FUi->txtPass->setText(kEncrypted);
}

void TfrmSetupUser::HomeLeft() {
    if (FAccount.empty()) return;
    const QString text = FUi->txtHome->text();
    if (!text.isEmpty() && !QDir(text).exists()) {
        Message("sHomeDirInv");
        FUi->txtHome->setFocus(Qt::OtherFocusReason);
        return;
    }
    config::WriteAccountString(FCopy, FAccount, config::TAccountKey::HomePath, text.toStdString());
}

void TfrmSetupUser::PickHome() {
    if (FAccount.empty()) return;
    const QString folder = PickFolder(this, FUi->txtHome->text());
    if (folder.isEmpty()) return;
    const QString directory = WithSlash(folder);
    FUi->txtHome->setText(directory);
    config::WriteAccountString(FCopy, FAccount, config::TAccountKey::HomePath, directory.toStdString());
    if (IndexOfDirectory(directory) < 0) AppendEntry(directory);
}

void TfrmSetupUser::NumberLeft(QLineEdit& field, config::TAccountKey key) {
    if (FAccount.empty()) return;
    int64_t value = 0;
    if (ReadInteger(this, field.text(), value)) config::WriteAccountInteger(FCopy, FAccount, key, value);
}

void TfrmSetupUser::WriteBox(config::TAccountKey key, bool on) {
    if (!FAccount.empty()) config::WriteAccountBool(FCopy, FAccount, key, on);
}

// --- access entries --------------------------------------------------------------------

void TfrmSetupUser::WriteEntries() {
    if (FAccount.empty()) return;
    // An account that exists only in the list stays out of the file until
    // something is written for it.
    if (FEntries.empty() && !FCopy.SectionExists(FAccount)) return;
    std::vector<config::TAccessEntry> entries;
    for (const std::string& entry : FEntries)
        entries.push_back(config::ParseAccessEntry(entry));
    config::WriteAccessEntries(FCopy, FAccount, entries);
}

int TfrmSetupUser::IndexOfDirectory(const QString& directory) const {
    const QString wanted = directory.toUpper();
    for (int row = 0; row < FUi->lstDirs->count(); ++row)
        if (FUi->lstDirs->item(row)->text().toUpper() == wanted) return row;
    return -1;
}

void TfrmSetupUser::AppendEntry(const QString& directory) {
    FEntries.push_back(directory.toStdString() + "|" + std::string(config::kNoRights) + "|");
    const QSignalBlocker quiet(FUi->lstDirs);
    FUi->lstDirs->addItem(directory);
}

static int SelectedRow(const QListWidget& list) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? -1 : list.row(selected.constFirst());
}

void TfrmSetupUser::DirLeft() {
    const QString text = FUi->txtDir->text();
    if (text.isEmpty() || QDir(text).exists()) return;
    Message("sAccessDirInv");
    FUi->txtDir->setFocus(Qt::OtherFocusReason);
}

void TfrmSetupUser::PickDir() {
    const QString folder = PickFolder(this, FUi->txtDir->text());
    if (folder.isEmpty()) return;
    FUi->txtDir->setText(WithSlash(folder));
    FUi->cmdAdd->setEnabled(true);
    if (SelectedRow(*FUi->lstDirs) >= 0) FUi->cmdModify->setEnabled(true);
}

void TfrmSetupUser::AddDir() {
    QLineEdit& field = *FUi->txtDir;
    if (field.text().isEmpty() || !QDir(field.text()).exists()) return;
    field.setText(WithSlash(field.text()));
    if (IndexOfDirectory(field.text()) >= 0) {
        Message("sPathAlreadInc");
        field.setFocus(Qt::OtherFocusReason);
        return;
    }
    AppendEntry(field.text());
    QListWidget& list = *FUi->lstDirs;
    list.setCurrentRow(list.count() - 1);
    list.scrollToItem(list.item(list.count() - 1));
}

void TfrmSetupUser::ModifyDir() {
    const int row = SelectedRow(*FUi->lstDirs);
    QLineEdit& field = *FUi->txtDir;
    if (field.text().isEmpty() || row < 0 || !QDir(field.text()).exists()) return;
    const QString directory = WithSlash(field.text());
    const std::string& entry = FEntries[std::size_t(row)];
    FEntries[std::size_t(row)] =
        directory.toStdString() + entry.substr(std::min(entry.find('|'), entry.size()));
    FUi->lstDirs->item(row)->setText(directory);
}

void TfrmSetupUser::DeleteDir() {
    QListWidget& list = *FUi->lstDirs;
    const int row = SelectedRow(list);
    if (row < 0) {
        Message("sNoSelChemin");
        list.setFocus(Qt::OtherFocusReason);
        return;
    }
    FEntries.erase(FEntries.begin() + row);
    {
        const QSignalBlocker quiet(list);
        delete list.takeItem(row);
        list.clearSelection();
        list.setCurrentRow(-1);
    }
    FUi->txtDir->clear();
    FUi->lblLinkName->setVisible(false);
    FUi->txtLinkName->setVisible(false);
    for (const auto& [box, letter] : FRights)
        box->setChecked(false);
    FUi->cmdDelDir->setEnabled(false);
}

void TfrmSetupUser::SelectDir() {
    const int row = SelectedRow(*FUi->lstDirs);
    if (row < 0) return;
    const config::TAccessEntry entry = config::ParseAccessEntry(FEntries[std::size_t(row)]);
    Ui::TfrmSetupUser& w = *FUi;
    w.txtDir->setText(QString::fromStdString(entry.Directory));
    for (const auto& [box, letter] : FRights) {
        box->setChecked(entry.Has(letter));
        box->setEnabled(true);
    }
    const bool link = entry.Has(config::kRightVirtual);
    w.txtLinkName->setText(QString::fromStdString(entry.LinkName.value_or("")));
    if (link && !entry.LinkName) w.chkLink->setChecked(false);
    w.lblLinkName->setVisible(link);
    w.txtLinkName->setVisible(link);
    w.cmdDelDir->setEnabled(true);
}

void TfrmSetupUser::RightPressed(QCheckBox* box) {
    Ui::TfrmSetupUser& w = *FUi;
    if (SelectedRow(*w.lstDirs) < 0) {
        box->setChecked(!box->isChecked());
        Message("sNoRep");
        return;
    }
    // Any press clears "access denied" first; pressing it sets it again.
    w.chkDeny->setChecked(box == w.chkDeny);
    if (box == w.chkLink) {
        if (box->isChecked()) w.txtLinkName->clear();
        w.lblLinkName->setVisible(box->isChecked());
        w.txtLinkName->setVisible(box->isChecked());
    }
    if (w.chkDeny->isChecked()) {
        for (const auto& [other, letter] : FRights)
            if (other != w.chkDeny) other->setChecked(false);
        w.lblLinkName->setVisible(false);
        w.txtLinkName->setVisible(false);
    }
    RebuildEntry();
}

void TfrmSetupUser::RebuildEntry() {
    const int row = SelectedRow(*FUi->lstDirs);
    if (row < 0) return;
    std::string letters;
    for (const auto& [box, letter] : FRights)
        if (box->isChecked()) letters += letter;
    config::TAccessEntry entry = config::ParseAccessEntry(FEntries[std::size_t(row)]);
    entry.Rights = config::MakeRights(letters);
    entry.LinkName = FUi->txtLinkName->text().toStdString();
    FEntries[std::size_t(row)] = config::FormatAccessEntry(entry);
}

void TfrmSetupUser::LinkNameEdited() {
    QLineEdit& field = *FUi->txtLinkName;
    // Pasted text passes no key filter.
    QString text = field.text();
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return kLinkRefused.contains(c); })) {
        text.removeIf([](QChar c) { return kLinkRefused.contains(c); });
        field.setText(text);
    }
    const int row = SelectedRow(*FUi->lstDirs);
    if (row < 0) return;
    config::TAccessEntry entry = config::ParseAccessEntry(FEntries[std::size_t(row)]);
    if (!entry.Has(config::kRightVirtual)) return;
    entry.LinkName = text.toStdString();
    FEntries[std::size_t(row)] = config::FormatAccessEntry(entry);
}

// --- account commands --------------------------------------------------------------------

bool TfrmSetupUser::AskName(const QString& caption, const QString& prompt, QString& name) {
    QInputDialog input(this);
    input.setObjectName("dlgAccountName");
    input.setWindowTitle(caption);
    input.setLabelText(prompt);
    if (input.exec() != QDialog::Accepted) return false;
    name = input.textValue();
    if (!ValidAccountName(name)) {
        Message("sInvalidCarac");
        return false;
    }
    return true;
}

void TfrmSetupUser::NewAccount(bool) {
    QString name;
    if (!AskName(Tr("sNewUser"), Tr("sNLogin"), name)) return;
    QListWidget& list = *FUi->lstUsers;
    QList<QListWidgetItem*> found = list.findItems(name, Qt::MatchFixedString);
    if (found.isEmpty()) {
        auto* item = new QListWidgetItem(name);
        int row = 0;
        while (row < list.count() && list.item(row)->text().compare(name, Qt::CaseInsensitive) < 0)
            ++row;
        const QSignalBlocker quiet(list);
        list.insertItem(row, item);
        found << item;
    }
    list.setCurrentItem(found.constFirst());
}

void TfrmSetupUser::KeepInCopy(const std::string& name) {
    // A new account lives only in the list until something is written for
    // it; copying or renaming it needs its section, empty as it may be.
    if (!FCopy.SectionExists(name))
        config::WriteAccountString(FCopy, name, config::TAccountKey::HomePath,
                                   FUi->txtHome->text().toStdString());
}

void TfrmSetupUser::CopyAccount() {
    if (FAccount.empty()) return;
    const std::string from = FAccount;
    QString name;
    if (!AskName(Tr("sNewUser"), Tr("sNLogin"), name)) return;
    if (!FUi->lstUsers->findItems(name, Qt::MatchFixedString).isEmpty()) {
        QApplication::beep();
        return;
    }
    WriteEntries();
    KeepInCopy(from);
    config::CopyAccount(FCopy, from, name.toStdString());
    FillAccountList(name);
}

void TfrmSetupUser::RenameAccount() {
    if (FAccount.empty()) return;
    const std::string from = FAccount;
    QString name;
    const QString prompt = QString::fromStdString(config::FormatText(FLanguage.Translate("sRUser"), {from}));
    if (!AskName(Tr("SRenUser"), prompt, name)) return;
    const bool respell = name.compare(QString::fromStdString(from), Qt::CaseInsensitive) == 0;
    if (!respell && !FUi->lstUsers->findItems(name, Qt::MatchFixedString).isEmpty()) {
        QApplication::beep();
        return;
    }
    WriteEntries();
    KeepInCopy(from);
    config::RenameAccount(FCopy, from, name.toStdString());
    FillAccountList(name);
}

void TfrmSetupUser::DeleteAccount(bool confirm) {
    if (FAccount.empty()) return;
    if (confirm) {
        QMessageBox ask(QMessageBox::Question, windowTitle(), Tr("sDelUserConf"),
                        QMessageBox::Yes | QMessageBox::No, this);
        ask.setObjectName("msgDelUserConf");
        if (ask.exec() != QMessageBox::Yes) return;
    }
    config::DeleteAccount(FCopy, FAccount);
    FillAccountList({});
}

void TfrmSetupUser::Save() {
    // Entries edited through the keyboard alone may not have left the group.
    WriteEntries();
    try {
        FAccounts.SaveCopy(FCopy);
    } catch (const std::exception& e) {
        ShowMessage(this, QString::fromStdString(e.what()), QStringLiteral("msgSaveFailed"));
    }
}

void TfrmSetupUser::OpenRatio() {
    if (FAccount.empty()) return;
    TfrmRatio ratio(FLanguage, FCopy, FAccount, this);
    ratio.exec();
}

void TfrmSetupUser::OpenQuota() {
    if (FAccount.empty()) return;
    TfrmQuota quota(FLanguage, FCopy, FAccount, FUi->txtHome->text(), this);
    quota.exec();
}

void TfrmSetupUser::OpenMessages() {
    if (FAccount.empty()) return;
    TfrmMsgUser messages(FLanguage, FCopy, FAccount, this);
    messages.exec();
}

} // namespace vendrix::ui
