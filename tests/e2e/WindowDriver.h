#pragma once

#include "app/MainWindow.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/WindowTestHelpers.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>

#include <memory>

// Drives the real window as an operator would: picks a port, opens it,
// chooses a firmware file and presses the buttons, answering the dialogs.
class WindowDriver
{
public:
    WindowDriver() : window(std::make_unique<MainWindow>()) {}

    template <typename T>
    T& widget(const char* name)
    {
        return child<T>(*window, name);
    }

    // Lists `port` (a tty path) and selects it, as if it had been present at start.
    void selectPort(const QString& port)
    {
        auto& ports = widget<QComboBox>("comboBoxPortName");
        ports.addItem(port);
        ports.setCurrentIndex(ports.count() - 1);
    }

    void selectSetting(const char* comboBox, const QString& text)
    {
        auto& combo = widget<QComboBox>(comboBox);
        combo.setCurrentIndex(combo.findText(text));
    }

    void press(const char* button) { widget<QPushButton>(button).click(); }

    // Presses a button that opens a message box and answers it.
    void pressAndAnswer(const char* button)
    {
        answerer.arm();
        press(button);
    }

    void chooseFirmware(const QString& path)
    {
        answerer.armToChooseFile(path);
        press("pushButtonLoadFirmware");
    }

    QString text(const char* label) { return widget<QLabel>(label).text(); }
    QStringList logLines() { return lines("plainTextEditSend"); }
    QStringList receiveLines() { return lines("plainTextEditReceive"); }
    int progress() { return widget<QProgressBar>("progressBar").value(); }

    bool actionButtonsEnabled()
    {
        for (const char* name : {"pushButtonSend", "pushButtonLoadFirmware", "pushButtonReset",
                                 "pushButtonOpen", "pushButtonClear"})
            if (!widget<QPushButton>(name).isEnabled())
                return false;
        return true;
    }

    // Runs the event loop until the run's last reply has been shown.
    bool waitForRunEnd()
    {
        return processEventsUntil([this] {
            return text("label_Action") == "Flashing completed." && actionButtonsEnabled() &&
                   receiveLines().endsWith("ACK (35)");
        });
    }

    std::unique_ptr<MainWindow> window;
    ModalAnswerer answerer;

private:
    QStringList lines(const char* pane)
    {
        return widget<QPlainTextEdit>(pane).toPlainText().split('\n');
    }
};
