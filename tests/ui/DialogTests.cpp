// Runs the test class of every dialog (each file registers its own), with
// runtime files in a folder of their own and the offscreen platform unless
// another is asked for.
#include "DialogKit.h"

#include <QApplication>
#include <filesystem>

int main(int argc, char** argv) {
    vendrix::testing::TTempFolder runtime;
    std::filesystem::permissions(runtime.Path(), std::filesystem::perms::owner_all);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.Path()));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int failed = 0;
    for (const auto& run : vendrix::testing::DialogTestClasses())
        failed += run(argc, argv);
    return failed;
}
