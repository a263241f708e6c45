#include "app/SaveLogDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

QString startFolder(const QString& folder)
{
    if (!folder.isEmpty() && QDir(folder).exists())
        return folder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(documents).exists() ? documents : QDir::homePath();
}

// A port name as part of a file name: "COM5", "/dev/ttyUSB0" as "ttyUSB0",
// "/dev/pts/3" as "pts-3".
QString fileNamePart(QString port)
{
    port.remove(QRegularExpression(QStringLiteral("^(/dev/|\\\\\\\\\\.\\\\)")));
    port.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]+")), QStringLiteral("-"));
    return port;
}

} // namespace

QString askLogFileName(QWidget* parent, const QString& folder, const QString& port, const QDateTime& now)
{
    QStringList parts{QStringLiteral("orvanne")};
    if (!port.isEmpty())
        parts << fileNamePart(port);
    parts << now.toString(QStringLiteral("yyyyMMdd-HHmm"));

    QFileDialog dialog(parent, QCoreApplication::translate("MainWindow", "Save Log"), startFolder(folder),
                       QCoreApplication::translate("MainWindow", "Log files (*.log);;Text files (*.txt *.log)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("log"));
    dialog.selectFile(parts.join(QLatin1Char('-')) + QStringLiteral(".log"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}
