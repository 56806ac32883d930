#pragma once

#include <QHash>
#include <QString>

#include "inventory/inventory_file.h"

namespace tallyrook {

// Which file system holds a folder, known again on any machine by its UUID. A file system
// without one (tmpfs, a network share) is known by the machine, its device and mount point.
class VolumeFinder {
public:
    explicit VolumeFinder(QString machine) : machine_(std::move(machine)) {}
    Inventory::Volume Of(const QString& folder);

private:
    QString machine_;
    QHash<quint64, Inventory::Volume> byDevice_;
};

namespace volume_detail {
// The platform's part: the device number of the file system holding the path, false where
// there is none; the UUID of that device, empty where it has none.
bool DeviceOf(const QString& path, quint64& device);
QString UuidOf(quint64 device);
}  // namespace volume_detail

}  // namespace tallyrook
