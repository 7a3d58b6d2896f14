#include "SetupFTP.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QSysInfo>

#include "ui_SetupFTP.h"

#include "AtomicFile.h"
#include "DialogTexts.h"
#include "LanguageList.h"
#include "TlsCertificateNote.h"
#include "TlsSettings.h"
#include "Translate.h"

namespace vendrix::ui {

namespace {

// The TLS modes as the combo box offers them, in this order.
struct TModeChoice {
    config::TTlsMode Mode;
    const char* Word; // as written to the settings file
    const char* Caption;
};
constexpr TModeChoice kModes[] = {{config::TTlsMode::Off, "off", "sTlsOff"},
                                  {config::TTlsMode::Allowed, "allowed", "sTlsAllowed"},
                                  {config::TTlsMode::Required, "required", "sTlsRequired"}};

const QString kPemFilter = QStringLiteral("PEM (*.pem *.crt *.key);;All files (*)");

// One argument of an Exec line: quoted when it holds anything but plain
// characters, with the escapes the desktop entry format asks for.
std::string ExecArgument(const std::string& text) {
    if (!text.empty() && text.find_first_of(" \t\n\"'\\><~|&;$*?#()`=%") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    // The value itself is a string in which "\" is escaped once more, and a
    // "%" would be taken for a field code.
    std::string value;
    for (char c : quoted) {
        if (c == '\\') value += '\\';
        if (c == '%') value += '%';
        value += c;
    }
    return value;
}

} // namespace

std::string AutostartEntryPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config)) config = QDir::homePath() + "/.config";
    return (config + "/autostart/vendrix-ftp.desktop").toStdString();
}

std::string AutostartEntryText(const std::string& program, const std::string& baseFolder) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Vendrix FTP Server\n"
           "Exec=" +
           ExecArgument(program) + " --base " + ExecArgument(baseFolder) +
           "\n"
           "Icon=vendrix-ftp\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

TfrmSetupFTP::TfrmSetupFTP(const config::TLanguage& language, config::TSettingsFile& settings,
                           std::string languageFolder, std::string baseFolder, QWidget* parent)
    : QDialog(parent), FLanguage(language), FSettings(settings), FBase(std::move(baseFolder)),
      FUi(std::make_unique<Ui::TfrmSetupFTP>()) {
    Ui::TfrmSetupFTP& w = *FUi;
    w.setupUi(this);
    auto tr = [this](std::string_view key) { return LanguageText(FLanguage, key); };
    setWindowTitle(tr("sSetupFTP"));
    const std::pair<QWidget*, const char*> captions[] = {{w.lblPort, "sFTPPort"},
                                                         {w.lblMaxUser, "sMaxUser1"},
                                                         {w.lblNoULim, "sNoULim"},
                                                         {w.lblRestart, "sRestart"},
                                                         {w.lblEnterMessage, "sEnterMessage"},
                                                         {w.lblExitMessage, "sExitMessage"},
                                                         {w.lblLangue, "sLangue"},
                                                         {w.cmdSave, "sSave"},
                                                         {w.cmdClose, "sClose"},
                                                         {w.chkRun, "sRun"},
                                                         {w.chkTray, "sTray"},
                                                         {w.chkHideVersion, "sHideVersion"},
                                                         {w.chkDisableNOOP, "sDisableNOOP"},
                                                         {w.chkDisableExitMsg, "sDisableExitMsg"},
                                                         {w.lblLoginTimeOut, "sLoginTime"},
                                                         {w.lblLoginTimeOutNote, "sLoginTimeNote"},
                                                         {w.lblMaxWaitPerIP, "sMaxWaitIP"},
                                                         {w.lblMaxWaitPerIPNote, "sNoULim"},
                                                         {w.lblMaxWait, "sMaxWait"},
                                                         {w.lblMaxWaitNote, "sNoULim"},
                                                         {w.lblMaxLoginFail, "sMaxLoginFail"},
                                                         {w.lblMaxLoginFailNote, "sNoULim"},
                                                         {w.lblBanMinutes, "sBanMinutes"},
                                                         {w.lblTlsMode, "sTlsMode"},
                                                         {w.lblTlsCertificate, "sTlsCert"},
                                                         {w.lblTlsKey, "sTlsKey"},
                                                         {w.lblTlsImplicitPort, "sTlsImplicitPort"},
                                                         {w.lblTlsImplicitPortNote, "sTlsImplicitNote"},
                                                         {w.chkTlsRequireReuse, "sTlsRequireReuse"},
                                                         {w.cmdTlsNewCertificate, "sTlsNewCert"}};
    for (const auto& [widget, key] : captions)
        widget->setProperty("text", tr(key));
    w.grpTls->setTitle(tr("sTLS"));
    for (QLineEdit* field : {w.txtTlsCertificate, w.txtTlsKey})
        field->setPlaceholderText(tr("sTlsSelfSigned"));
    for (const TModeChoice& choice : kModes)
        w.cboTlsMode->addItem(tr(choice.Caption), QString::fromUtf8(choice.Word));
    w.chkDisableNOOP->setVisible(false);

    FilterKeys(*w.txtPort, kDigits + "-");
    FilterKeys(*w.txtMaxUser, kDigits);
    FilterKeys(*w.txtMaxKS, kDigits + "-");
    FilterKeys(*w.txtTlsImplicitPort, kDigits);
    // The limits before login, each a whole number with its safe default.
    const std::pair<QLineEdit*, config::TSetting> limits[] = {
        {w.txtLoginTimeOut, config::TSetting::LoginTimeOut},
        {w.txtMaxWaitPerIP, config::TSetting::MaxWaitPerIP},
        {w.txtMaxWait, config::TSetting::MaxWait},
        {w.txtMaxLoginFail, config::TSetting::MaxLoginFail},
        {w.txtBanMinutes, config::TSetting::BanMinutes}};
    for (const auto& [field, setting] : limits)
        FilterKeys(*field, kDigits);

    for (const std::string& name : config::ListLanguages(languageFolder))
        w.cboLangue->addItem(QString::fromStdString(name));

    const config::TSettings s = FSettings.Load();
    using config::TSetting;
    auto text = [&](TSetting setting) { return QString::fromStdString(s.ReadString(setting)); };
    const QString port = text(TSetting::Port);
    w.txtPort->setText(port.isEmpty() ? QStringLiteral("21") : port);
    w.txtMaxUser->setText(QString::number(s.ReadInteger(TSetting::MaxUser)));
    w.txtMaxKS->setText(QString::number(s.ReadInteger(TSetting::GlobalMaxKS)));
    w.chkDisableNOOP->setChecked(s.ReadBool(TSetting::DisableNoop));
    w.chkDisableExitMsg->setChecked(s.ReadBool(TSetting::DisableExitMessage));
    w.chkTray->setChecked(s.ReadBool(TSetting::TrayIcon));
    w.chkHideVersion->setChecked(s.ReadBool(TSetting::HideVersion));
    for (auto [field, setting] : {std::pair{w.txtEnterMessage, TSetting::EnterMessage},
                                  std::pair{w.txtExitMessage, TSetting::ExitMessage}}) {
        const QString path = text(setting);
        if (!path.isEmpty() && QFileInfo(path).isFile()) field->setText(path);
    }
    w.txtPasvIP->setText(text(TSetting::PasvIP));
    w.txtLowPasv->setText(QString::number(s.ReadInteger(TSetting::LowPasv)));
    w.txtHighPasv->setText(QString::number(s.ReadInteger(TSetting::HighPasv)));
    for (const auto& [field, setting] : limits)
        field->setText(QString::number(s.ReadInteger(setting)));
    QString chosen = text(TSetting::LangFile);
    if (w.cboLangue->findText(chosen, Qt::MatchFixedString) < 0)
        chosen = QString::fromUtf8(config::kDefaultLanguage);
    w.cboLangue->setCurrentIndex(w.cboLangue->findText(chosen, Qt::MatchFixedString));
    w.chkRun->setChecked(QFileInfo(QString::fromStdString(AutostartEntryPath())).isFile());
    LoadTls(s);
    w.cmdSave->setEnabled(false);

    auto enableSave = [this] { FUi->cmdSave->setEnabled(true); };
    for (QLineEdit* field :
         {w.txtPort, w.txtMaxUser, w.txtMaxKS, w.txtPasvIP, w.txtLowPasv, w.txtHighPasv, w.txtEnterMessage,
          w.txtExitMessage, w.txtLoginTimeOut, w.txtMaxWaitPerIP, w.txtMaxWait, w.txtMaxLoginFail,
          w.txtBanMinutes, w.txtTlsCertificate, w.txtTlsKey, w.txtTlsImplicitPort})
        connect(field, &QLineEdit::textChanged, this, enableSave);
    for (QCheckBox* box :
         {w.chkDisableNOOP, w.chkDisableExitMsg, w.chkTray, w.chkHideVersion, w.chkRun, w.chkTlsRequireReuse})
        connect(box, &QCheckBox::toggled, this, enableSave);
    for (QComboBox* choice : {w.cboLangue, w.cboTlsMode})
        connect(choice, &QComboBox::currentIndexChanged, this, enableSave);
    for (QLineEdit* field : {w.txtTlsCertificate, w.txtTlsKey})
        connect(field, &QLineEdit::textChanged, this, &TfrmSetupFTP::ShowCertificateNote);
    OnFocusLeave(*w.txtHighPasv, [this] { CheckRange(); });
    for (auto [button, field] :
         {std::pair{w.cmdEnterMessage, w.txtEnterMessage}, std::pair{w.cmdExitMessage, w.txtExitMessage}})
        connect(button, &QToolButton::clicked, this, [this, field = field] {
            const QString path = PickFile(this, QStringLiteral("Text File (*.txt)"), field->text());
            if (!path.isEmpty()) field->setText(path);
        });
    for (auto [button, field] :
         {std::pair{w.cmdTlsCertificate, w.txtTlsCertificate}, std::pair{w.cmdTlsKey, w.txtTlsKey}})
        connect(button, &QToolButton::clicked, this, [this, field = field] {
            const QString path = PickFile(this, kPemFilter, field->text());
            if (!path.isEmpty()) field->setText(path);
        });
    connect(w.cmdTlsNewCertificate, &QPushButton::clicked, this, &TfrmSetupFTP::NewCertificate);
    connect(w.cmdSave, &QPushButton::clicked, this, &TfrmSetupFTP::Save);
    connect(w.cmdClose, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmSetupFTP::~TfrmSetupFTP() {
    StopFocusWatches(*this);
}

void TfrmSetupFTP::CheckRange() {
    int64_t low = 0;
    int64_t high = 0;
    if (!ReadInteger(this, FUi->txtHighPasv->text(), high) ||
        !ReadInteger(this, FUi->txtLowPasv->text(), low))
        return;
    if (high != 0 && low != 0 && low >= high) {
        ShowMessage(this, LanguageText(FLanguage, "sErrPASVLower"), QStringLiteral("msgErrPASVLower"));
        FUi->txtHighPasv->setFocus(Qt::OtherFocusReason);
    }
}

void TfrmSetupFTP::LoadTls(const config::TSettings& s) {
    Ui::TfrmSetupFTP& w = *FUi;
    using config::TSetting;
    // A mode the server does not know stays as written, shown as such: the
    // server refuses to start with it rather than guess, and the dialog does
    // not change it behind the administrator's back.
    const std::string modeText = s.ReadString(TSetting::TlsMode);
    config::TTlsMode mode;
    if (config::ParseTlsMode(modeText, mode)) {
        for (int i = 0; i < int(std::size(kModes)); ++i)
            if (kModes[i].Mode == mode) w.cboTlsMode->setCurrentIndex(i);
    } else {
        const std::string caption = config::FormatText(FLanguage.Translate("sTlsUnknown"), {modeText});
        w.cboTlsMode->addItem(QString::fromStdString(caption), QString::fromStdString(modeText));
        w.cboTlsMode->setCurrentIndex(w.cboTlsMode->count() - 1);
    }
    w.txtTlsCertificate->setText(QString::fromStdString(s.ReadString(TSetting::TlsCertificate)));
    w.txtTlsKey->setText(QString::fromStdString(s.ReadString(TSetting::TlsKey)));
    w.txtTlsImplicitPort->setText(QString::number(s.ReadInteger(TSetting::TlsImplicitPort)));
    w.chkTlsRequireReuse->setChecked(s.ReadBool(TSetting::TlsRequireReuse));
    ShowCertificateNote();
}

void TfrmSetupFTP::SaveTls(config::TIniDocument& doc) {
    Ui::TfrmSetupFTP& w = *FUi;
    using config::TSetting;
    config::WriteTextSetting(doc, TSetting::TlsMode, w.cboTlsMode->currentData().toString().toStdString());
    config::WriteTextSetting(doc, TSetting::TlsCertificate, WithoutQuotes(w.txtTlsCertificate->text()));
    config::WriteTextSetting(doc, TSetting::TlsKey, WithoutQuotes(w.txtTlsKey->text()));
    config::WriteTextSetting(doc, TSetting::TlsImplicitPort, w.txtTlsImplicitPort->text().toStdString());
    config::WriteBoolSetting(doc, TSetting::TlsRequireReuse, w.chkTlsRequireReuse->isChecked());
}

void TfrmSetupFTP::ShowCertificateNote() {
    FUi->lblTlsFingerprint->setText(
        TlsCertificateNote(FLanguage, WithoutQuotes(FUi->txtTlsCertificate->text()),
                           WithoutQuotes(FUi->txtTlsKey->text()), config::TPaths(FBase)));
}

void TfrmSetupFTP::NewCertificate() {
    QMessageBox ask(QMessageBox::Question, windowTitle(), LanguageText(FLanguage, "sTlsNewCertConf"),
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setObjectName("msgTlsNewCertConf");
    ask.setDefaultButton(QMessageBox::No);
    if (ask.exec() != QMessageBox::Yes) return;
    try {
        config::RenewSelfSignedCertificate(config::TPaths(FBase), QSysInfo::machineHostName().toStdString());
    } catch (const std::exception& e) {
        ShowMessage(this, QString::fromStdString(e.what()), QStringLiteral("msgTlsNewCertFailed"));
        return;
    }
    // The self-signed pair serves only while no other pair is named.
    FUi->txtTlsCertificate->clear();
    FUi->txtTlsKey->clear();
    ShowCertificateNote();
}

void TfrmSetupFTP::Save() {
    Ui::TfrmSetupFTP& w = *FUi;
    using config::TSetting;
    try {
        FSettings.Update([&](config::TIniDocument& doc) {
            auto text = [&](TSetting setting, const QString& value) {
                config::WriteTextSetting(doc, setting, value.toStdString());
            };
            text(TSetting::Port, w.txtPort->text());
            text(TSetting::MaxUser, w.txtMaxUser->text());
            // Without any language file there is nothing to choose; the
            // stored name stays.
            if (w.cboLangue->currentIndex() >= 0) text(TSetting::LangFile, w.cboLangue->currentText());
            text(TSetting::GlobalMaxKS, w.txtMaxKS->text());
            text(TSetting::PasvIP, w.txtPasvIP->text());
            text(TSetting::LowPasv, w.txtLowPasv->text());
            text(TSetting::HighPasv, w.txtHighPasv->text());
            text(TSetting::LoginTimeOut, w.txtLoginTimeOut->text());
            text(TSetting::MaxWaitPerIP, w.txtMaxWaitPerIP->text());
            text(TSetting::MaxWait, w.txtMaxWait->text());
            text(TSetting::MaxLoginFail, w.txtMaxLoginFail->text());
            text(TSetting::BanMinutes, w.txtBanMinutes->text());
            config::WriteBoolSetting(doc, TSetting::DisableNoop, w.chkDisableNOOP->isChecked());
            config::WriteBoolSetting(doc, TSetting::DisableExitMessage, w.chkDisableExitMsg->isChecked());
            config::WriteBoolSetting(doc, TSetting::TrayIcon, w.chkTray->isChecked());
            config::WriteBoolSetting(doc, TSetting::HideVersion, w.chkHideVersion->isChecked());
            config::WriteTextSetting(doc, TSetting::EnterMessage, WithoutQuotes(w.txtEnterMessage->text()));
            config::WriteTextSetting(doc, TSetting::ExitMessage, WithoutQuotes(w.txtExitMessage->text()));
            SaveTls(doc);
        });
        const QString entry = QString::fromStdString(AutostartEntryPath());
        if (w.chkRun->isChecked()) {
            QDir().mkpath(QFileInfo(entry).absolutePath());
            QString program = QCoreApplication::applicationFilePath();
            if (QFileInfo(program).fileName() != QStringLiteral("vendrix-ftp"))
                program = QStringLiteral("vendrix-ftp");
            config::WriteFileAtomic(entry.toStdString(), AutostartEntryText(program.toStdString(), FBase));
        } else if (QFileInfo::exists(entry) && !QFile::remove(entry)) {
            throw std::runtime_error("cannot remove " + entry.toStdString());
        }
    } catch (const std::exception& e) {
        ShowMessage(this, QString::fromStdString(e.what()), QStringLiteral("msgSaveFailed"));
        return;
    }
    w.cmdSave->setEnabled(false);
}

} // namespace vendrix::ui
