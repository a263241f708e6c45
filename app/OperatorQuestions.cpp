#include "app/OperatorQuestions.h"

#include <QCoreApplication>
#include <QGridLayout>

namespace {

constexpr int kDetailsWidthInCharacters = 60;

QString tr(const char* text)
{
    return QCoreApplication::translate("MainWindow", text);
}

bool confirm(QWidget* parent, const QString& title, const QString& question, const QString& consequence)
{
    QMessageBox box(QMessageBox::Warning, title, question, QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(consequence);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace

bool confirmFactoryReset(QWidget* parent, const QString& portName)
{
    return confirm(parent, tr("Factory Reset"), tr("Restore the factory settings of the chip on %1?").arg(portName),
                   tr("What the chip holds now cannot be had back."));
}

bool confirmCancelRunAndQuit(QWidget* parent, const QString& portName)
{
    return confirm(parent, tr("Quit"), tr("A run is in progress on %1. Cancel it and quit?").arg(portName),
                   tr("The chip stays in boot mode until it is flashed again."));
}

void showInformation(QWidget* parent, const QString& text, QMessageBox::Icon icon, const QString& details)
{
    QMessageBox box(icon, tr("Information"), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(details);
    // A box is as wide as its text; details get a width of their own, so
    // that a sentence is not broken after every few words.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()); grid && !details.isEmpty())
        grid->addItem(new QSpacerItem(kDetailsWidthInCharacters * box.fontMetrics().averageCharWidth(), 0,
                                      QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    box.exec();
}
