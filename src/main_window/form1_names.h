#pragma once

#include <QLatin1StringView>

// The object names of the main window and its widgets. They are the names the widgets have always
// had, and tests, accessibility tools and scripts find the widgets by them, so they stay as they
// are; the members that hold the widgets are named for what they do.
namespace tallyrook::form1 {

inline constexpr QLatin1StringView Window{"Form1"};
inline constexpr QLatin1StringView Banner{"Image6"};
inline constexpr QLatin1StringView AddFolderButton{"Check2"};
inline constexpr QLatin1StringView FindButton{"Check1"};
inline constexpr QLatin1StringView ClearListButton{"Check3"};
// Hidden at rest; takes the find button's place during a run.
inline constexpr QLatin1StringView StopButton{"Check6"};
inline constexpr QLatin1StringView ExactFilenameBox{"Check4"};
inline constexpr QLatin1StringView ExactFilesizeBox{"Check5"};
inline constexpr QLatin1StringView SimilarFilenameBox{"Check7"};
inline constexpr QLatin1StringView ExactContentsBox{"Check8"};
inline constexpr QLatin1StringView FolderFrame{"Frame2"};
inline constexpr QLatin1StringView FolderList{"ListView3"};
inline constexpr QLatin1StringView FolderImages{"ImageList1"};
inline constexpr QLatin1StringView ProgressBar{"ProgressBar1"};
// The folder list's menu commands.
inline constexpr QLatin1StringView AddFolderAction{"AddFolderAction"};
inline constexpr QLatin1StringView RemoveAction{"RemoveAction"};
inline constexpr QLatin1StringView ProtectAction{"ProtectAction"};
inline constexpr QLatin1StringView StopProtectingAction{"StopProtectingAction"};
inline constexpr QLatin1StringView AddInventoryAction{"AddInventoryAction"};
inline constexpr QLatin1StringView SaveInventoryAction{"SaveInventoryAction"};
inline constexpr QLatin1StringView SaveFingerprintsAction{"SaveFingerprintsAction"};

}  // namespace tallyrook::form1
