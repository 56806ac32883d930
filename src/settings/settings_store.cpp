#include "settings/settings_store.h"

#include "settings/setting_keys.h"
#include "shared/program.h"

namespace tallyrook {

SettingsStore::SettingsStore() : store_(OrganizationName, ProgramName) {
    flush_.setSingleShot(true);
    flush_.setInterval(FlushDelayMs);
    flush_.callOnTimeout([this] { Sync(); });
}

SettingsStore::~SettingsStore() {
    Sync();
}

QString SettingsStore::ReadSetting(const QString& key) {
    auto it = values_.constFind(key);
    if (it != values_.constEnd())
        return it.value();
    const QString value = store_.value(key).toString();
    values_.insert(key, value);
    return value;
}

void SettingsStore::WriteSetting(const QString& key, const QString& value) {
    values_.insert(key, value);
    unwritten_.insert(key, value);
    // Not restarted by later writes: the first one of a stretch is on disk within the delay.
    if (key != setting_keys::Stop && !flush_.isActive())
        flush_.start();
}

bool SettingsStore::Sync() {
    flush_.stop();
    for (auto it = unwritten_.cbegin(); it != unwritten_.cend(); ++it)
        store_.setValue(it.key(), it.value());
    unwritten_.clear();
    store_.sync();
    return store_.status() == QSettings::NoError;
}

}  // namespace tallyrook
