// The user setup dialog: edits an in-memory copy of the account file; only
// Save writes it back, and the running totals the server wrote meanwhile
// survive that Save.
#pragma once

#include <QDialog>
#include <QMenu>
#include <memory>
#include <string>
#include <vector>

#include "AccountFile.h"
#include "IniDocument.h"
#include "LanguageFile.h"

namespace Ui {
class TfrmSetupUser;
}
class QCheckBox;
class QLineEdit;

namespace vendrix::ui {

class TfrmSetupUser : public QDialog {
    Q_OBJECT
public:
    TfrmSetupUser(const config::TLanguage& language, config::TAccountFile& accounts,
                  QWidget* parent = nullptr);
    ~TfrmSetupUser() override;

    Ui::TfrmSetupUser& Widgets() { return *FUi; }
    QMenu& AccountPopup() { return *FPopup; }
    // The dialog's copy of the account file, as edited so far.
    const config::TIniDocument& Copy() const { return FCopy; }
    // The account selected in the list; empty when none is.
    const std::string& Account() const { return FAccount; }
    // An account name New, Copy and Rename accept: no \ / : | * ? " < >, no
    // brackets (they would end the section header) and not only blanks.
    static bool ValidAccountName(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString Tr(std::string_view key) const;
    void Message(std::string_view key);
    void FillAccountList(const QString& select);
    void SelectAccount(const QString& name);
    void ClearFields();
    void EnableEditing(bool on);
    // Account fields written into the copy.
    void PasswordLeft();
    void HomeLeft();
    void PickHome();
    void NumberLeft(QLineEdit& field, config::TAccountKey key);
    void WriteBox(config::TAccountKey key, bool on);
    // Access entries.
    void WriteEntries();
    int IndexOfDirectory(const QString& directory) const;
    void AppendEntry(const QString& directory);
    void DirLeft();
    void PickDir();
    void AddDir();
    void ModifyDir();
    void DeleteDir();
    void SelectDir();
    void RightPressed(QCheckBox* box);
    void RebuildEntry();
    void LinkNameEdited();
    // Account commands.
    bool AskName(const QString& caption, const QString& prompt, QString& name);
    void NewAccount(bool check);
    void KeepInCopy(const std::string& name);
    void CopyAccount();
    void RenameAccount();
    void DeleteAccount(bool confirm);
    void Save();
    void OpenRatio();
    void OpenQuota();
    void OpenMessages();

    const config::TLanguage& FLanguage;
    config::TAccountFile& FAccounts;
    config::TIniDocument FCopy;
    std::unique_ptr<Ui::TfrmSetupUser> FUi;
    QMenu* FPopup;
    std::string FAccount;
    // Row for row with the directory list: "directory|rights|link".
    std::vector<std::string> FEntries;
    std::vector<std::pair<QCheckBox*, char>> FRights;
    QMetaObject::Connection FFocusChanged;
};

} // namespace vendrix::ui
