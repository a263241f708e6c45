#include "app/JobPanel.h"

#include "app/PacingMenu.h"
#include "flash/FirmwareFile.h"
#include "session/PrintableText.h"
#include "ui_MainWindow.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

// Selects the item that carries value; a baud rate the box does not offer
// is added to it, so that the box shows what the port opens with.
void selectValue(QComboBox& box, int value)
{
    if (box.findData(value) < 0)
        box.addItem(QString::number(value), value);
    box.setCurrentIndex(box.findData(value));
}

QString approvalRefusal(const Job& job, const ImageLoad& load)
{
    const QString mismatch = sha256Mismatch(*load.image, job.sha256);
    if (mismatch.isEmpty())
        return QString();
    return QObject::tr("%1 is not the job's approved image: %2").arg(QDir::toNativeSeparators(load.path), mismatch);
}

} // namespace

JobPanel::JobPanel(Ui::MainWindow& form, PacingMenu& pacingMenu, QWidget& dialogParent)
    : QObject(&dialogParent), form_(form), pacingMenu_(pacingMenu), dialogParent_(dialogParent),
      name_(new QLabel(form.labelFirmware_1->parentWidget()))
{
    form.menuFile->addSeparator();
    open_ = form.menuFile->addAction(tr("Open &Job..."), this, [this] {
        const QString chosen = QFileDialog::getOpenFileName(&dialogParent_, tr("Open Job"), folder_,
                                                            tr("Jobs (*.orvjob *.json);;All files (*)"));
        if (!chosen.isEmpty())
            emit openChosen(chosen);
    });
    open_->setObjectName(QStringLiteral("actionOpenJob"));
    close_ = form.menuFile->addAction(tr("&Close Job"), this, &JobPanel::closeChosen);
    close_->setObjectName(QStringLiteral("actionCloseJob"));
    close_->setEnabled(false);

    name_->setObjectName(QStringLiteral("labelJob"));
    name_->setTextFormat(Qt::PlainText);
    name_->setWordWrap(true);
    name_->setFont(form.labelFirmware_1->font());
    name_->hide();
    for (QBoxLayout* column : form.centralWidget->findChildren<QBoxLayout*>()) {
        const int firmware = column->indexOf(form.labelFirmware_1);
        if (firmware >= 0)
            column->insertWidget(firmware + 1, name_);
    }
}

bool JobPanel::open(const QString& path, QString& refusal)
{
    const JobFileRead read = readJobFile(path);
    if (!read.job) {
        refusal = read.error;
        return false;
    }
    const ImageLoad load = loadFirmwareImage(read.job->imagePath);
    refusal = load.image ? approvalRefusal(*read.job, load) : load.reason;
    if (!refusal.isEmpty())
        return false;
    if (!job_)
        titleWithoutJob_ = dialogParent_.windowTitle();
    job_ = read.job;
    folder_ = QFileInfo(path).absolutePath();
    // In the title too, which stays in sight where the window scrolls.
    const QString name = printableText(job_->name);
    dialogParent_.setWindowTitle(tr("%1 - job %2").arg(titleWithoutJob_, name));
    name_->setText(tr("Job: %1").arg(name));
    name_->show();
    showLineSettings();
    pacingMenu_.setPacing(job_->dialogue.pacing);
    close_->setEnabled(true);
    return true;
}

void JobPanel::close()
{
    job_.reset();
    dialogParent_.setWindowTitle(titleWithoutJob_);
    name_->hide();
    close_->setEnabled(false);
}

QString JobPanel::refusalOf(const ImageLoad& load) const
{
    return job_ && load.image ? approvalRefusal(*job_, load) : QString();
}

void JobPanel::setEnabled(bool enabled)
{
    open_->setEnabled(enabled);
    close_->setEnabled(enabled && job_);
}

void JobPanel::showLineSettings()
{
    selectValue(*form_.comboBoxBaudrate, job_->line.baud);
    selectValue(*form_.comboBoxParity, job_->line.parity);
    selectValue(*form_.comboBoxDataBit, job_->line.dataBits);
    selectValue(*form_.comboBoxStopBit, job_->line.stopBits);
}
