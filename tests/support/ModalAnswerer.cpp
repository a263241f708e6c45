#include "tests/support/ModalAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QMessageBox>

#include <gtest/gtest.h>

int ModalAnswerer::armed_ = 0;

ModalAnswerer::ModalAnswerer()
{
    QObject::connect(&pollTimer_, &QTimer::timeout, [this] { poll(); });
}

ModalAnswerer::~ModalAnswerer()
{
    disarm();
}

void ModalAnswerer::guardAgainstUnexpectedDialogs()
{
    static QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || armed_ > 0)
            return;
        const auto* box = qobject_cast<QMessageBox*>(dialog);
        ADD_FAILURE() << "a dialog nobody expected: \"" << dialog->windowTitle().toStdString() << "\" "
                      << (box ? box->text().toStdString() : std::string());
        dialog->close();
    });
    guard.start(100);
}

void ModalAnswerer::start(QMessageBox::StandardButton button, const QString& file, bool typeFileName)
{
    if (!pollTimer_.isActive())
        ++armed_;
    buttonToPress_ = button;
    fileToChoose_ = file;
    typeFileName_ = typeFileName;
    answered_ = false;
    seen_ = {};
    pollTimer_.start(10);
}

void ModalAnswerer::poll()
{
    if (QWidget* dialog = QApplication::activeModalWidget())
        answer(dialog);
}

void ModalAnswerer::disarm()
{
    if (pollTimer_.isActive())
        --armed_;
    pollTimer_.stop();
}

void ModalAnswerer::answer(QWidget* dialog)
{
    disarm();
    answered_ = true;
    seen_.title = dialog->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        seen_.text = box->text();
        seen_.informativeText = box->informativeText();
        seen_.icon = box->icon();
        seen_.defaultButton = box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
        if (QAbstractButton* button = box->button(buttonToPress_)) {
            button->click();
            return;
        }
    }

    auto* modalDialog = qobject_cast<QDialog*>(dialog);
    if (!modalDialog) {
        dialog->close();
        return;
    }
    auto* fileDialog = qobject_cast<QFileDialog*>(dialog);
    if (fileDialog) {
        seen_.directory = fileDialog->directory().absolutePath();
        seen_.proposedFile = fileDialog->selectedFiles().value(0);
    }
    if (fileDialog && !fileToChoose_.isEmpty()) {
        // selectFile leaves the file name field alone while it has the focus.
        if (QWidget* focused = fileDialog->focusWidget())
            focused->clearFocus();
        if (auto* field = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); field && typeFileName_)
            field->setText(fileToChoose_);
        else
            fileDialog->selectFile(fileToChoose_);
        modalDialog->accept(); // QFileDialog's own accept, which checks the file
    }
    // A dialog that refused the choice is cancelled, so the test fails rather
    // than waits.
    if (modalDialog->isVisible())
        modalDialog->reject();
}
