#pragma once

#include "app/MainWindow.h"
#include "flash/InterruptiblePause.h"
#include "flash/SequenceHost.h"

class QLabel;

// The flash sequence's host: the window's serial port, and the widget
// effects, applied at once on the GUI thread and posted there, in call order,
// from the serial event thread and the sequence's timer thread.
class MainWindow::SequenceHostOnWindow final : public SequenceHost
{
public:
    explicit SequenceHostOnWindow(MainWindow& window);

    void log(const QString& line) override;
    void setLabel(InfoLabel label, const QString& text) override;
    void send(const std::uint8_t* bytes, std::size_t length) override;
    int receive(char* buffer, int size) override;
    void pause(unsigned int milliseconds) override;
    void showReceived(const QString& text) override;
    void runStarted() override;
    void blockSent(std::uint32_t block, std::uint32_t blockCount) override;
    void runEnded(const RunResult& result) override;

private:
    QLabel* labelOf(InfoLabel label) const;

    MainWindow& window_;
    InterruptiblePause pause_;
};
