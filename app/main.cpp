#include "app/DemoChip.h"
#include "app/MainWindow.h"
#include "session/Version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orvanne"));
    QApplication::setApplicationName(QStringLiteral("Orvanne Flasher"));
    QApplication::setApplicationVersion(QStringLiteral(ORVANNE_VERSION_TEXT));
    QApplication::setDesktopFileName(QStringLiteral("orvanne-flasher"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("orvanne-flasher")));

    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("Writes firmware into RQ51x printer-controller chips over a serial line."));
    options.addHelpOption();
    options.addVersionOption();
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Starts with a virtual RQ51x chip on a port of its own, listed first and chosen, "
                       "and a sample firmware file, so that Open Port and Flash work without hardware."));
    options.addOption(demo);
    options.process(application);

    std::unique_ptr<DemoChip> demoChip;
    if (options.isSet(demo)) {
        QString whyNot;
        demoChip = DemoChip::start(whyNot);
        if (!demoChip) {
            std::fprintf(stderr, "orvanne-flasher: no demo: %s\n", qPrintable(whyNot));
            return 1;
        }
    }
    MainWindow window(nullptr, demoChip ? demoChip->portSource() : PortList::Source(enumerateSerialPorts));
    if (demoChip)
        window.showDemo(demoChip->portName(), demoChip->firmwarePath());
    window.show();
    return application.exec();
}
