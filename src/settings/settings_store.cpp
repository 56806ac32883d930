#include "settings/settings_store.h"

#include <QFileInfo>
#include <QStandardPaths>

#include "settings/setting_keys.h"
#include "shared/program.h"

namespace tallyrook {

namespace {

// Where QSettings keeps the organisation's program on Linux, named so that the file can be
// checked before QSettings opens it.
QString SettingsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           OrganizationName + u'/' + ProgramName + QStringLiteral(".conf");
}

// Nothing there yet, or a regular file, also at the end of links: a fifo would hold up the first
// read until something wrote to it, and a write replaces whatever is at the end of the links.
bool IsSettingsFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() || (!info.exists() && !info.isSymLink());
}

}  // namespace

SettingsStore::SettingsStore() : path_(SettingsPath()) {
    if (IsSettingsFile(path_))
        store_ = std::make_unique<QSettings>(path_, QSettings::IniFormat);
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
    QString value = store_ ? store_->value(key).toString() : QString();
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
    // Again at every write: the file may have been replaced while the program ran.
    if (!store_ || !IsSettingsFile(path_))
        return false;
    for (auto it = unwritten_.cbegin(); it != unwritten_.cend(); ++it)
        store_->setValue(it.key(), it.value());
    unwritten_.clear();
    store_->sync();
    return store_->status() == QSettings::NoError;
}

}  // namespace tallyrook
