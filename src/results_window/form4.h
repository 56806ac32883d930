#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "contents/contents_check.h"
#include "results_window/results_model.h"
#include "search/result_list.h"
#include "trash/trash_writer.h"
#include "widgets/layout_rules.h"

class QAction;
class QLabel;
class QMenu;
class QProgressDialog;
class QTimer;
class QTreeView;

namespace tallyrook {

class PictureButton;
class TrashDialogs;
struct TrashOutcome;

// The results window. Created the first time a run has rows, then shown and hidden, never
// destroyed while the program runs; closing it ends the program.
class Form4 : public QWidget {
    Q_OBJECT
public:
    // `mainWindow` is the window that Back shows again at this window's place.
    Form4(ResultsModel& model, QWidget* mainWindow);
    ~Form4() override;

    // The hand-off of a run with rows: take the main window's width, height, position and window
    // state, show, and hide the main window.
    void ShowInPlaceOf(QWidget* mainWindow);

    // The dialogs of a Trash request; nullptr goes back to the real ones. Not owned.
    void SetTrashDialogs(TrashDialogs* dialogs);
    // The contents check's limits and hooks, for tests.
    void SetContentsOptions(ContentsOptions options) { contentsOptions_ = std::move(options); }

    // The list's menu for the row at 0-based `row` (-1: no row), at `globalPos`. Its commands
    // help the user choose; none of them changes a mark unless it says so.
    void OpenRowMenu(int row, const QPoint& globalPos);
    // The row's file in the desktop's default application.
    void OpenRow(int row);
    // The row's file in the file manager, or its folder where no file manager can point at it.
    void ShowRowInFolder(int row);
    // The row's path on the clipboard.
    void CopyRowPath(int row);
    // Every row of a file in the row's folder or below it checked, or unchecked.
    void CheckFolder(int row);
    void UncheckFolder(int row);
    // Compares the contents of the list's files in the background, with progress and Stop; the
    // Copies column then shows which are copies of each other. A stopped check changes nothing.
    // `row` is not used.
    void CompareContents(int row);
    // Of every set of identical files, every copy checked but one, the keeper, and every other
    // row unchecked: the result is the whole selection. The contents are compared first if they
    // were not for this list. `row` is not used.
    void KeepNewest(int row);
    void KeepOldest(int row);
    void KeepLargest(int row);
    void KeepShortestPath(int row);
    // The row's folder and everything below it kept, for this list: its rows lose their marks and
    // cannot be checked; helpers keep its copies. Stop: every protected folder holding the row.
    void ProtectFolder(int row);
    void StopProtecting(int row);

public Q_SLOTS:
    // Back: the main window at this window's position and size; this window hides, rows kept.
    void OnBack();
    // Sends the checked rows' files to the Trash in one request.
    void OnSendToTrash();
    // Clears every check mark.
    void OnUncheckAll();
    // Puts the files of the last Trash request back, and their rows where they were with their
    // marks and colours. One step: afterwards there is nothing to undo.
    void UndoLastTrashRequest();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Sizes the list and its columns from the window's outer size.
    void ApplyLayout();
    // Takes out every row of a requested path whose file is gone now; the rest keep their marks.
    void RemoveCheckedRows(const QStringList& requested);
    void BuildRowMenu();
    void KeepOneOfEveryCopy(KeeperRule rule);
    // Starts the contents check of the list unless one is running; `then` runs once it has
    // finished, unless it was stopped.
    void StartComparison(std::function<void()> then);
    void PollComparison();
    // Rows, checked files and their size, under the list.
    void UpdateStatusLine();

    ResultsModel& model_;
    QWidget* mainWindow_;
    QLabel* banner_ = nullptr;
    PictureButton* sendToTrashButton_ = nullptr;
    PictureButton* backButton_ = nullptr;
    PictureButton* uncheckAllButton_ = nullptr;
    QTreeView* resultList_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QTimer* statusTimer_ = nullptr;
    ResultsLayout layout_;
    // The last confirmed request's moves and the list as it was just before, until the next
    // request or the next run.
    struct TrashUndo {
        QList<TrashedFile> moved;
        std::vector<ResultRow> rows;
        QSet<QString> asCompared;  // the requested files unchanged since compared
    };
    TrashUndo lastRequest_;
    // What the last request moved, as the status line says it until the list changes.
    QString trashSummary_;
    QAction* undoAction_ = nullptr;

    // The contents check under way, with what it was given.
    struct Comparison {
        QList<ContentsFile> files;
        quint64 list = 0;  // the model's ListNumber() at the start
        std::function<void()> then;
        std::unique_ptr<ContentsCheck> check;
        QPointer<QProgressDialog> progress;
        bool stopped = false;
    };
    std::unique_ptr<Comparison> comparison_;
    QTimer* comparisonPoll_ = nullptr;
    ContentsOptions contentsOptions_;

    QMenu* rowMenu_ = nullptr;
    int menuRow_ = -1;  // the row the open menu is for
    std::unique_ptr<TrashDialogs> ownDialogs_;
    TrashDialogs* dialogs_ = nullptr;
};

}  // namespace tallyrook
