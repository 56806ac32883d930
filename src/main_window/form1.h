#pragma once

#include <QSize>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "inventory/inventory_file.h"
#include "search/run_options.h"
#include "selection/protected_folders.h"
#include "widgets/layout_rules.h"

class QCheckBox;
class QFont;
class QGroupBox;
class QLabel;
class QProgressBar;

namespace tallyrook {

class DesktopHost;
struct FingerprintFailure;
class Dialogs;
class FolderListView;
class Form4;
class Global;
class ImageList;
class PictureButton;
class ContentsPass;
class ResultsModel;
class SearchHost;
class SettingsStore;
struct RecordedFingerprints;

// The main window: the folder list, the four criteria, Add Folder, Find, Clear List, the stop
// button that takes Find's place during a run, and the progress bar. Its state, size and the
// criteria are saved the moment they change and restored at start; the folder list never is, but
// the saved inventories in it are.
// Closing it ends the program, also in the middle of a search.
class Form1 : public QWidget {
    Q_OBJECT
public:
    // `dialogs` replaces the platform's message boxes and folder dialog (tests); without it the
    // window uses its own.
    Form1(Global& global, SettingsStore& settings, ResultsModel& results,
          Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    // The resize rules for an outer size of W x H twips, then the three geometry keys.
    void ApplyLayout(int outerWidth, int outerHeight);
    // The window's outer size (its frame included) in twips.
    QSize OuterSizeTwips() const;

    QStringList FolderEntries() const;
    // The folders the program was started with, added to the folder list in order; those that
    // name no folder that can be read are left out, and the result says why ("PATH: reason").
    QStringList AddCommandLineFolders(const QStringList& paths);
    // Saved inventories added to the folder list and remembered, each file once. A file that is
    // not an inventory this program reads is left out, and the result says why ("FILE: reason").
    QStringList AddInventoryFiles(const QStringList& files);
    QStringList InventoryFiles() const;

    void SetProgress(int percent);
    // Find hidden and stop shown while a run goes on; the reverse at rest.
    void SetRunning(bool running);
    // The results window, made on first use, takes this window's place.
    void ShowResults();
    Form4* ResultsWindow() const { return resultsWindow_.get(); }

    SearchHost& Host();
    bool IsClosing() const { return closing_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The controls, built in the order they stack and appear to a screen reader.
    void BuildControls();
    void BuildBannerAndButtons();
    void BuildCriteria(const QFont& font);
    void BuildFolderList(const QFont& font);
    // The folder list's menu: Add Folder, Add Inventory and Remove, the protection commands, then
    // Save Inventory.
    void BuildFolderListMenu();
    void AddProtectionCommands();
    void AddInventoryCommands();
    // The buttons' handlers, and the criteria into the run's options and the store.
    void ConnectControls();
    void StartUp();
    struct StoredGeometry {
        QString state;
        QString width;
        QString height;
    };
    void RestoreGeometry(const StoredGeometry& stored);
    void RestoreCriterion(QCheckBox* box, const QString& key);
    void SetOuterSizeTwips(int width, int height);
    // Moves the window as little as it takes to lie within the screen's available area.
    void KeepOnScreen();
    void FitPendingOuterSize();
    void PlaceWidgets();

    void OnFind();
    // After Exact Contents: names the files it could not read.
    void ReportNotCompared(const ContentsPass& pass);
    void OnAddFolder();
    void OnClearList();
    void OnStop();
    void OnAddInventory();
    // Walks the listed folders and saves their inventory, with fingerprints if asked, as a search
    // walks: the progress bar, the caption and Stop. Stopped or closed, no file is left.
    void OnSaveInventory(bool fingerprints);
    // The walk of the folders an inventory is saved of, into `walkedFiles`; false when it did not
    // end.
    bool WalkForInventory(const QStringList& folders, Global& walkedFiles);
    // What a save that ran to its end did: the files without a fingerprint, then the outcome.
    void ReportSavedInventory(const QString& file, const Inventory& inventory,
                              const QList<FingerprintFailure>& failures,
                              const InventoryError& error);
    // The listed inventories, read afresh for a run; false, and the user told, when one cannot be.
    bool LoadListedInventories();
    void StoreInventories();
    // Protects the selected entries' folders, or stops protecting them, and stores the list.
    void ProtectSelectedEntries(bool protect);
    // Shows each entry that a protected folder holds in italics, with a tooltip.
    void ShowProtection();

    Global& global_;
    SettingsStore& settings_;
    ResultsModel& results_;
    std::unique_ptr<Dialogs> ownDialogs_;
    Dialogs& dialogs_;
    // What Find asks of a run; the criteria follow the boxes, also while a run goes on.
    RunOptions runOptions_;
    std::unique_ptr<DesktopHost> host_;
    std::unique_ptr<Form4> resultsWindow_;
    // Every search's results start with these protected.
    ProtectedFolders protectedFolders_;
    // The inventories the run going on searches, and what their fingerprints are for its list.
    std::vector<Inventory> searchedInventories_;
    std::shared_ptr<RecordedFingerprints> recorded_;

    QLabel* banner_ = nullptr;
    PictureButton* findButton_ = nullptr;
    PictureButton* addFolderButton_ = nullptr;
    PictureButton* clearListButton_ = nullptr;
    PictureButton* stopButton_ = nullptr;
    QCheckBox* exactFilenameBox_ = nullptr;
    QCheckBox* exactFilesizeBox_ = nullptr;
    QCheckBox* similarFilenameBox_ = nullptr;
    QCheckBox* exactContentsBox_ = nullptr;
    QGroupBox* folderFrame_ = nullptr;
    ImageList* folderImages_ = nullptr;
    FolderListView* folderList_ = nullptr;
    QProgressBar* progressBar_ = nullptr;

    MainLayout layout_;
    QSize savedOuter_;
    // The stored outer size in pixels, waiting for the window manager's frame to be known.
    std::optional<QSize> pendingOuterSize_;
    // The outer size in twips that a stored size too large for the screen was reduced to at start;
    // until the window has another, the stored size is not overwritten.
    std::optional<QSize> reducedOuter_;
    bool running_ = false;
    bool closing_ = false;
};

}  // namespace tallyrook
