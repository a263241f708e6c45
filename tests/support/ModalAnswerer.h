#pragma once

#include <QMessageBox>
#include <QString>
#include <QTimer>

// Answers the next modal dialog so that a test can call code that blocks in
// QDialog::exec(). Arm it first, then call the code; the answerer polls for
// the active modal widget from the dialog's own event loop, records its title
// (and, for a QMessageBox, its texts, icon and default button) and answers it
// once.
class ModalAnswerer
{
public:
    ModalAnswerer();
    ~ModalAnswerer();

    // Fails the running test on every modal dialog that appears while no
    // answerer is armed, and closes it: a box nobody expected must neither
    // pass unnoticed nor block the suite.
    static void guardAgainstUnexpectedDialogs();

    // Closes a message box, or cancels any other dialog.
    void arm() { start(QMessageBox::NoButton, {}, false); }
    // Presses `button` of the message box that opens next.
    void armToPress(QMessageBox::StandardButton button) { start(button, {}, false); }
    // Selects `path` in the QFileDialog that opens next and accepts it.
    void armToChooseFile(const QString& path) { start(QMessageBox::NoButton, path, false); }
    // Types `name` into the file name field of the QFileDialog that opens
    // next, in the folder it shows, and accepts it.
    void armToTypeFileName(const QString& name) { start(QMessageBox::NoButton, name, true); }

    bool answered() const { return answered_; }
    const QString& title() const { return seen_.title; }
    const QString& text() const { return seen_.text; }
    const QString& informativeText() const { return seen_.informativeText; }
    QMessageBox::Icon icon() const { return seen_.icon; }
    QMessageBox::StandardButton defaultButton() const { return seen_.defaultButton; }
    // The folder a file dialog showed when it opened, and the file name it proposed.
    const QString& directory() const { return seen_.directory; }
    const QString& proposedFile() const { return seen_.proposedFile; }

private:
    // What the answered dialog showed.
    struct Seen
    {
        QString title;
        QString text;
        QString informativeText;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QString directory;
        QString proposedFile;
    };

    void start(QMessageBox::StandardButton button, const QString& file, bool typeFileName);
    void disarm();
    void poll();
    void answer(QWidget* dialog);

    static int armed_;

    QTimer pollTimer_;
    QString fileToChoose_;
    bool typeFileName_ = false;
    QMessageBox::StandardButton buttonToPress_ = QMessageBox::NoButton;
    bool answered_ = false;
    Seen seen_;
};
