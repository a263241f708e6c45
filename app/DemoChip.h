#pragma once

#include "app/PortList.h"

#include <QString>

#include <memory>

// What `orvanne-flasher --demo` brings along so that Open Port and Flash work
// without hardware: a virtual RQ51x chip on a port of its own, listed first,
// and a small sample firmware file. Lives longer than the window that uses
// it. The virtual chip needs pseudo-terminals, so where there are none start()
// says why not.
class DemoChip
{
public:
    virtual ~DemoChip() = default;

    // Null, with the reason in whyNot, when no virtual chip can be had here.
    static std::unique_ptr<DemoChip> start(QString& whyNot);

    virtual QString portName() const = 0;
    virtual QString firmwarePath() const = 0;
    // The chip's port first, then the ports present on the machine.
    virtual PortList::Source portSource() const = 0;
};
