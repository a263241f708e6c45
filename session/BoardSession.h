#pragma once

#include "flash/FlashSequence.h"
#include "flash/SequenceHost.h"
#include "serialport/SerialPort.h"
#include "serialport/SerialPortListener.h"
#include "session/LineSettings.h"
#include "session/PortOpenFailure.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// One board on one serial port: the port and its listener, the runs on it
// (their pauses, deadlines and loss handling) and what they report. The
// window and the command line are built on it; each keeps only what its
// operator sees.
//
//   BoardSession board;
//   connect(&board, &BoardSession::runEnded, ...);
//   if (const auto failure = board.open("ttyUSB0", LineSettings())) ... failure->cause
//   board.sendPortOpenNotice();
//   board.startFlash("firmware.bin");
//
// Threads: create it, call it and destroy it on one thread (the owner's).
// Its signals are emitted, one at a time and in the order the run made its
// reports, on whichever thread made them: the owner's during an action, the
// port's event thread for what the chip sent, the deadline thread for a reply
// that never came. Connect with Qt's automatic connection and they arrive on
// the receiver's thread in that order; the emitting thread never waits.
// No signal is emitted once the destructor has returned.
class BoardSession final : public QObject, private SequenceHost, private kavrio::CSerialPortListener
{
    Q_OBJECT

public:
    // What the window asks of a port; enough for every answer of the chip.
    static constexpr unsigned int kReceiveBufferBytes = 4096;

    explicit BoardSession(QObject* parent = nullptr);
    // Cancels a run in progress, closes the port and waits for every thread
    // that reports.
    ~BoardSession() override;

    // Opens portName with the line settings; nothing is written to it yet.
    // Nothing on success, otherwise why not.
    std::optional<PortOpenFailure> open(const QString& portName, const LineSettings& line);
    // Closes the port; no run may be in progress.
    void close();
    bool isOpen();
    // The port opened last.
    const QString& portName() const { return portName_; }

    // Writes the port-open notice; the chip answers nothing to it.
    void sendPortOpenNotice();

    // Take effect from the next run on.
    void setDialogueSettings(const DialogueSettings& settings);

    // The Flash action: the file is read now and, if taken, flashed. A run
    // in progress is not disturbed.
    void startFlash(const QString& firmwarePath);
    // The same with the file read beforehand, e.g. to hold it to an approved
    // SHA-256 first: the run reports a refused load as its own.
    void startFlash(const ImageLoad& load);
    // The same with an image read beforehand (one file for many boards).
    void startFlash(std::shared_ptr<const FirmwareImage> image);
    void startFactoryReset();

    // For a production line, where boards come and go on the port: asks
    // once whether a chip is there (chipAnswered() if one answers), or
    // starts a flash run that waits for the next chip to answer (then
    // chipAnswered(), and the run goes on). See FlashDialogue.
    void probe();
    void startFlashOnNextChip(std::shared_ptr<const FirmwareImage> image);

    // Ends a run in progress at once; nothing more is written to the chip.
    void cancel();

    FlashSequence::Progress progress() const;

signals:
    void logLine(const QString& text);
    void labelText(InfoLabel label, const QString& text);
    // A paragraph for the receive pane.
    void received(const QString& text);
    void runStarted(bool factoryReset);
    void blockSent(quint32 block, quint32 blockCount);
    void runEnded(const RunResult& result);
    void chipAnswered();
    // The port went away (an adapter pulled); it is closed now, after any run
    // on it has ended.
    void portLost(const QString& portName);

private:
    // SequenceHost
    bool write(const std::uint8_t* bytes, std::size_t length) override;
    void report(const DialogueReport& report) override;

    // kavrio::CSerialPortListener, on the port's event thread
    void onReadEvent(const char* portName, unsigned int readBufferLen) override;
    void onPortLost(const char* portName) override;

    QString portName_;
    CSerialPort port_;
    std::vector<char> chunk_; // the event thread's, reused for every read
    std::unique_ptr<FlashSequence> sequence_;
};

Q_DECLARE_METATYPE(InfoLabel)
Q_DECLARE_METATYPE(RunResult)
