// Qt's serial port as a careful Qt user drives it: readyRead, then readAll,
// in an event loop on this thread.
#include "bench/ThroughputReceiver.h"

#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>

namespace {

class QSerialPortReceiver final : public ThroughputReceiver
{
public:
    using ThroughputReceiver::ThroughputReceiver;

    bool open(const std::string& slavePath, std::string& whyNot) override
    {
        port_.setPortName(QString::fromStdString(slavePath));
        port_.setBaudRate(115200);
        port_.setDataBits(QSerialPort::Data8);
        port_.setParity(QSerialPort::NoParity);
        port_.setStopBits(QSerialPort::OneStop);
        port_.setFlowControl(QSerialPort::NoFlowControl);
        if (port_.open(QIODevice::ReadOnly))
            return true;
        whyNot = port_.errorString().toStdString();
        return false;
    }

    void receive() override
    {
        QEventLoop loop;
        QObject::connect(&port_, &QSerialPort::readyRead, &loop, [&] {
            const QByteArray bytes = port_.readAll();
            check_.take(bytes.constData(), static_cast<std::size_t>(bytes.size()));
            if (check_.done())
                loop.quit();
        });
        // Progress is looked at once per stall limit, not timed per arrival.
        std::size_t received = check_.received();
        QTimer stallCheck;
        QObject::connect(&stallCheck, &QTimer::timeout, &loop, [&] {
            if (check_.received() == received)
                loop.quit();
            received = check_.received();
        });
        stallCheck.start(kStallLimit);
        loop.exec();
    }

private:
    QSerialPort port_;
};

} // namespace

std::unique_ptr<ThroughputReceiver> makeQSerialPortReceiver(StreamCheck& check)
{
    return std::make_unique<QSerialPortReceiver>(check);
}
