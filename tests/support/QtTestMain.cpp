// GoogleTest main for widget tests: one QApplication for the whole program,
// on the offscreen platform unless the environment picks another (e.g. xcb
// under Xvfb), with its settings in a folder of its own: tests never read or
// write the user's. A dialog that no test expected fails the test at once.
#include "tests/support/ModalAnswerer.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orvanne tests"));
    QApplication::setApplicationName(QStringLiteral("Orvanne Flasher tests"));
    const QTemporaryDir settingsFolder;
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());
    ModalAnswerer::guardAgainstUnexpectedDialogs();
    return RUN_ALL_TESTS();
}
