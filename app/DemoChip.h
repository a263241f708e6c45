#pragma once

#include "app/PortList.h"
#include "simulator/ChipSimulator.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

// What `orvanne-flasher --demo` brings along so that Open Port and Flash work
// without hardware: a virtual RQ51x chip on a port of its own, listed first,
// and a small sample firmware file in a temporary folder. Lives longer than
// the window that uses it.
class DemoChip
{
public:
    // Null, with the reason in whyNot, when no pseudo-terminal can be had.
    static std::unique_ptr<DemoChip> start(QString& whyNot);

    QString portName() const { return QString::fromStdString(chip_.slavePath()); }
    QString firmwarePath() const { return firmwarePath_; }
    // The chip's port first, then the ports present on the machine.
    PortList::Source portSource() const;

private:
    DemoChip() = default;

    ChipSimulator chip_;
    QTemporaryDir folder_;
    QString firmwarePath_;
};
