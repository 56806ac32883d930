#pragma once

#include <QString>

// The keys of the settings store. Stored files and earlier versions know them by these exact
// spellings, so they never change.
namespace tallyrook::setting_keys {

// The stop request ("True" or "False"): the stop button writes it and the run polls it, so the
// store is the one channel between window and engine, and the engine needs no window at all.
inline const QString Stop = QStringLiteral("Stop");

// The criteria, "1" or "0". Exact Contents came later: a store without it reads as unticked.
inline const QString ExactFilename = QStringLiteral("ExactFilename");
inline const QString ExactFilesize = QStringLiteral("ExactFilesize");
inline const QString SimilarFilename = QStringLiteral("SimilarFilename");
inline const QString ExactContents = QStringLiteral("ExactContents");

// The main window's state (0 normal, 1 minimised, 2 maximised) and outer size in twips.
inline const QString WindowState = QStringLiteral("WindowState");
inline const QString FormWidth = QStringLiteral("FormWidth");
inline const QString FormHeight = QStringLiteral("FormHeight");

// The folders the user protected in the folder list, one per line, each ending with "/". The
// folder list itself is not stored; these are, so that a reference folder stays protected.
inline const QString ProtectedFolders = QStringLiteral("ProtectedFolders");

// The saved inventories in the folder list, their files' paths one per line. Unlike the folders
// they are remembered: finding an inventory's file again is more work than dropping a folder.
inline const QString Inventories = QStringLiteral("Inventories");

}  // namespace tallyrook::setting_keys
