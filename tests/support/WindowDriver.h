#pragma once

#include "app/MainWindow.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/QStringPrinting.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

// Runs the event loop until `done` holds. The deadline only keeps a broken
// build from hanging the suite; it is far beyond any expected wait.
inline bool processEventsUntil(const std::function<bool()>& done)
{
    const QDeadlineTimer deadline(60'000);
    QTimer wakeUp; // lets the loop re-check `done` while no event arrives
    wakeUp.start(20);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Drives the real window as an operator would: types a port, opens it,
// chooses a firmware file and presses the buttons, answering the dialogs.
// Each driver starts as a new user would: nothing remembered, and no ports
// listed unless a port source is given.
class WindowDriver
{
public:
    explicit WindowDriver(PortList::Source ports = [] { return std::vector<SerialPortInfo>(); })
    {
        QSettings().clear();
        window = std::make_unique<MainWindow>(nullptr, std::move(ports));
    }

    template <typename T>
    T& widget(const char* name)
    {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            throw std::logic_error(std::string("no child ") + name + " of the expected type");
        return *found;
    }

    // Types a port name or path into the Port box.
    void typePort(const QString& port) { widget<QComboBox>("comboBoxPortName").setCurrentText(port); }

    void selectSetting(const char* comboBox, const QString& text)
    {
        auto& combo = widget<QComboBox>(comboBox);
        combo.setCurrentIndex(combo.findText(text));
    }

    void press(const char* button) { widget<QPushButton>(button).click(); }

    // Presses a button that opens a message box and answers it: closes it,
    // or presses the box's button `answer`.
    void pressAndAnswer(const char* button, QMessageBox::StandardButton answer = QMessageBox::NoButton)
    {
        answerer.armToPress(answer);
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
    bool portOpen() { return widget<QPushButton>("pushButtonOpen").text() == "Close Port"; }

    bool actionButtonsEnabled()
    {
        for (const char* name : {"pushButtonSend", "pushButtonLoadFirmware", "pushButtonReset",
                                 "pushButtonOpen", "pushButtonClear"})
            if (!widget<QPushButton>(name).isEnabled())
                return false;
        return !widget<QPushButton>("pushButtonCancel").isEnabled();
    }

    // Runs the event loop until the run has ended and its buttons are back
    // (Flash only with a file chosen), and returns the Action label's last text.
    QString waitForRunEnd()
    {
        processEventsUntil([this] {
            return widget<QPushButton>("pushButtonOpen").isEnabled() && !widget<QPushButton>("pushButtonCancel").isEnabled();
        });
        return text("label_Action");
    }

    std::unique_ptr<MainWindow> window;
    ModalAnswerer answerer;

private:
    QStringList lines(const char* pane)
    {
        const QString text = widget<QPlainTextEdit>(pane).toPlainText();
        return text.isEmpty() ? QStringList() : text.split('\n');
    }
};
