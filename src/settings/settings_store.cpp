#include "settings_store.h"

namespace tallyrook {

SettingsStore::SettingsStore() : store_(QStringLiteral("Marwendel"), QStringLiteral("Tallyrook")) {}

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
    store_.setValue(key, value);
}

bool SettingsStore::Sync() {
    store_.sync();
    return store_.status() == QSettings::NoError;
}

}  // namespace tallyrook
