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

void ModalAnswerer::arm()
{
    fileToChoose_.clear();
    buttonToPress_ = QMessageBox::NoButton;
    start();
}

void ModalAnswerer::armToPress(QMessageBox::StandardButton button)
{
    fileToChoose_.clear();
    buttonToPress_ = button;
    start();
}

void ModalAnswerer::armToChooseFile(const QString& path)
{
    fileToChoose_ = path;
    buttonToPress_ = QMessageBox::NoButton;
    start();
}

void ModalAnswerer::armToTypeFileName(const QString& name)
{
    armToChooseFile(name);
    typeFileName_ = true;
}

void ModalAnswerer::start()
{
    if (!pollTimer_.isActive())
        ++armed_;
    answered_ = false;
    typeFileName_ = false;
    title_.clear();
    text_.clear();
    informativeText_.clear();
    icon_ = QMessageBox::NoIcon;
    defaultButton_ = QMessageBox::NoButton;
    directory_.clear();
    proposedFile_.clear();
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
    title_ = dialog->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        text_ = box->text();
        informativeText_ = box->informativeText();
        icon_ = box->icon();
        defaultButton_ = box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
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
        directory_ = fileDialog->directory().absolutePath();
        proposedFile_ = fileDialog->selectedFiles().value(0);
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
