#include "app/PortList.h"

#include "app/PlainText.h"
#include "app/PortComboBox.h"
#include "serialport/PortName.h"
#include "session/PortIdentity.h"

#include <QAction>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>

namespace {

constexpr int kPollIntervalMs = 2000;

} // namespace

PortList::PortList(PortComboBox& box, Source source, QObject* parent)
    : QObject(parent), box_(box), source_(std::move(source)),
      unlistedMark_(box.lineEdit()->addAction(box.style()->standardIcon(QStyle::SP_MessageBoxWarning),
                                              QLineEdit::TrailingPosition))
{
    unlistedMark_->setObjectName(QStringLiteral("actionPortNotListed"));
    connect(&box_, &PortComboBox::popupAboutToShow, this, &PortList::refresh);
    connect(&box_, &QComboBox::currentTextChanged, this, &PortList::markUnlisted);
    connect(&poll_, &QTimer::timeout, this, &PortList::refresh);
    poll_.start(kPollIntervalMs);
    refresh();
}

void PortList::refresh()
{
    const std::vector<Entry> entries = presentEntries();
    if (entries != shown_)
        show(entries);
}

QString PortList::adapterOf(const QString& name) const
{
    const Entry* entry = listed(name);
    if (!entry)
        return QString();
    QStringList known;
    for (const QString& text : {entry->description, entry->hardwareId})
        if (!text.isEmpty())
            known << text;
    return known.join(QStringLiteral(", "));
}

std::vector<PortList::Entry> PortList::presentEntries() const
{
    std::vector<Entry> entries;
    for (const SerialPortInfo& port : source_())
        entries.push_back({portFieldText(port.portName), portFieldText(port.description), portFieldText(port.hardwareId)});
    return entries;
}

// The listed port that `name` names, by any of its names.
const PortList::Entry* PortList::listed(const QString& name) const
{
    const QByteArray wanted = name.toUtf8();
    const auto entry = std::find_if(shown_.begin(), shown_.end(), [&wanted](const Entry& candidate) {
        return isSamePortName(wanted.constData(), candidate.name.toUtf8().constData());
    });
    return entry == shown_.end() ? nullptr : &*entry;
}

void PortList::show(const std::vector<Entry>& entries)
{
    const QString chosen = box_.currentText();
    const int cursor = box_.lineEdit()->cursorPosition();
    {
        const QSignalBlocker blocker(box_);
        box_.clear();
        for (const Entry& entry : entries) {
            box_.addItem(entry.name);
            const QString adapter = QStringList{entry.description, entry.hardwareId}.join('\n').trimmed();
            if (!adapter.isEmpty())
                box_.setItemData(box_.count() - 1, plainToolTip(adapter), Qt::ToolTipRole);
        }
        shown_ = entries;

        const int stillThere = box_.findText(chosen);
        if (stillThere >= 0)
            box_.setCurrentIndex(stillThere);
        else if (!chosen.isEmpty())
            box_.setEditText(chosen);
        else
            box_.setCurrentIndex(box_.count() > 0 ? 0 : -1);
        if (box_.currentText() == chosen)
            box_.lineEdit()->setCursorPosition(cursor);
    }
    markUnlisted();
}

// A chosen name the system does not list shows a warning mark that says so.
void PortList::markUnlisted()
{
    const QString chosen = box_.currentText();
    const bool unlisted = !chosen.isEmpty() && !listed(chosen);
    unlistedMark_->setVisible(unlisted);
    unlistedMark_->setToolTip(
        unlisted ? plainToolTip(tr("%1 is not listed by the system now (unplugged, or a name it does not list).\n"
                                   "It stays chosen and is selected again when it comes back.")
                                    .arg(chosen))
                 : QString());
}
