#include "session/BoardSession.h"

#include "flash/FirmwareFile.h"

namespace {

// Called from several threads; registered once.
void registerReportTypes()
{
    static const bool registered = [] {
        qRegisterMetaType<InfoLabel>();
        qRegisterMetaType<RunResult>();
        return true;
    }();
    (void)registered;
}

} // namespace

BoardSession::BoardSession(QObject* parent)
    : QObject(parent), sequence_(std::make_unique<FlashSequence>(static_cast<SequenceHost&>(*this)))
{
    registerReportTypes();
    port_.attachListener(this);
}

BoardSession::~BoardSession()
{
    // The run's pauses end with it, so closing the port does not wait for
    // them; closing waits for the event thread, and the sequence's deadline
    // thread stops before the signals it would emit go.
    sequence_->cancel();
    port_.closePort();
    sequence_.reset();
}

std::optional<PortOpenFailure> BoardSession::open(const QString& portName, const LineSettings& line)
{
    portName_ = portName;
    port_.configure(portName.toUtf8().constData(), line.baud, line.parity, line.dataBits, line.stopBits,
                    FlowControlNone, kReceiveBufferBytes);
    // Every arrival is handed to the run at once.
    port_.setNotifyDelay(0);
    if (port_.openPort())
        return std::nullopt;
    return portOpenFailure(port_.lastErrorCode(), port_.lastErrorText());
}

void BoardSession::close()
{
    port_.closePort();
}

bool BoardSession::isOpen()
{
    return port_.isPortOpen();
}

void BoardSession::sendPortOpenNotice()
{
    sequence_->sendPortOpenNotice();
}

void BoardSession::setDialogueSettings(const DialogueSettings& settings)
{
    sequence_->setSettings(settings);
}

// Each run starts from a clean line: what the chip sent before cannot answer it.

void BoardSession::startFlash(const QString& firmwarePath)
{
    startFlash(loadFirmwareImage(firmwarePath));
}

void BoardSession::startFlash(const ImageLoad& load)
{
    port_.discardInput();
    sequence_->startFlash(load);
}

void BoardSession::startFlash(std::shared_ptr<const FirmwareImage> image)
{
    port_.discardInput();
    sequence_->startFlash(std::move(image));
}

void BoardSession::startFactoryReset()
{
    port_.discardInput();
    sequence_->startFactoryReset();
}

void BoardSession::probe()
{
    sequence_->probe();
}

void BoardSession::startFlashOnNextChip(std::shared_ptr<const FirmwareImage> image)
{
    port_.discardInput();
    sequence_->startFlashOnNextChip(std::move(image));
}

void BoardSession::cancel()
{
    sequence_->cancel();
}

FlashSequence::Progress BoardSession::progress() const
{
    return sequence_->progress();
}

bool BoardSession::write(const std::uint8_t* bytes, std::size_t length)
{
    return port_.send(bytes, static_cast<int>(length)) == static_cast<int>(length);
}

void BoardSession::report(const DialogueReport& report)
{
    struct Emitter
    {
        BoardSession& session;
        void operator()(const LogLine& line) { emit session.logLine(line.text); }
        void operator()(const LabelText& label) { emit session.labelText(label.label, label.text); }
        void operator()(const ReceivedText& text) { emit session.received(text.text); }
        void operator()(const RunStarted& started) { emit session.runStarted(started.factoryReset); }
        void operator()(const BlockSent& sent) { emit session.blockSent(sent.block, sent.blockCount); }
        void operator()(const RunEnded& ended) { emit session.runEnded(ended.result); }
        void operator()(const ChipAnswered&) { emit session.chipAnswered(); }
        void operator()(const PortClosed& closed) { emit session.portLost(closed.portName); }
    };
    std::visit(Emitter{*this}, report);
}

void BoardSession::onReadEvent(const char*, unsigned int readBufferLen)
{
    if (readBufferLen == 0)
        return;
    if (chunk_.size() < readBufferLen)
        chunk_.resize(readBufferLen);
    const int received = port_.receive(chunk_.data(), static_cast<int>(readBufferLen));
    if (received > 0)
        sequence_->received(chunk_.data(), static_cast<std::size_t>(received));
}

void BoardSession::onPortLost(const char*)
{
    sequence_->portLost(portName_);
}
