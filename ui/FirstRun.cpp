#include "FirstRun.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "DialogTexts.h"
#include "FirstRunSetup.h"
#include "Paths.h"
#include "SettingsFile.h"

namespace vendrix::ui {

TfrmFirstRun::TfrmFirstRun(const config::TLanguage& language, std::string baseFolder, QWidget* parent)
    : QDialog(parent), FLanguage(language), FBase(std::move(baseFolder)) {
    setObjectName("frmFirstRun");
    setWindowTitle(Tr("sFirstRun"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(Tr("sFirstIntro"), this));

    auto* form = new QFormLayout;
    auto* folderRow = new QHBoxLayout;
    FFolder = new QLineEdit(QDir::homePath(), this);
    FFolder->setObjectName("txtFolder");
    auto* browse = new QToolButton(this);
    browse->setObjectName("btnFolder");
    browse->setText("...");
    connect(browse, &QToolButton::clicked, this, [this] {
        const QString folder = PickFolder(this, FFolder->text());
        if (!folder.isEmpty()) FFolder->setText(folder);
    });
    folderRow->addWidget(FFolder);
    folderRow->addWidget(browse);
    form->addRow(Tr("sFirstFolder"), folderRow);

    FAnonymous = new QRadioButton(Tr("sFirstAnon"), this);
    FAnonymous->setObjectName("optAnonymous");
    FAnonymous->setChecked(true);
    FAccount = new QRadioButton(Tr("sFirstAccount"), this);
    FAccount->setObjectName("optAccount");
    form->addRow(FAnonymous);
    form->addRow(FAccount);
    FName = new QLineEdit(this);
    FName->setObjectName("txtName");
    FPassword = new QLineEdit(this);
    FPassword->setObjectName("txtPassword");
    FPassword->setEchoMode(QLineEdit::Password);
    form->addRow(Tr("sUsername"), FName);
    form->addRow(Tr("sPass"), FPassword);
    auto enable = [this] {
        FName->setEnabled(FAccount->isChecked());
        FPassword->setEnabled(FAccount->isChecked());
    };
    connect(FAccount, &QRadioButton::toggled, this, enable);
    enable();

    const std::string port =
        config::TSettingsFile(config::TPaths(FBase).ConfigFile()).ReadString(config::TSetting::Port);
    FPort = new QLineEdit(QString::fromStdString(port.empty() ? "2121" : port), this);
    FPort->setObjectName("txtPort");
    FilterKeys(*FPort, kDigits);
    form->addRow(Tr("sFTPPort"), FPort);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* share = buttons->addButton(Tr("sFirstStart"), QDialogButtonBox::AcceptRole);
    share->setObjectName("btnShare");
    share->setDefault(true);
    QPushButton* later = buttons->addButton(Tr("sFirstLater"), QDialogButtonBox::RejectRole);
    later->setObjectName("btnLater");
    connect(share, &QPushButton::clicked, this, &TfrmFirstRun::Share);
    connect(later, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString TfrmFirstRun::Tr(std::string_view key) const {
    return LanguageText(FLanguage, key);
}

void TfrmFirstRun::Share() {
    app::TFirstRunChoice choice;
    choice.Folder = FFolder->text().toStdString();
    choice.Anonymous = FAnonymous->isChecked();
    choice.Name = FName->text().trimmed().toStdString();
    choice.Password = FPassword->text().toStdString();
    choice.Port = FPort->text().toStdString();
    if (std::string key = app::FirstRunError(choice); !key.empty()) {
        ShowMessage(this, Tr(key), QString::fromStdString("msg" + key));
        return;
    }
    try {
        app::ApplyFirstRun(FBase, choice);
    } catch (const std::exception& e) {
        ShowMessage(this, QString::fromStdString(e.what()), "msgSaveFailed", QMessageBox::Critical);
        return;
    }
    accept();
}

} // namespace vendrix::ui
