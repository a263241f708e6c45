#include "cli/BoardSession.h"

namespace {

// What the window asks of a port too.
constexpr unsigned int kReceiveBufferBytes = 4096;

// The open failure in the words an operator looks for, with the library's
// own code and text for the record.
QString openFailureReason(int code, const char* libraryText)
{
    QString reason;
    switch (code) {
    case ResultNotExist: reason = QStringLiteral("no such port"); break;
    case ResultAccessDenied: reason = QStringLiteral("port busy or access denied"); break;
    case ResultInvalidParam: reason = QStringLiteral("name or line settings refused"); break;
    default: reason = QStringLiteral("cannot be opened"); break;
    }
    return reason + QStringLiteral(" (%1, code %2)").arg(QString::fromUtf8(libraryText)).arg(code);
}

} // namespace

BoardSession::BoardSession(const QString& portName, QObject* parent)
    : QObject(parent), portName_(portName), sequence_(std::make_unique<FlashSequence>(static_cast<SequenceHost&>(*this)))
{
    port_.attachListener(this);
}

BoardSession::~BoardSession()
{
    // The run's pauses end with it, so closing the port does not wait for
    // them; the sequence goes before the object its reports are posted to.
    sequence_->cancel();
    port_.closePort();
    sequence_.reset();
}

bool BoardSession::open(const LineSettings& line, QString& reason)
{
    const QByteArray name = portName_.toLocal8Bit();
    port_.configure(name.constData(), line.baud, line.parity, line.dataBits, line.stopBits, FlowControlNone,
                    kReceiveBufferBytes);
    port_.setNotifyDelay(0);
    if (port_.openPort())
        return true;
    reason = openFailureReason(port_.lastErrorCode(), port_.lastErrorText());
    return false;
}

void BoardSession::post(std::function<void()> report)
{
    QMetaObject::invokeMethod(this, std::move(report), Qt::QueuedConnection);
}

void BoardSession::log(const QString& line)
{
    post([this, line] { emit statusLine(line); });
}

// The console has no labels; what they show is logged or shown as received too.
void BoardSession::setLabel(InfoLabel, const QString&)
{
}

void BoardSession::send(const std::uint8_t* bytes, std::size_t length)
{
    port_.send(bytes, static_cast<int>(length));
}

int BoardSession::receive(char* buffer, int size)
{
    return port_.receive(buffer, size);
}

void BoardSession::pause(unsigned int milliseconds)
{
    pause_.sleep(milliseconds);
}

void BoardSession::showReceived(const QString& text)
{
    post([this, text] { emit statusLine(QStringLiteral("< ") + text); });
}

void BoardSession::runStarted()
{
    pause_.restore();
}

void BoardSession::blockSent(std::uint32_t block, std::uint32_t blockCount)
{
    post([this, block, blockCount] { emit blockWritten(block, blockCount); });
}

void BoardSession::runEnded(const RunResult& result)
{
    pause_.cut();
    post([this, result] { emit runFinished(result); });
}

void BoardSession::onReadEvent(const char*, unsigned int readBufferLen)
{
    sequence_->onReadEvent(readBufferLen);
}

void BoardSession::onPortLost(const char* portName)
{
    sequence_->onPortLost(portName);
}
