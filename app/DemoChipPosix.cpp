#include "app/DemoChip.h"
#include "simulator/ChipSimulator.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstring>

namespace {

// A few blocks, the last one short, so that a demo run shows every step.
constexpr int kSampleFirmwareBytes = 3 * 256 + 100;

QByteArray sampleFirmware()
{
    QByteArray bytes(kSampleFirmwareBytes, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 31 + i / 256);
    return bytes;
}

// The virtual chip on a pseudo-terminal, and the sample file in a temporary folder.
class VirtualChipDemo final : public DemoChip
{
public:
    QString portName() const override { return QString::fromStdString(chip.slavePath()); }
    QString firmwarePath() const override { return firmwarePath_; }
    PortList::Source portSource() const override;

    ChipSimulator chip;
    QTemporaryDir folder;
    QString firmwarePath_;
};

PortList::Source VirtualChipDemo::portSource() const
{
    const std::string name = chip.slavePath();
    return [name] {
        SerialPortInfo virtualChip{};
        std::strncpy(virtualChip.portName, name.c_str(), sizeof virtualChip.portName - 1);
        std::strncpy(virtualChip.description, "Virtual RQ51x chip (demo)", sizeof virtualChip.description - 1);
        std::vector<SerialPortInfo> ports{virtualChip};
        for (const SerialPortInfo& present : enumerateSerialPorts())
            ports.push_back(present);
        return ports;
    };
}

} // namespace

std::unique_ptr<DemoChip> DemoChip::start(QString& whyNot)
{
    auto demo = std::make_unique<VirtualChipDemo>();
    if (!demo->chip.setupError().empty()) {
        whyNot = QString::fromStdString(demo->chip.setupError());
        return nullptr;
    }
    QFile firmware(demo->folder.filePath(QStringLiteral("demo-firmware.bin")));
    const QByteArray bytes = sampleFirmware();
    if (!demo->folder.isValid() || !firmware.open(QIODevice::WriteOnly) || firmware.write(bytes) != bytes.size()) {
        whyNot = QStringLiteral("the sample firmware cannot be written: %1").arg(firmware.errorString());
        return nullptr;
    }
    demo->firmwarePath_ = firmware.fileName();
    return demo;
}
