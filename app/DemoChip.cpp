#include "app/DemoChip.h"

#include <QFile>

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

} // namespace

std::unique_ptr<DemoChip> DemoChip::start(QString& whyNot)
{
    std::unique_ptr<DemoChip> demo(new DemoChip);
    if (!demo->chip_.setupError().empty()) {
        whyNot = QString::fromStdString(demo->chip_.setupError());
        return nullptr;
    }
    QFile firmware(demo->folder_.filePath(QStringLiteral("demo-firmware.bin")));
    const QByteArray bytes = sampleFirmware();
    if (!demo->folder_.isValid() || !firmware.open(QIODevice::WriteOnly) || firmware.write(bytes) != bytes.size()) {
        whyNot = QStringLiteral("the sample firmware cannot be written: %1").arg(firmware.errorString());
        return nullptr;
    }
    demo->firmwarePath_ = firmware.fileName();
    return demo;
}

PortList::Source DemoChip::portSource() const
{
    const std::string name = chip_.slavePath();
    return [name] {
        SerialPortInfo chip{};
        std::strncpy(chip.portName, name.c_str(), sizeof chip.portName - 1);
        std::strncpy(chip.description, "Virtual RQ51x chip (demo)", sizeof chip.description - 1);
        std::vector<SerialPortInfo> ports{chip};
        for (const SerialPortInfo& present : enumerateSerialPorts())
            ports.push_back(present);
        return ports;
    };
}
