#pragma once

#include "cli/LineSettings.h"
#include "flash/FlashSequence.h"
#include "flash/InterruptiblePause.h"
#include "flash/SequenceHost.h"
#include "serialport/SerialPort.h"

#include <QObject>
#include <QString>

#include <memory>

// One board of a batch: its serial port and the flash sequence that runs on
// it, with the console as the sequence's host. The sequence reports from the
// port's event thread and from its own timer thread; every report is posted
// to the thread that owns the session and comes out there as a signal, in
// the order made, without the reporting thread ever waiting for it.
class BoardSession final : public QObject, private SequenceHost, private kavrio::CSerialPortListener
{
    Q_OBJECT

public:
    explicit BoardSession(const QString& portName, QObject* parent = nullptr);
    // Cancels a run in progress, closes the port and waits for every thread
    // that reports to the session.
    ~BoardSession() override;

    const QString& portName() const { return portName_; }

    // Opens the port; nothing is written to it yet. On failure, reason says
    // in words why (no such port, busy, settings refused).
    bool open(const LineSettings& line, QString& reason);

    FlashSequence& sequence() { return *sequence_; }

signals:
    void blockWritten(quint32 block, quint32 blockCount);
    void runFinished(const RunResult& result);
    // A step of the run or what the chip answered, for a verbose display.
    void statusLine(const QString& text);

private:
    void post(std::function<void()> report);

    // StatusSink and SequenceHost
    void log(const QString& line) override;
    void setLabel(InfoLabel label, const QString& text) override;
    void send(const std::uint8_t* bytes, std::size_t length) override;
    int receive(char* buffer, int size) override;
    void pause(unsigned int milliseconds) override;
    void showReceived(const QString& text) override;
    void runStarted() override;
    void blockSent(std::uint32_t block, std::uint32_t blockCount) override;
    void runEnded(const RunResult& result) override;

    // kavrio::CSerialPortListener
    void onReadEvent(const char* portName, unsigned int readBufferLen) override;
    void onPortLost(const char* portName) override;

    const QString portName_;
    CSerialPort port_;
    InterruptiblePause pause_;
    std::unique_ptr<FlashSequence> sequence_;
};
