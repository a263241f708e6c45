// GoogleTest main for widget tests: one QApplication for the whole program,
// on the offscreen platform with a desktop-sized screen unless the
// environment picks another (e.g. xcb under Xvfb), with its settings in a
// folder of its own and its application data (on Linux) in another: tests
// never read or write the user's. A dialog that no test expected fails the
// test at once.
#include "tests/support/ModalAnswerer.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // The offscreen platform's own screen is 800 x 600, too small for the
    // window's designed size. Its options are separated by colons, so a path
    // with a drive letter cannot be one of them: there it keeps its screen.
    QTemporaryFile screens;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        QByteArray platform = "offscreen";
        const QString config = QDir::current().relativeFilePath(screens.open() ? screens.fileName() : QString());
        if (screens.isOpen() && !config.contains(QLatin1Char(':'))) {
            screens.write(R"({"screens": [{"name": "desktop", "x": 0, "y": 0, "width": 1920, "height": 1080,
                              "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
            screens.flush();
            platform += ":configfile=" + QFile::encodeName(config);
        }
        qputenv("QT_QPA_PLATFORM", platform);
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orvanne tests"));
    QApplication::setApplicationName(QStringLiteral("Orvanne Flasher tests"));
    const QTemporaryDir settingsFolder;
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());
    // Where the window keeps its record of runs unless told otherwise.
    const QTemporaryDir dataFolder;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataFolder.path()));
    ModalAnswerer::guardAgainstUnexpectedDialogs();
    return RUN_ALL_TESTS();
}
