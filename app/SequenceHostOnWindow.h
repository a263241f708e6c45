#pragma once

#include "app/MainWindow.h"
#include "flash/SequenceHost.h"

#include <condition_variable>
#include <mutex>

class QLabel;

// The flash sequence's host: the window's serial port, and the widget
// effects, applied at once on the GUI thread and posted there, in call order,
// from the serial event thread. Pauses end early once the window closes.
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
    void setActionButtonsEnabled(bool enabled) override;

    // Cuts every current and later pause short.
    void endPauses();

private:
    QLabel* labelOf(InfoLabel label) const;

    MainWindow& window_;
    std::mutex pauseMutex_;
    std::condition_variable pauseEnded_;
    bool pausesEnded_ = false;
};
