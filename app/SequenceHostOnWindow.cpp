#include "app/SequenceHostOnWindow.h"

#include "app/RunStatus.h"
#include "ui_MainWindow.h"

MainWindow::SequenceHostOnWindow::SequenceHostOnWindow(MainWindow& window) : window_(window)
{
}

void MainWindow::SequenceHostOnWindow::log(const QString& line)
{
    window_.appendLogLine(line);
}

void MainWindow::SequenceHostOnWindow::setLabel(InfoLabel label, const QString& text)
{
    QLabel* const widget = labelOf(label);
    window_.runOnGuiThread([widget, text] { widget->setText(text); });
}

void MainWindow::SequenceHostOnWindow::send(const std::uint8_t* bytes, std::size_t length)
{
    window_.serialPort.send(bytes, static_cast<int>(length));
}

int MainWindow::SequenceHostOnWindow::receive(char* buffer, int size)
{
    return window_.serialPort.receive(buffer, size);
}

void MainWindow::SequenceHostOnWindow::pause(unsigned int milliseconds)
{
    pause_.sleep(milliseconds);
}

void MainWindow::SequenceHostOnWindow::showReceived(const QString& text)
{
    emit window_.emitUpdateReceive(text);
}

void MainWindow::SequenceHostOnWindow::runStarted()
{
    pause_.restore();
    window_.runOnGuiThread([this] { window_.showRunStarted(); });
}

void MainWindow::SequenceHostOnWindow::blockSent(std::uint32_t block, std::uint32_t blockCount)
{
    window_.runOnGuiThread([this, block, blockCount] { window_.showBlockSent(block, blockCount); });
}

void MainWindow::SequenceHostOnWindow::runEnded(const RunResult& result)
{
    pause_.cut();
    window_.runOnGuiThread([this, result] { window_.showRunEnded(result); });
}

QLabel* MainWindow::SequenceHostOnWindow::labelOf(InfoLabel label) const
{
    const MainWindowForm& form = *window_.form;
    switch (label) {
    case InfoLabel::FileSize: return form.label_FileSize;
    case InfoLabel::TotalBlocks: return form.label_TotalBlocks;
    case InfoLabel::CurrentBlock: return form.label_CurrenBlock;
    case InfoLabel::Action: break;
    }
    return form.label_Action;
}
