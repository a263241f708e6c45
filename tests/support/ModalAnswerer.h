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
    void arm();
    // Presses `button` of the message box that opens next.
    void armToPress(QMessageBox::StandardButton button);
    // Selects `path` in the QFileDialog that opens next and accepts it.
    void armToChooseFile(const QString& path);
    // Types `name` into the file name field of the QFileDialog that opens
    // next, in the folder it shows, and accepts it.
    void armToTypeFileName(const QString& name);

    bool answered() const { return answered_; }
    const QString& title() const { return title_; }
    const QString& text() const { return text_; }
    const QString& informativeText() const { return informativeText_; }
    QMessageBox::Icon icon() const { return icon_; }
    QMessageBox::StandardButton defaultButton() const { return defaultButton_; }
    // The folder a file dialog showed when it opened, and the file name it proposed.
    const QString& directory() const { return directory_; }
    const QString& proposedFile() const { return proposedFile_; }

private:
    void start();
    void disarm();
    void poll();
    void answer(QWidget* dialog);

    static int armed_;

    QTimer pollTimer_;
    QString fileToChoose_;
    bool typeFileName_ = false;
    QMessageBox::StandardButton buttonToPress_ = QMessageBox::NoButton;
    bool answered_ = false;
    QString title_;
    QString text_;
    QString informativeText_;
    QMessageBox::Icon icon_ = QMessageBox::NoIcon;
    QMessageBox::StandardButton defaultButton_ = QMessageBox::NoButton;
    QString directory_;
    QString proposedFile_;
};
