#include "app/MainWindow.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orvanne"));
    QApplication::setApplicationName(QStringLiteral("Orvanne Flasher"));
    QApplication::setApplicationVersion(QStringLiteral(ORVANNE_VERSION));

    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("Writes firmware into RQ51x printer-controller chips over a serial line."));
    options.addHelpOption();
    options.addVersionOption();
    options.process(application);

    MainWindow window;
    window.show();
    return application.exec();
}
