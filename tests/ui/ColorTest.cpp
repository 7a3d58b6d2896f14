// The colour and font dialog, alone and opened from the main window. Driven
// through the widgets as an administrator would, with the files checked on
// disk; message boxes, input boxes and pickers are answered by a script.
#include "Color.h"
#include "DesktopApp.h"
#include "DialogKit.h"
#include "Main.h"
#include "ModalScript.h"
#include "SettingsFile.h"
#include "ui_Color.h"
#include "ui_Main.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <filesystem>

using namespace vendrix;
using vendrix::testing::Click;
using vendrix::testing::ReadDoc;
using vendrix::testing::ReadText;
using vendrix::testing::ShowActive;
using vendrix::testing::TDialogFixture;
using vendrix::testing::WhenModal;
using vendrix::testing::WriteText;

class ColorTest : public QObject, public TDialogFixture {
    Q_OBJECT

private slots:
    void init() { Open(); }
    void cleanup() { Close(); }

    // Swatch colours are stored as upper-case "#RRGGBB" of their actual
    // values, the font with its style bits; Cancel writes nothing.
    void colors() {
        WriteText(Config(), "[Color]\nTextTag=#a0b1c2\n");
        config::TSettingsFile settings(Config());
        {
            ui::TfrmColor dialog(*FLanguage, settings);
            ShowActive(dialog);
            QCOMPARE(dialog.Swatches()[1]->palette().color(QPalette::Window), QColor(0xa0, 0xb1, 0xc2));
            WhenModal([](QWidget* modal) {
                if (auto* chooser = qobject_cast<QColorDialog*>(modal)) {
                    chooser->setCurrentColor(QColor(0x12, 0xab, 0xef));
                    chooser->accept();
                }
            });
            QTest::mouseClick(dialog.Swatches()[0], Qt::LeftButton);
            Click(dialog.Widgets().cmdCancel);
        }
        QCOMPARE(ReadText(Config()), std::string("[Color]\nTextTag=#a0b1c2\n"));
        {
            ui::TfrmColor dialog(*FLanguage, settings);
            ShowActive(dialog);
            const QColor system = QApplication::palette().color(QPalette::Highlight);
            WhenModal([system](QWidget* modal) {
                if (auto* chooser = qobject_cast<QColorDialog*>(modal)) {
                    chooser->setCurrentColor(system);
                    chooser->accept();
                }
            });
            QTest::mouseClick(dialog.Swatches()[9], Qt::LeftButton);
            QFont font(QApplication::font().family(), 13);
            font.setStrikeOut(true);
            font.setUnderline(true);
            WhenModal([font](QWidget* modal) {
                if (auto* chooser = qobject_cast<QFontDialog*>(modal)) {
                    chooser->setCurrentFont(font);
                    chooser->accept();
                }
            });
            Click(dialog.Widgets().cmdFont);
            QCOMPARE(dialog.Widgets().lblFontSizeValue->text(), "13");
            Click(dialog.Widgets().cmdOK);
            QVERIFY(!dialog.isVisible());
            const config::TIniDocument saved = ReadDoc(Config());
            QCOMPARE(saved.ReadString("Color", "TextTag", ""), "#A0B1C2");
            QCOMPARE(QString::fromStdString(saved.ReadString("Color", "BackTag", "")),
                     system.name(QColor::HexRgb).toUpper());
            QCOMPARE(saved.ReadString("Font", "Size", ""), "13");
            QCOMPARE(saved.ReadInteger("Font", "Style", -1), 12);
            QCOMPARE(QString::fromStdString(saved.ReadString("Font", "Name", "")),
                     QApplication::font().family());
        }
    }

    // The Setup menu opens the colour dialog; after OK the main window's log
    // view shows the new background and font.
    void mainWindowReloadsColors() {
        for (const char* folder : {"log", "lng"})
            std::filesystem::create_directory(FBase->File(folder));
        std::filesystem::copy_file(std::string(VENDRIX_LANGUAGE_FOLDER) + "/english.lng",
                                   FBase->File("lng/english.lng"));
        WriteText(Config(), "[Setup]\nPort=21\n");
        ui::TDesktopOptions options;
        options.Base = FBase->Path();
        options.ListenAddr = "127.0.0.1";
        options.Port = "0";
        ui::TDesktopApp app(options, nullptr);
        const QColor chosen(0x20, 0x40, 0x60);
        QFont font(QApplication::font().family(), 15);
        WhenModal([chosen, font](QWidget* modal) {
            auto* dialog = qobject_cast<ui::TfrmColor*>(modal);
            if (!dialog) return;
            WhenModal([chosen](QWidget* inner) {
                if (auto* chooser = qobject_cast<QColorDialog*>(inner)) {
                    chooser->setCurrentColor(chosen);
                    chooser->accept();
                }
            });
            QTest::mouseClick(dialog->Swatches()[9], Qt::LeftButton);
            WhenModal([font](QWidget* inner) {
                if (auto* chooser = qobject_cast<QFontDialog*>(inner)) {
                    chooser->setCurrentFont(font);
                    chooser->accept();
                }
            });
            dialog->Widgets().cmdFont->click();
            dialog->Widgets().cmdOK->click();
        });
        app.Window().Widgets().mnuColor->trigger();
        QCOMPARE(app.Window().Widgets().Info->palette().color(QPalette::Base), chosen);
        QCOMPARE(app.Window().Widgets().Info->font().pointSize(), 15);
        QCOMPARE(app.Controller().SessionLog().Colors().Back, std::string("#204060"));
    }
};

static vendrix::testing::TRegisterDialogTest<ColorTest> registered;

#include "ColorTest.moc"
