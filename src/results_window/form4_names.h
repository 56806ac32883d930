#pragma once

#include <QLatin1StringView>

// The object names of the results window and its widgets. They are the names the widgets have
// always had, and tests, accessibility tools and scripts find the widgets by them, so they stay as
// they are; the members that hold the widgets are named for what they do. ("Check1" is the find
// button in the main window, but Send to Trash here.)
namespace tallyrook::form4 {

inline constexpr QLatin1StringView Window{"Form4"};
inline constexpr QLatin1StringView Banner{"Image1"};
inline constexpr QLatin1StringView BackButton{"Check2"};
inline constexpr QLatin1StringView SendToTrashButton{"Check1"};
inline constexpr QLatin1StringView UncheckAllButton{"Check3"};
inline constexpr QLatin1StringView ResultList{"ListView1"};
inline constexpr QLatin1StringView StatusLine{"StatusLine"};
inline constexpr QLatin1StringView ContentsProgress{"ContentsProgress"};
// The row menu and its commands.
inline constexpr QLatin1StringView RowMenu{"RowMenu"};
inline constexpr QLatin1StringView OpenAction{"OpenAction"};
inline constexpr QLatin1StringView ShowInFolderAction{"ShowInFolderAction"};
inline constexpr QLatin1StringView CopyPathAction{"CopyPathAction"};
inline constexpr QLatin1StringView CheckFolderAction{"CheckFolderAction"};
inline constexpr QLatin1StringView UncheckFolderAction{"UncheckFolderAction"};
inline constexpr QLatin1StringView CompareContentsAction{"CompareContentsAction"};
inline constexpr QLatin1StringView KeepNewestAction{"KeepNewestAction"};
inline constexpr QLatin1StringView KeepOldestAction{"KeepOldestAction"};
inline constexpr QLatin1StringView KeepLargestAction{"KeepLargestAction"};
inline constexpr QLatin1StringView KeepShortestPathAction{"KeepShortestPathAction"};
inline constexpr QLatin1StringView ProtectFolderAction{"ProtectFolderAction"};
inline constexpr QLatin1StringView StopProtectingAction{"StopProtectingAction"};
inline constexpr QLatin1StringView UndoAction{"UndoAction"};

}  // namespace tallyrook::form4
