#pragma once

#include <QHash>
#include <QSettings>
#include <QString>
#include <QTimer>
#include <memory>

namespace tallyrook {

// The program's persistent text values, under the organisation and program names of
// shared/program.h, one text per key, in a file of the user's configuration folder
// (~/.config/Marwendel/Tallyrook.conf on Linux).
//
// Every key read once is kept in memory and every write goes to memory first, so the stop poll,
// made at every directory entry of a walk, is a hash look-up. A write reaches the file within
// FlushDelayMs (once the event loop runs), the writes of that stretch together: one window drag
// is one file write, and a crash or a kill loses nothing the user set. "Stop" alone waits for the
// next flush: it is written twice per run, and each write to disk costs tens of milliseconds of
// flushing. A store that cannot be written does not stop the program: the value lives on in
// memory for this session. So does one that is no settings file: a fifo, a device, or a link to
// anything but a regular file is read as empty and never opened, so that it neither holds up the
// start nor is replaced by a write; a link to a regular file, as in a dotfiles folder, is written
// through and stays a link.
// Its keys are named in settings/setting_keys.h.
class SettingsStore {
public:
    static constexpr int FlushDelayMs = 500;

    SettingsStore();
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The stored text of the key; the empty text when the key is absent.
    QString ReadSetting(const QString& key);
    void WriteSetting(const QString& key, const QString& value);

    // Pushes pending writes to disk now; false when the store could not be written.
    bool Sync();

private:
    const QString path_;
    std::unique_ptr<QSettings> store_;  // none when no settings file could be read at the start
    QHash<QString, QString> values_;
    QHash<QString, QString> unwritten_;
    QTimer flush_;
};

}  // namespace tallyrook
