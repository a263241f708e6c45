#pragma once

#include "serialport/SerialPortInfo.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

class PortComboBox;

// Keeps the Port box in step with the ports present: refreshed when its list
// drops down and whenever the set of ports changes (looked at every 2 s), so
// an adapter plugged in after the start can be chosen without a restart.
// The current choice stays while its port is present, a typed name that no
// port has stays typed, and an open port stays listed even when the system
// no longer lists it. Each item's tooltip names the adapter.
class PortList : public QObject
{
    Q_OBJECT

public:
    using Source = std::function<std::vector<SerialPortInfo>()>;

    PortList(PortComboBox& box, Source source, QObject* parent = nullptr);

    void refresh();
    // The port opened last stays listed while it is open; empty for none.
    void setOpenPort(const QString& name);
    // "description, hardware id" of a listed port, as far as the system knows them.
    QString adapterOf(const QString& name) const;

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
    void show(const std::vector<Entry>& entries);

    PortComboBox& box_;
    const Source source_;
    std::vector<Entry> shown_;
    QString openPort_;
    QTimer poll_;
};
