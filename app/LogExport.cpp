#include "app/LogExport.h"

#include "session/Version.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace {

QString orNone(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("(none)") : text;
}

// A saved file replaces what the path names: only a regular file may be
// replaced, never a device or a FIFO that the path names, nor what a link
// leads to that is not a regular file.
bool isReplaceable(const QString& fileName, QString& whyNot)
{
    const QFileInfo target(fileName);
    if (!target.exists() || target.isFile())
        return true;
    whyNot = QStringLiteral("%1 is not a regular file; a log is saved only as one").arg(fileName);
    return false;
}

} // namespace

bool LogExport::writeTo(const QString& fileName, QString& whyNot) const
{
    if (!isReplaceable(fileName, whyNot))
        return false;
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
        << "Pacing: " << orNone(pacing) << '\n'
        << "Image: " << orNone(imagePath) << '\n'
        << "SHA-256: " << orNone(imageSha256) << '\n'
        << "\n== Send ==\n" << sendPane << '\n'
        << "\n== Receive ==\n" << receivePane << '\n';
    out.flush();
    // The bytes reach the disk in flush() and commit(): a full disk or a
    // file-size limit shows only there.
    if (out.status() != QTextStream::Ok || !file.flush()) {
        whyNot = file.errorString();
        file.cancelWriting();
        return false;
    }
    // What the path names may have changed while the log was written.
    if (!isReplaceable(fileName, whyNot)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        whyNot = file.errorString();
        return false;
    }
    return true;
}
