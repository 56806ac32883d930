#include "inventory/volume.h"

#include <QStorageInfo>

namespace tallyrook {

Inventory::Volume VolumeFinder::Of(const QString& folder) {
    quint64 device = 0;
    const bool known = volume_detail::DeviceOf(folder, device);
    if (known) {
        if (const auto found = byDevice_.constFind(device); found != byDevice_.cend())
            return *found;
    }
    const QStorageInfo storage(folder);
    Inventory::Volume volume{{}, storage.name(), storage.rootPath()};
    if (known)
        volume.id = volume_detail::UuidOf(device);
    if (volume.id.isEmpty())
        volume.id =
            machine_ + u':' + QString::fromUtf8(storage.device()) + u'@' + storage.rootPath();
    else
        volume.id = u"uuid:" + volume.id;
    if (known)
        byDevice_.insert(device, volume);
    return volume;
}

}  // namespace tallyrook
