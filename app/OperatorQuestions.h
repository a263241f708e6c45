#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// The boxes the window shows. Their texts are shown as they stand, never as
// markup: they carry port names and paths.

// Before a step that cannot be undone: true only when the operator answers
// Yes. No is the default, so Enter or Esc leaves everything as it is.
bool confirmFactoryReset(QWidget* parent, const QString& portName);
bool confirmCancelRunAndQuit(QWidget* parent, const QString& portName);

// A box with one Ok button and no default button, titled "Information";
// `details` go below the text in smaller type when not empty.
void showInformation(QWidget* parent, const QString& text, QMessageBox::Icon icon = QMessageBox::Information,
                     const QString& details = QString());
