#include "MsgUser.h"

#include <QFileInfo>

#include "ui_MsgUser.h"

#include "AccountEditing.h"
#include "AccountTable.h"
#include "DialogTexts.h"

namespace vendrix::ui {

TfrmMsgUser::TfrmMsgUser(const config::TLanguage& language, config::TIniDocument& copy, std::string account,
                         QWidget* parent)
    : QDialog(parent), FCopy(copy), FAccount(std::move(account)), FUi(std::make_unique<Ui::TfrmMsgUser>()) {
    Ui::TfrmMsgUser& w = *FUi;
    w.setupUi(this);
    w.lblEnterMessage->setText(LanguageText(language, "sEnterMessage"));
    w.lblExitMessage->setText(LanguageText(language, "sExitMessage"));
    w.cmdSave->setText(LanguageText(language, "sSave"));
    w.cmdClose->setText(LanguageText(language, "sClose"));
    const std::pair<QLineEdit*, config::TAccountKey> fields[] = {
        {w.txtEnterMessage, config::TAccountKey::EnterMessage},
        {w.txtExitMessage, config::TAccountKey::ExitMessage}};
    for (const auto& [field, key] : fields) {
        const QString path =
            QString::fromStdString(FCopy.ReadString(FAccount, config::AccountKeyDef(key).Key, ""));
        if (!path.isEmpty() && QFileInfo(path).isFile()) field->setText(path);
    }
    for (auto [button, field] :
         {std::pair{w.cmdEnterMessage, w.txtEnterMessage}, std::pair{w.cmdExitMessage, w.txtExitMessage}})
        connect(button, &QToolButton::clicked, this, [this, field = field] {
            const QString path = PickFile(this, QStringLiteral("Text File (*.txt)"), field->text());
            if (!path.isEmpty()) field->setText(path);
        });
    connect(w.cmdSave, &QPushButton::clicked, this, &TfrmMsgUser::Save);
    connect(w.cmdClose, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmMsgUser::~TfrmMsgUser() = default;

void TfrmMsgUser::Save() {
    config::WriteAccountString(FCopy, FAccount, config::TAccountKey::EnterMessage,
                               WithoutQuotes(FUi->txtEnterMessage->text()));
    config::WriteAccountString(FCopy, FAccount, config::TAccountKey::ExitMessage,
                               WithoutQuotes(FUi->txtExitMessage->text()));
}

} // namespace vendrix::ui
