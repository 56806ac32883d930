#include "results_window/form4.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressDialog>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <QUrl>
#include <utility>

#ifdef TALLYROOK_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#endif

#include "results_window/form4_names.h"
#include "results_window/results_model.h"
#include "results_window/trash_dialogs.h"
#include "search/file_functions.h"
#include "search/formats.h"
#include "shared/program.h"
#include "shared/twips.h"
#include "widgets/hand_pointer.h"
#include "widgets/layout_rules.h"
#include "widgets/picture_button.h"
#include "widgets/window_look.h"

namespace tallyrook {

namespace {

// The list of the results window. Space marks the current row's file whatever column has the
// focus (the stock view toggles only on the check box's column); a double-click away from the
// check box opens the file; the mouse's menu, the Menu key and Shift+F10 ask for the row menu.
class ResultsView : public QTreeView {
public:
    ResultsView(Form4& form, QWidget* parent) : QTreeView(parent), form_(form) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        // Some window systems send a menu event of their own just before the Menu key.
        const bool menuShown = std::exchange(menuFromKeyboard_, false);
        const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
        const bool space = event->key() == Qt::Key_Space || event->key() == Qt::Key_Select;
        const bool menu = (event->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
                          (event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier);
        if (menu) {
            if (!menuShown || event->key() != Qt::Key_Menu)
                OpenMenuAtCurrentRow();
            event->accept();
            return;
        }
        const QModelIndex current = currentIndex();
        if (!space || !current.isValid() || modifiers != Qt::NoModifier) {
            QTreeView::keyPressEvent(event);
            return;
        }
        // The current row's file only: a selection of other rows keeps its marks.
        const QModelIndex box = current.siblingAtColumn(ResultsModel::FilenameColumn);
        const bool checked = box.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        model()->setData(box, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        event->accept();
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override {
        const QModelIndex index = indexAt(event->position().toPoint());
        const bool onBox = index.isValid() && index.column() == ResultsModel::FilenameColumn &&
                           CheckBoxRect(index).contains(event->position().toPoint());
        // The check box's own double-click marks and unmarks; anywhere else it opens the file.
        QTreeView::mouseDoubleClickEvent(event);
        if (index.isValid() && !onBox && event->button() == Qt::LeftButton)
            form_.OpenRow(index.row());
    }

    bool viewportEvent(QEvent* event) override {
        // The whole path shows only where the Filename cell cuts it.
        if (event->type() == QEvent::ToolTip) {
            const auto* help = static_cast<QHelpEvent*>(event);
            const QModelIndex index = indexAt(help->pos());
            if (index.isValid() && index.column() == ResultsModel::FilenameColumn) {
                QStyleOptionViewItem option;
                initViewItemOption(&option);
                option.rect = visualRect(index);
                if (itemDelegateForIndex(index)->sizeHint(option, index).width() <=
                    option.rect.width()) {
                    QToolTip::hideText();
                    return true;
                }
            }
        }
        return QTreeView::viewportEvent(event);
    }

    void contextMenuEvent(QContextMenuEvent* event) override {
        if (event->reason() == QContextMenuEvent::Keyboard) {
            menuFromKeyboard_ = true;
            OpenMenuAtCurrentRow();
            return;
        }
        const QModelIndex index = indexAt(viewport()->mapFromGlobal(event->globalPos()));
        form_.OpenRowMenu(index.isValid() ? index.row() : -1, event->globalPos());
    }

private:
    QRect CheckBoxRect(const QModelIndex& index) const {
        QStyleOptionViewItem option;
        option.initFrom(this);
        option.rect = visualRect(index);
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
    }

    void OpenMenuAtCurrentRow() {
        const QModelIndex current = currentIndex();
        QRect place = current.isValid() ? visualRect(current.siblingAtColumn(0)) : QRect();
        if (!place.isValid() || !viewport()->rect().intersects(place))
            place = QRect(viewport()->rect().topLeft(), QSize(1, 1));
        form_.OpenRowMenu(current.isValid() ? current.row() : -1,
                          viewport()->mapToGlobal(place.bottomLeft()));
    }

    Form4& form_;
    bool menuFromKeyboard_ = false;
};

}  // namespace

Form4::Form4(ResultsModel& model, QWidget* mainWindow, TrashDialogs* dialogs)
    : QWidget(nullptr),
      model_(model),
      mainWindow_(mainWindow),
      trashRequests_(model),
      comparison_(model),
      ownDialogs_(dialogs ? nullptr : std::make_unique<QtTrashDialogs>(this)),
      dialogs_(dialogs ? dialogs : ownDialogs_.get()) {
    SetUpWindow();
    BuildButtons();
    BuildList();
    BuildStatusLine();
    FollowTheModel();
    SetTabOrderAndCursors();
    BuildUndo();
    BuildRowMenu();
    ConnectCommands();
    ApplyLayout();
}

Form4::~Form4() = default;

void Form4::SetUpWindow() {
    setObjectName(form4::Window);
    setWindowTitle(ProgramCaption());
    setWindowIcon(WindowIcon());
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    resize(TwipsSize(12450, 7230));
}

void Form4::BuildButtons() {
    banner_ = new QLabel(this);
    banner_->setObjectName(form4::Banner);
    banner_->setGeometry(TwipsRect(-60, -60, 4185, 1380));
    banner_->setPixmap(QIcon(QStringLiteral(":/artwork/banner.svg")).pixmap(banner_->size()));

    backButton_ =
        new PictureButton(form4::BackButton, QStringLiteral(":/artwork/back_to_main.svg"), this);
    backButton_->SetCaption(tr("Back to main"));
    backButton_->setAccessibleDescription(tr("Show the main window and its folder list again."));
    backButton_->setShortcut(QKeySequence::Back);

    sendToTrashButton_ = new PictureButton(form4::SendToTrashButton,
                                           QStringLiteral(":/artwork/send_to_recycling.svg"), this);
    sendToTrashButton_->setToolTip(tr("Delete checked files."));
    sendToTrashButton_->SetCaption(tr("Send to recycling"));
    // The key of removing things, here and in the list: the same request, the same question.
    sendToTrashButton_->setShortcut(QKeySequence::Delete);

    uncheckAllButton_ = new PictureButton(form4::UncheckAllButton,
                                          QStringLiteral(":/artwork/uncheck_all.svg"), this);
    uncheckAllButton_->setToolTip(tr("Clear out all checkmarks."));
    uncheckAllButton_->SetCaption(tr("Uncheck all"));
    uncheckAllButton_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
}

void Form4::BuildList() {
    resultList_ = new ResultsView(*this, this);
    resultList_->setObjectName(form4::ResultList);
    resultList_->setAccessibleName(tr("Duplicate files"));
    resultList_->setAccessibleDescription(
        tr("One row per file. Space checks or unchecks the current row's file, Delete sends the "
           "checked files to the Trash, the Menu key opens the row's commands."));
    resultList_->setGeometry(TwipsRect(120, 1320, layout_.listWidth, layout_.listHeight));
    resultList_->setFont(CaptionFont());
    resultList_->setModel(&model_);
    resultList_->setRootIsDecorated(false);
    resultList_->setItemsExpandable(false);
    // Every row has the same height, so a long list scrolls without measuring each row.
    resultList_->setUniformRowHeights(true);
    resultList_->setAllColumnsShowFocus(true);
    resultList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    resultList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultList_->setSortingEnabled(false);
    resultList_->setTextElideMode(Qt::ElideMiddle);
    QHeaderView* header = resultList_->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionResizeMode(QHeaderView::Interactive);
}

void Form4::BuildStatusLine() {
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(form4::StatusLine);
    statusLine_->setTextFormat(Qt::PlainText);
    statusLine_->setAccessibleDescription(tr("Rows, checked files and their size"));
    // Marks and rows change in bursts (a helper, a run): the line follows once the burst is over.
    // A hidden window is brought up to date as it is shown.
    statusTimer_ = new QTimer(this);
    statusTimer_->setSingleShot(true);
    statusTimer_->setInterval(0);
    connect(statusTimer_, &QTimer::timeout, this, &Form4::UpdateStatusLine);
}

void Form4::FollowTheModel() {
    const auto statusChanged = [this] {
        if (isVisible())
            statusTimer_->start();
    };
    connect(&model_, &QAbstractItemModel::dataChanged, this, statusChanged);
    connect(&model_, &QAbstractItemModel::rowsInserted, this, statusChanged);
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, statusChanged);
    connect(&model_, &QAbstractItemModel::modelReset, this, statusChanged);
    const auto listChanged = [this] { trashSummary_.clear(); };
    connect(&model_, &QAbstractItemModel::rowsInserted, this, listChanged);
    connect(&model_, &QAbstractItemModel::modelReset, this, listChanged);
    // The Copies column comes with a comparison and goes with the next run's rows.
    connect(&model_, &QAbstractItemModel::columnsInserted, this, &Form4::ApplyLayout);
    connect(&model_, &QAbstractItemModel::modelReset, this, &Form4::ApplyLayout);
    connect(&comparison_, &ListComparison::Progressed, this, &Form4::ShowComparisonProgress);
    connect(&comparison_, &ListComparison::Ended, this, [this] { delete comparisonProgress_; });
}

void Form4::SetTabOrderAndCursors() {
    setTabOrder(backButton_, sendToTrashButton_);
    setTabOrder(sendToTrashButton_, uncheckAllButton_);
    setTabOrder(uncheckAllButton_, resultList_);

    setCursor(Qt::ArrowCursor);
    banner_->setCursor(Qt::ArrowCursor);
    const QCursor hand = HandCursor();
    for (QWidget* widget :
         {static_cast<QWidget*>(sendToTrashButton_), static_cast<QWidget*>(backButton_),
          static_cast<QWidget*>(uncheckAllButton_), static_cast<QWidget*>(resultList_)})
        widget->setCursor(hand);
}

void Form4::BuildUndo() {
    undoAction_ = new QAction(tr("&Undo Last Trash Request"), this);
    undoAction_->setObjectName(form4::UndoAction);
    undoAction_->setShortcut(QKeySequence::Undo);
    undoAction_->setEnabled(false);
    addAction(undoAction_);
    connect(undoAction_, &QAction::triggered, this, &Form4::UndoLastTrashRequest);
}

void Form4::ConnectCommands() {
    connect(sendToTrashButton_, &QPushButton::clicked, this, &Form4::OnSendToTrash);
    connect(backButton_, &QPushButton::clicked, this, &Form4::OnBack);
    connect(uncheckAllButton_, &QPushButton::clicked, this, &Form4::OnUncheckAll);
    // A click on a row gives its mark to every row of the same file.
    connect(resultList_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (!index.isValid())
            return;
        const ResultRow& row = model_.Row(index.row());
        model_.SetCheckedByText(row.path, row.checked);
    });
}

void Form4::ShowInPlaceOf(QWidget* mainWindow) {
    const Qt::WindowStates shown =
        mainWindow->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized);
    const bool normal = shown == Qt::WindowNoState;
    // The normal geometry first, so that restoring from maximised lands where the main window
    // would have.
    setWindowState(Qt::WindowNoState);
    setGeometry(normal ? mainWindow->geometry() : mainWindow->normalGeometry());
    // A new run's rows: the last request's files are no longer theirs to undo, nor is a
    // comparison of the old list theirs.
    trashRequests_.Forget();
    comparison_.Stop();
    delete comparisonProgress_;
    undoAction_->setEnabled(false);
    setWindowState(shown);
    show();
    // The keyboard moves along: the main window that had it is going away.
    activateWindow();
    mainWindow->hide();
}

void Form4::OnBack() {
    if (mainWindow_) {
        // Only the place and size go back; the main window keeps its own state, except that it
        // comes back restored when it was minimised at the hand-off: Back must leave a window
        // on screen.
        const Qt::WindowStates state = windowState();
        const QRect place =
            state & (Qt::WindowMinimized | Qt::WindowMaximized) ? normalGeometry() : geometry();
        Qt::WindowStates mainState = mainWindow_->windowState();
        if (!(state & Qt::WindowMinimized))
            mainState &= ~Qt::WindowMinimized;
        mainWindow_->setWindowState(mainState);
        if (!(mainState & (Qt::WindowMinimized | Qt::WindowMaximized)))
            mainWindow_->setGeometry(place);
        mainWindow_->show();
    }
    hide();
}

void Form4::BuildRowMenu() {
    // The list's menu, in order: a command is added here and nowhere else. Its text is also the
    // name assistive technology reads out.
    const QString keeperTip =
        tr("Checks exactly the extra copies of every set of identical files and unchecks "
           "every other row. Empty files and protected folders are never checked.");
    const auto onRow = [this](RowCommand command) {
        return [this, command] { RunRowCommand(model_, command, menuRow_); };
    };
    const auto keep = [this](KeeperRule rule) {
        return [this, rule] { KeepOneOfEveryCopy(rule); };
    };
    struct Command {
        QLatin1StringView name;  // empty: a separator
        QString text;
        std::function<void()> run;
        bool needsRow = false;
        QString tip = {};
        QKeySequence shortcut = {};  // the window's, for no row in particular
    };
    const Command commands[] = {
        {form4::OpenAction, tr("&Open"), [this] { OpenRow(menuRow_); }, true},
        {form4::ShowInFolderAction, tr("Show in &Folder"), [this] { ShowRowInFolder(menuRow_); },
         true},
        {form4::CopyPathAction, tr("&Copy Path"), [this] { CopyRowPath(menuRow_); }, true},
        {},
        {form4::CheckFolderAction, tr("C&heck all in this folder"), onRow(RowCommand::CheckFolder),
         true},
        {form4::UncheckFolderAction, tr("Unchec&k all in this folder"),
         onRow(RowCommand::UncheckFolder), true},
        {},
        {form4::ProtectFolderAction, tr("&Protect this folder"), onRow(RowCommand::ProtectFolder),
         true,
         tr("Keeps every file in this folder and below it, for this list: it cannot be "
            "checked, and the helpers check the other copies instead.")},
        {form4::StopProtectingAction, tr("Stop p&rotecting"), onRow(RowCommand::StopProtecting),
         true},
        {},
        {form4::CompareContentsAction,
         tr("Compare Con&tents"),
         [this] { CompareContents(); },
         false,
         {},
         QKeySequence(Qt::CTRL | Qt::Key_K)},
        {},
        {form4::KeepNewestAction, tr("In every group, check all but the &newest"),
         keep(KeeperRule::Newest), false, keeperTip},
        {form4::KeepOldestAction, tr("In every group, check all but the o&ldest"),
         keep(KeeperRule::Oldest), false, keeperTip},
        {form4::KeepLargestAction, tr("In every group, check all but the lar&gest"),
         keep(KeeperRule::Largest), false, keeperTip},
        {form4::KeepShortestPathAction,
         tr("In every group, check all but the one with the &shortest path"),
         keep(KeeperRule::ShortestPath), false, keeperTip},
    };
    rowMenu_ = new QMenu(this);
    rowMenu_->setObjectName(form4::RowMenu);
    rowMenu_->setToolTipsVisible(true);
    for (const Command& command : commands) {
        if (command.name.isEmpty()) {
            rowMenu_->addSeparator();
            continue;
        }
        QAction* action = rowMenu_->addAction(command.text);
        action->setObjectName(command.name);
        action->setData(command.needsRow);
        if (!command.tip.isEmpty())
            action->setToolTip(command.tip);
        connect(action, &QAction::triggered, this, command.run);
        if (!command.shortcut.isEmpty()) {
            action->setShortcut(command.shortcut);
            addAction(action);
        }
    }
    // The window's Ctrl+Z, for no row in particular: enabled while there is something to undo.
    rowMenu_->addSeparator();
    rowMenu_->addAction(undoAction_);
}

void Form4::KeepOneOfEveryCopy(KeeperRule rule) {
    // Names and sizes alone do not make copies: the helpers work on compared contents only.
    if (!model_.ContentsCompared()) {
        StartComparison([this, rule] { KeepOneOfEveryCopy(rule); });
        return;
    }
    if (model_.CheckAllBut(rule) == 0)
        ShowMessageBox(this, ProgramName,
                       tr("No two files in the list have the same contents, so no "
                          "file was checked."));
}

void Form4::CompareContents() {
    StartComparison({});
}

void Form4::StartComparison(std::function<void()> then) {
    if (!comparison_.Start(std::move(then)))
        return;
    auto* progress = new QProgressDialog(tr("Comparing contents..."), tr("Stop"), 0, 1000, this);
    progress->setObjectName(form4::ContentsProgress);
    progress->setWindowTitle(tr("Compare Contents"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    // A check that is over at once shows none.
    progress->setMinimumDuration(300);
    progress->setValue(0);
    connect(progress, &QProgressDialog::canceled, &comparison_, &ListComparison::Stop);
    comparisonProgress_ = progress;
}

void Form4::ShowComparisonProgress(const ContentsProgress& done) {
    if (!comparisonProgress_)
        return;
    // The text and the bar measure the same: bytes, with the files beside them.
    const QString files =
        tr("%1 of %2 files")
            .arg(QLocale().toString(done.filesDone), QLocale().toString(done.filesTotal));
    comparisonProgress_->setLabelText(done.bytesTotal > 0
                                          ? tr("Comparing contents: %1 of %2 read (%3)")
                                                .arg(FormatSize(done.bytesDone, QLocale()),
                                                     FormatSize(done.bytesTotal, QLocale()), files)
                                          : tr("Comparing contents: %1").arg(files));
    if (done.bytesTotal > 0)
        comparisonProgress_->setValue(
            int(std::min<qint64>(999, 1000 * done.bytesDone / done.bytesTotal)));
}

void Form4::UpdateStatusLine() {
    if (!isVisible())
        return;
    const QLocale locale;
    QString text = CheckedText(locale);
    if (model_.ContentsCompared())
        text += ComparedText(locale);
    if (!trashSummary_.isEmpty())
        text += QStringLiteral(". ") + trashSummary_;
    statusLine_->setText(text);
}

QString Form4::CheckedText(const QLocale& locale) const {
    const int rows = model_.RowCount();
    const QStringList checked = model_.UniqueCheckedPaths();
    QString text = locale.toString(rows) + (rows == 1 ? tr(" row, ") : tr(" rows, "));
    if (checked.isEmpty())
        text += tr("no file checked");
    else
        text += locale.toString(checked.size()) +
                (checked.size() == 1 ? tr(" file checked") : tr(" files checked"));
    const CopyChoice::Space space = model_.SpaceFreed(checked);
    const QString size = FormatSize(space.bytes, locale);
    if (!checked.isEmpty() && !size.isEmpty())
        text += QStringLiteral(" (") + size + u')';
    if (space.namesFreeingNothing > 0)
        text += QStringLiteral(". ") + FreeNothingText(space.namesFreeingNothing);
    return text;
}

QString Form4::ComparedText(const QLocale& locale) const {
    const CopyChoice::Summary found = model_.CopySummary();
    if (found.sets == 0)
        return tr(". Compared: no two files have the same contents");
    return found.sets == 1
               ? tr(". Compared: 1 copy set, %1 files with a copy; the extra copies "
                    "take %2")
                     .arg(locale.toString(found.files), FormatSize(found.extraBytes, locale))
               : tr(". Compared: %1 copy sets, %2 files with a copy; the extra copies "
                    "take %3")
                     .arg(locale.toString(found.sets), locale.toString(found.files),
                          FormatSize(found.extraBytes, locale));
}

void Form4::OpenRowMenu(int row, const QPoint& globalPos) {
    menuRow_ = row >= 0 && row < model_.RowCount() ? row : -1;
    for (QAction* action : rowMenu_->actions()) {
        if (action->data().isValid())
            action->setEnabled(menuRow_ >= 0 || !action->data().toBool());
    }
    const bool isProtected = menuRow_ >= 0 && model_.IsProtected(menuRow_);
    rowMenu_->findChild<QAction*>(form4::ProtectFolderAction)
        ->setEnabled(menuRow_ >= 0 && !isProtected);
    rowMenu_->findChild<QAction*>(form4::StopProtectingAction)->setEnabled(isProtected);
    // A file that is not here has nothing here to open, check or protect; its path may be copied.
    if (menuRow_ >= 0 && !model_.IsHere(menuRow_)) {
        for (const QLatin1StringView name :
             {form4::OpenAction, form4::ShowInFolderAction, form4::CheckFolderAction,
              form4::UncheckFolderAction, form4::ProtectFolderAction, form4::StopProtectingAction})
            rowMenu_->findChild<QAction*>(name)->setEnabled(false);
    }
    rowMenu_->exec(globalPos);
}

void Form4::OpenRow(int row) {
    if (row < 0 || row >= model_.RowCount() || !model_.IsHere(row))
        return;
    const QString path = model_.Row(row).path;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        ShowMessageBox(this, ProgramName,
                       tr("No application could open \"%1\".").arg(QDir::toNativeSeparators(path)));
}

void Form4::ShowRowInFolder(int row) {
    if (row < 0 || row >= model_.RowCount() || !model_.IsHere(row))
        return;
    const QString path = model_.Row(row).path;
    const QUrl folder = QUrl::fromLocalFile(FolderOf(path));
#ifdef TALLYROOK_HAVE_DBUS
    // The file manager opens the folder with the file selected; without one on the bus, the
    // folder alone.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [folder](QDBusPendingCallWatcher* done) {
                    if (done->isError())
                        QDesktopServices::openUrl(folder);
                    done->deleteLater();
                });
        return;
    }
#endif
    QDesktopServices::openUrl(folder);
}

void Form4::CopyRowPath(int row) {
    if (row >= 0 && row < model_.RowCount())
        QGuiApplication::clipboard()->setText(
            QDir::toNativeSeparators(ResultsModel::PathWhereItIs(model_.Row(row))));
}

void Form4::OnSendToTrash() {
    TrashRequests::Sent sent = trashRequests_.Send(*dialogs_);
    if (!sent.asked)
        return;
    // The keyboard comes back from the request's dialogs to where it was.
    activateWindow();
    if (!sent.outcome.uncheck.isEmpty()) {
        GoToRowOf(sent.outcome.uncheck.first());
        return;
    }
    if (!sent.outcome.confirmed)
        return;
    if (!sent.outcome.moved.isEmpty())
        TellMoved(sent.outcome.moved, sent.freed.bytes);
    undoAction_->setEnabled(trashRequests_.CanUndo());
}

void Form4::GoToRowOf(const QString& path) {
    for (int k = 0; k < model_.RowCount(); ++k) {
        if (model_.Row(k).path == path) {
            const QModelIndex first = model_.index(k, ResultsModel::FilenameColumn);
            resultList_->setCurrentIndex(first);
            resultList_->scrollTo(first);
            return;
        }
    }
}

void Form4::TellMoved(const QList<TrashedFile>& moved, qint64 bytes) {
    const QLocale locale;
    const QString size = FormatSize(bytes, locale);
    const QString trash = TrashWriter::TrashName(), count = locale.toString(moved.size());
    if (moved.size() == 1)
        trashSummary_ =
            size.isEmpty()
                ? tr("1 file, moved to the %1. Ctrl+Z puts it back").arg(trash)
                : tr("1 file, %1, moved to the %2. Ctrl+Z puts it back").arg(size, trash);
    else
        trashSummary_ =
            size.isEmpty()
                ? tr("%1 files, moved to the %2. Ctrl+Z puts them back").arg(count, trash)
                : tr("%1 files, %2, moved to the %3. Ctrl+Z puts them back")
                      .arg(count, size, trash);
    UpdateStatusLine();
}

void Form4::OnUncheckAll() {
    model_.UncheckAll();
}

void Form4::UndoLastTrashRequest() {
    undoAction_->setEnabled(false);
    trashRequests_.Undo(*dialogs_);
}

void Form4::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplyLayout();
}

void Form4::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window frame is known only once the window is on screen.
    ApplyLayout();
    UpdateStatusLine();
}

void Form4::ApplyLayout() {
    // The rules work on the outer size in twips; a size that comes out negative (a tiny or
    // minimised window) leaves that measure as it was.
    const QSize outer = frameGeometry().size();
    const bool copiesShown = model_.columnCount() > ResultsModel::CopiesColumn;
    ApplyResultsResizeRules(layout_, PixelsToTwips(outer.width()), PixelsToTwips(outer.height()),
                            copiesShown);
    // The buttons keep their places where they fit: the main window's design size is narrower.
    const auto places = ResultsButtonPlaces(PixelsToTwips(width()));
    PictureButton* const buttons[] = {backButton_, sendToTrashButton_, uncheckAllButton_};
    for (size_t k = 0; k < places.size(); ++k)
        buttons[k]->setGeometry(TwipsRect(places[k].left, 120, places[k].width, 1095));
    resultList_->resize(TwipsToPixels(layout_.listWidth), TwipsToPixels(layout_.listHeight));
    statusLine_->setGeometry(
        TwipsRect(120, layout_.StatusTop(), layout_.listWidth, ResultsLayout::StatusHeight));
    resultList_->setColumnWidth(ResultsModel::FilenameColumn, TwipsToPixels(layout_.filenameWidth));
    resultList_->setColumnWidth(ResultsModel::SizeColumn, TwipsToPixels(ResultsLayout::SizeWidth));
    resultList_->setColumnWidth(ResultsModel::ModifiedColumn,
                                TwipsToPixels(ResultsLayout::ModifiedWidth));
    resultList_->setColumnWidth(ResultsModel::TypeColumn, TwipsToPixels(ResultsLayout::TypeWidth));
    if (copiesShown)
        resultList_->setColumnWidth(ResultsModel::CopiesColumn,
                                    TwipsToPixels(ResultsLayout::CopiesWidth));
}

void Form4::closeEvent(QCloseEvent* event) {
    event->accept();
    // Closing the results window ends the program, even with the main window hidden.
    QCoreApplication::exit(0);
}

}  // namespace tallyrook
