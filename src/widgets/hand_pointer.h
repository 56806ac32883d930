#pragma once

#include <QCursor>
#include <QString>

namespace tallyrook {

// The hand pointer of both windows: "HAND-M.CUR" in the program's own folder, or in the shared
// data folder of an installed program, when it can be read; otherwise the platform's default
// pointer.
QCursor HandCursor();
QCursor HandCursor(const QString& programFolder);
// The pointer in a Windows cursor (or any picture) file, with the file's hotspot; the platform's
// default pointer when the file cannot be read.
QCursor CursorFromFile(const QString& path);

}  // namespace tallyrook
