#pragma once

#include <QString>
#include <QTimer>

// Answers the next modal dialog so that a test can call code that blocks in
// QDialog::exec(). Arm it first, then call the code; the answerer polls for
// the active modal widget from the dialog's own event loop, records its title
// (and, for a QMessageBox, its text) and answers it once.
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
    // Selects `path` in the QFileDialog that opens next and accepts it.
    void armToChooseFile(const QString& path);

    bool answered() const { return answered_; }
    const QString& title() const { return title_; }
    const QString& text() const { return text_; }
    // The folder a file dialog showed when it opened.
    const QString& directory() const { return directory_; }

private:
    void start();
    void disarm();
    void poll();
    void answer(QWidget* dialog);

    static int armed_;

    QTimer pollTimer_;
    QString fileToChoose_;
    bool answered_ = false;
    QString title_;
    QString text_;
    QString directory_;
};
