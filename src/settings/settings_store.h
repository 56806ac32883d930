#pragma once

#include <QHash>
#include <QSettings>
#include <QString>

namespace tallyrook {

// The program's persistent text values: organisation "Marwendel", application "Tallyrook"
// (~/.config/Marwendel/Tallyrook.conf on Linux, the registry on Windows), one text per key.
//
// Every key read once is kept in memory and every write goes to memory first, so the stop poll,
// made at every directory entry of a walk, is a hash look-up. A store that cannot be written does
// not stop the program: the value lives on in memory for this session.
class SettingsStore {
public:
    SettingsStore();

    // The stored text of the key; the empty text when the key is absent.
    QString ReadSetting(const QString& key);
    void WriteSetting(const QString& key, const QString& value);

    // Pushes pending writes to disk; false when the store could not be written.
    bool Sync();

private:
    QSettings store_;
    QHash<QString, QString> values_;
};

}  // namespace tallyrook
