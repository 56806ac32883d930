#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

#include "results_window/results_model.h"
#include "selection/list_actions.h"
#include "widgets/layout_rules.h"

class QAction;
class QLabel;
class QMenu;
class QProgressDialog;
class QTimer;
class QTreeView;

namespace tallyrook {

class PictureButton;

// The results window. Created the first time a run has rows, then shown and hidden, never
// destroyed while the program runs; closing it ends the program.
class Form4 : public QWidget {
    Q_OBJECT
public:
    // `mainWindow` is the window that Back shows again at this window's place. `dialogs` answers
    // the Trash requests instead of the window's message boxes (tests); not owned.
    Form4(ResultsModel& model, QWidget* mainWindow, TrashDialogs* dialogs = nullptr);
    ~Form4() override;

    // The hand-off of a run with rows: take the main window's width, height, position and window
    // state, show, and hide the main window.
    void ShowInPlaceOf(QWidget* mainWindow);

    // The list's menu for the row at 0-based `row` (-1: no row), at `globalPos`. Its commands
    // help the user choose; none of them changes a mark unless it says so.
    void OpenRowMenu(int row, const QPoint& globalPos);
    // The row's file in the desktop's default application.
    void OpenRow(int row);

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
    // The constructor's steps.
    void SetUpWindow();
    void BuildButtons();
    void BuildList();
    void BuildStatusLine();
    void FollowTheModel();
    void SetTabOrderAndCursors();
    void BuildUndo();
    void BuildRowMenu();
    void ConnectCommands();

    // Sizes the list and its columns from the window's outer size.
    void ApplyLayout();
    // The row's file in the file manager, or its folder where no file manager can point at it.
    void ShowRowInFolder(int row);
    // The row's path on the clipboard.
    void CopyRowPath(int row);
    // Compares the contents of the list's files in the background, with progress and Stop; the
    // Copies column then shows which are copies of each other. A stopped check changes nothing.
    void CompareContents();
    // Of every set of identical files, every copy checked but one, the keeper, and every other
    // row unchecked: the result is the whole selection. The contents are compared first if they
    // were not for this list.
    void KeepOneOfEveryCopy(KeeperRule rule);
    // Starts the contents check of the list, with its progress dialog, unless one is running;
    // `then` runs once it has finished, unless it was stopped.
    void StartComparison(std::function<void()> then);
    void ShowComparisonProgress(const ContentsProgress& done);
    // After a request: back to the list at the first file Uncheck These named, or what moved
    // told on the status line.
    void GoToRowOf(const QString& path);
    void TellMoved(const QList<TrashedFile>& moved, qint64 bytes);
    // Rows, checked files and their size, under the list.
    void UpdateStatusLine();
    QString CheckedText(const QLocale& locale) const;
    QString ComparedText(const QLocale& locale) const;

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
    TrashRequests trashRequests_;
    // What the last request moved, as the status line says it until the list changes.
    QString trashSummary_;
    QAction* undoAction_ = nullptr;

    ListComparison comparison_;
    QPointer<QProgressDialog> comparisonProgress_;

    QMenu* rowMenu_ = nullptr;
    int menuRow_ = -1;  // the row the open menu is for
    std::unique_ptr<TrashDialogs> ownDialogs_;
    TrashDialogs* dialogs_ = nullptr;
};

}  // namespace tallyrook
