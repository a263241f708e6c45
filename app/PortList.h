#pragma once

#include "serialport/SerialPortInfo.h"
#include "session/PortIdentity.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

class PortComboBox;
class QAction;

// Keeps the Port box in step with the ports present: refreshed when its list
// drops down and whenever the set of ports changes (looked at every 2 s), so
// an adapter plugged in after the start can be chosen without a restart.
//
// The list never moves the choice: the port chosen, listed or typed, stays
// in the box when the system stops listing it (an adapter pulled, a port
// lost or closed), marked as not listed, and is selected again when it comes
// back. Only an empty choice takes the first port listed. Each item's
// tooltip names the adapter, as plain text.
class PortList : public QObject
{
    Q_OBJECT

public:
    using Source = std::function<std::vector<SerialPortInfo>()>;

    PortList(PortComboBox& box, Source source, QObject* parent = nullptr);

    void refresh();
    // "description, hardware id" of a listed port, as far as the system knows them.
    QString adapterOf(const QString& name) const;
    // What the system says of the port now, for the record of a run.
    PortIdentity identityOf(const QString& name) const { return identifyPort(source_(), name); }

private:
    struct Entry
    {
        QString name;
        QString description;
        QString hardwareId;
        bool operator==(const Entry& other) const
        {
            return name == other.name && description == other.description && hardwareId == other.hardwareId;
        }
    };

    std::vector<Entry> presentEntries() const;
    const Entry* listed(const QString& name) const;
    void show(const std::vector<Entry>& entries);
    void markUnlisted();

    PortComboBox& box_;
    const Source source_;
    std::vector<Entry> shown_;
    QAction* unlistedMark_;
    QTimer poll_;
};
