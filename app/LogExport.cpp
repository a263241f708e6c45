#include "app/LogExport.h"

#include "session/Version.h"

#include <QDateTime>
#include <QSaveFile>
#include <QTextStream>

namespace {

QString orNone(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("(none)") : text;
}

} // namespace

bool LogExport::writeTo(const QString& fileName, QString& whyNot) const
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        whyNot = file.errorString();
        return false;
    }
    QTextStream out(&file);
    out << "Orvanne Flasher " ORVANNE_VERSION_TEXT " for RQ51x, log saved "
        << QDateTime::currentDateTime().toString(Qt::ISODate) << '\n'
        << "Port: " << orNone(port) << '\n'
        << "Adapter: " << orNone(adapter) << '\n'
        << "Image: " << orNone(imagePath) << '\n'
        << "SHA-256: " << orNone(imageSha256) << '\n'
        << "\n== Send ==\n" << sendPane << '\n'
        << "\n== Receive ==\n" << receivePane << '\n';
    out.flush();
    if (!file.commit()) {
        whyNot = file.errorString();
        return false;
    }
    return true;
}
