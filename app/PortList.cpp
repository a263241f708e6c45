#include "app/PortList.h"

#include "app/PortComboBox.h"
#include "serialport/PortName.h"
#include "session/PortIdentity.h"

#include <QSignalBlocker>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kPollIntervalMs = 2000;

} // namespace

PortList::PortList(PortComboBox& box, Source source, QObject* parent)
    : QObject(parent), box_(box), source_(std::move(source))
{
    connect(&box_, &PortComboBox::popupAboutToShow, this, &PortList::refresh);
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

void PortList::setOpenPort(const QString& name)
{
    openPort_ = name;
    refresh();
}

QString PortList::adapterOf(const QString& name) const
{
    const QByteArray wanted = name.toUtf8();
    const auto entry = std::find_if(shown_.begin(), shown_.end(), [&wanted](const Entry& candidate) {
        return isSamePortName(wanted.constData(), candidate.name.toUtf8().constData());
    });
    if (entry == shown_.end())
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
    const bool openPortListed = std::any_of(entries.begin(), entries.end(),
                                            [this](const Entry& entry) { return entry.name == openPort_; });
    if (!openPort_.isEmpty() && !openPortListed)
        entries.push_back({openPort_, QString(), QString()});
    return entries;
}

void PortList::show(const std::vector<Entry>& entries)
{
    const QString chosen = box_.currentText();
    const bool chosenWasListed = box_.findText(chosen) >= 0;
    const QSignalBlocker blocker(box_);
    box_.clear();
    for (const Entry& entry : entries) {
        box_.addItem(entry.name);
        const QString adapter = QStringList{entry.description, entry.hardwareId}.join('\n').trimmed();
        if (!adapter.isEmpty())
            box_.setItemData(box_.count() - 1, adapter, Qt::ToolTipRole);
    }
    shown_ = entries;

    const int stillThere = box_.findText(chosen);
    if (stillThere >= 0)
        box_.setCurrentIndex(stillThere);
    else if (!chosenWasListed && !chosen.isEmpty())
        box_.setEditText(chosen); // typed by hand: kept as typed
    else
        box_.setCurrentIndex(box_.count() > 0 ? 0 : -1);
}
