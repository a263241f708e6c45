#include "app/PacingMenu.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

PacingMenu::PacingMenu(QMenuBar& bar, QAction* before, QObject* parent)
    : QObject(parent), group_(new QActionGroup(this))
{
    auto* menu = new QMenu(tr("&Settings"), &bar);
    menu->setObjectName(QStringLiteral("menuSettings"));
    bar.insertMenu(before, menu);
    protocol_ = menu->addAction(tr("&Protocol pacing: the pauses the bootloader's protocol mandates"));
    protocol_->setObjectName(QStringLiteral("actionPacingProtocol"));
    acknowledged_ = menu->addAction(
        tr("&Acknowledged pacing: for chips that acknowledge a block after writing it (faster)"));
    acknowledged_->setObjectName(QStringLiteral("actionPacingAcknowledged"));
    for (QAction* action : {protocol_, acknowledged_}) {
        action->setCheckable(true);
        group_->addAction(action);
    }
    protocol_->setChecked(true);
    connect(group_, &QActionGroup::triggered, this, [this] { emit chosen(this->pacing()); });
}

Pacing PacingMenu::pacing() const
{
    return acknowledged_->isChecked() ? Pacing::Acknowledged : Pacing::Protocol;
}

void PacingMenu::setPacing(Pacing pacing)
{
    (pacing == Pacing::Acknowledged ? acknowledged_ : protocol_)->setChecked(true);
}

void PacingMenu::setEnabled(bool enabled)
{
    group_->setEnabled(enabled);
}

QString pacingWord(Pacing pacing)
{
    return pacing == Pacing::Acknowledged ? QStringLiteral("acknowledged") : QStringLiteral("protocol");
}

Pacing pacingOfWord(const QString& word)
{
    return word == pacingWord(Pacing::Acknowledged) ? Pacing::Acknowledged : Pacing::Protocol;
}
