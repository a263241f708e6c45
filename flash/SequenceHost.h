#pragma once

#include "flash/StatusSink.h"

#include <QString>

#include <cstddef>
#include <cstdint>

// What the flash sequence needs from the place it runs in: the serial port,
// pauses, and the operator-facing effects. The sequence calls it on the GUI
// thread (the actions) and on the serial event thread (the reactions to
// replies); an implementation hands widget effects to the GUI thread without
// blocking and in call order, together with the StatusSink reports.
class SequenceHost : public StatusSink
{
public:
    // Writes one frame; nothing is resent, so the result is not needed.
    virtual void send(const std::uint8_t* bytes, std::size_t length) = 0;
    // Takes up to size received bytes; the count, 0 when none, -1 on failure.
    virtual int receive(char* buffer, int size) = 0;
    // Holds the calling thread while the device digests what it was sent.
    virtual void pause(unsigned int milliseconds) = 0;
    // One paragraph for the receive pane.
    virtual void showReceived(const QString& text) = 0;
    // The five action buttons: Flash, Load File, Factory Reset, Open/Close Port, Clear.
    virtual void setActionButtonsEnabled(bool enabled) = 0;
};
