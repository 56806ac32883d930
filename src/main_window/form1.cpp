#include "main_window/form1.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "contents/contents_pass.h"
#include "contents/contents_texts.h"
#include "main_window/desktop_host.h"
#include "main_window/dialogs.h"
#include "main_window/folder_list.h"
#include "main_window/form1_names.h"
#include "results_window/form4.h"
#include "results_window/results_model.h"
#include "run/search_run.h"
#include "search/file_functions.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "shared/program.h"
#include "shared/twips.h"
#include "widgets/hand_pointer.h"
#include "widgets/picture_button.h"
#include "widgets/window_look.h"

namespace tallyrook {

namespace {

// Design-time client area, in twips.
constexpr int kClientWidth = 10605;
constexpr int kClientHeight = 6240;
constexpr int kFrameTop = 1320;
constexpr int kListLeft = 120;
constexpr int kListTop = 240;
constexpr int kProgressHeight = 375;
// After the first show, how long the window manager has to tell us its frame size.
constexpr int kFrameWaitMs = 2000;

}  // namespace

Form1::Form1(Global& global, SettingsStore& settings, ResultsModel& results, Dialogs* dialogs,
             QWidget* parent)
    : QWidget(parent),
      global_(global),
      settings_(settings),
      results_(results),
      ownDialogs_(dialogs ? nullptr : std::make_unique<QtDialogs>()),
      dialogs_(dialogs ? *dialogs : *ownDialogs_) {
    host_ = std::make_unique<DesktopHost>(*this, settings_, dialogs_, runOptions_);
    // Exact Contents reads files, which the engine never does; its rows take what it found, so
    // the Copies column, the helpers and the confirmation need no second comparison.
    runOptions_.compareContents = [this](SearchHost& runHost, const Global& runGlobal,
                                         std::vector<int>& copySetOf) {
        ContentsPass pass;
        const StepResult result = pass.Run(runHost, runGlobal, copySetOf);
        if (result == StepResult::Completed) {
            results_.SetFoundCopies(pass.Files(), pass.Results());
            ReportNotCompared(pass);
        }
        return result;
    };
    BuildControls();
    StartUp();
}

Form1::~Form1() {
    // The list's entries go with the window: that forgets no inventory, and reaches no handler of
    // a window half gone.
    closing_ = true;
    folderList_->model()->disconnect(this);
}

void Form1::BuildControls() {
    setObjectName(form1::Window);
    setWindowIcon(WindowIcon());
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    setPalette(white);
    setAutoFillBackground(true);
    resize(TwipsSize(kClientWidth, kClientHeight));

    BuildBannerAndButtons();
    const QFont font = CaptionFont();
    BuildCriteria(font);
    BuildFolderList(font);

    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(form1::ProgressBar);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    progressBar_->setAccessibleName(tr("Search progress"));
    folderList_->setAccessibleName(tr("Folder list"));
    banner_->setAccessibleName(QString(ProgramName));
    PlaceWidgets();

    // As the window reads: the buttons (the stop button in the find button's place), the criteria
    // beside them, then the folder list below.
    setTabOrder(addFolderButton_, findButton_);
    setTabOrder(findButton_, stopButton_);
    setTabOrder(stopButton_, clearListButton_);
    setTabOrder(clearListButton_, exactFilenameBox_);
    setTabOrder(exactFilenameBox_, exactFilesizeBox_);
    setTabOrder(exactFilesizeBox_, similarFilenameBox_);
    setTabOrder(similarFilenameBox_, exactContentsBox_);
    setTabOrder(exactContentsBox_, folderList_);

    // The arrow over the window's background, the banner and the frame; the hand (set at start)
    // over everything that can be clicked.
    setCursor(Qt::ArrowCursor);
    folderFrame_->setCursor(Qt::ArrowCursor);
    banner_->setCursor(Qt::ArrowCursor);

    BuildFolderListMenu();
    ConnectControls();
}

void Form1::BuildBannerAndButtons() {
    banner_ = new QLabel(this);
    banner_->setObjectName(form1::Banner);
    banner_->setGeometry(TwipsRect(-60, -60, 4185, 1380));
    banner_->setPixmap(QIcon(QStringLiteral(":/artwork/banner.svg")).pixmap(QSize(279, 92)));

    // The picture buttons: object name, artwork, where (twips), and the name a screen reader says.
    const auto button = [this](QLatin1StringView name, const QString& artwork, int left, int top,
                               const QString& spoken) {
        auto* made = new PictureButton(name, QStringLiteral(":/artwork/") + artwork, this);
        made->setGeometry(TwipsRect(left, top, 1455, 1095));
        made->SetCaption(spoken);
        return made;
    };
    addFolderButton_ = button(form1::AddFolderButton, QStringLiteral("add_folder.svg"), 4200, 120,
                              tr("Add folder"));
    findButton_ =
        button(form1::FindButton, QStringLiteral("find_dupes.svg"), 5760, 120, tr("Find dupes"));
    clearListButton_ = button(form1::ClearListButton, QStringLiteral("clear_list.svg"), 7320, 120,
                              tr("Clear list"));
    stopButton_ =
        button(form1::StopButton, QStringLiteral("stop_find.svg"), 9480, 1440, tr("Stop find"));
    stopButton_->hide();
    addFolderButton_->setToolTip(tr("Add a folder to the list."));
    findButton_->setToolTip(tr("Find duplicate files in the listed folders."));
    clearListButton_->setToolTip(tr("Empty the folder list."));
    stopButton_->setToolTip(tr("Stop finding duplicates."));
    // Each button's key, for a keyboard alone; a hidden button's does nothing.
    addFolderButton_->setShortcut(QKeySequence::Open);
    findButton_->setShortcut(QKeySequence::Find);
    clearListButton_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    stopButton_->setShortcut(QKeySequence(Qt::Key_Escape));
}

void Form1::BuildCriteria(const QFont& font) {
    auto makeCriterion = [&](QLatin1StringView name, const QString& caption, int top, int width,
                             const QString& tip) {
        auto* box = new QCheckBox(caption, this);
        box->setObjectName(name);
        box->setToolTip(tip);
        box->setFont(font);
        box->setGeometry(TwipsRect(8880, top, width, 255));
        return box;
    };
    // Four boxes in the height of the buttons beside them, above the folder frame, which widens
    // under them with the window.
    exactFilenameBox_ = makeCriterion(form1::ExactFilenameBox, tr("Exact Filename"), 120, 1815,
                                      tr("Files with exactly the same name."));
    exactFilesizeBox_ = makeCriterion(form1::ExactFilesizeBox, tr("Exact Filesize"), 400, 1695,
                                      tr("Files with exactly the same size."));
    similarFilenameBox_ = makeCriterion(form1::SimilarFilenameBox, tr("Similar Filename"), 680,
                                        1815, tr("Files whose names share most of their words."));
    exactContentsBox_ = makeCriterion(
        form1::ExactContentsBox, tr("Exact Contents"), 960, 1815,
        tr("Files with a byte-identical copy. Reads only the files whose size another file has; "
           "never writes, and never counts an empty file or another name of one file."));
}

void Form1::BuildFolderList(const QFont& font) {
    folderFrame_ = new QGroupBox(tr("Folders to Find File Duplicates In:"), this);
    folderFrame_->setObjectName(form1::FolderFrame);
    folderFrame_->setFont(font);
    QPalette grey = folderFrame_->palette();
    grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
    folderFrame_->setPalette(grey);

    folderImages_ = new ImageList(form1::FolderImages, this);
    folderList_ = new FolderListView(*folderImages_, dialogs_, folderFrame_);
    folderList_->setFont(font);
    QPalette listPalette = folderList_->palette();
    listPalette.setColor(QPalette::WindowText, Qt::black);
    folderList_->setPalette(listPalette);
}

void Form1::BuildFolderListMenu() {
    // The list's own menu does what the button and the Delete key do.
    folderList_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* addFolder = new QAction(tr("&Add Folder…"), folderList_);
    addFolder->setObjectName(form1::AddFolderAction);
    connect(addFolder, &QAction::triggered, this, &Form1::OnAddFolder);
    auto* addInventory = new QAction(tr("Add &Inventory…"), folderList_);
    addInventory->setObjectName(form1::AddInventoryAction);
    addInventory->setToolTip(
        tr("Searches the files of a saved inventory with the folders: a drive "
           "that is not plugged in, or another machine."));
    connect(addInventory, &QAction::triggered, this, &Form1::OnAddInventory);
    auto* remove = new QAction(tr("&Remove"), folderList_);
    remove->setObjectName(form1::RemoveAction);
    remove->setEnabled(false);
    connect(remove, &QAction::triggered, folderList_, &FolderListView::RemoveSelectedEntries);
    const auto updateRemove = [this, remove] {
        remove->setEnabled(!folderList_->selectedItems().isEmpty());
    };
    connect(folderList_, &QTreeWidget::itemSelectionChanged, remove, updateRemove);
    connect(folderList_->model(), &QAbstractItemModel::rowsRemoved, remove, updateRemove);
    folderList_->addActions({addFolder, addInventory, remove});
    AddProtectionCommands();
    AddInventoryCommands();
}

void Form1::AddProtectionCommands() {
    // Protected folders: their files are never checked in the results, and the helpers keep
    // their copies. Stored, unlike the list, so that a reference folder stays one.
    for (const QString& folder :
         settings_.ReadSetting(setting_keys::ProtectedFolders).split(u'\n', Qt::SkipEmptyParts))
        protectedFolders_.Add(folder);
    auto* protect = new QAction(tr("&Protect this folder"), folderList_);
    protect->setObjectName(form1::ProtectAction);
    protect->setToolTip(
        tr("Files in this folder and below it are kept: they cannot be checked in the results, "
           "and the helpers check their copies elsewhere instead."));
    connect(protect, &QAction::triggered, this, [this] { ProtectSelectedEntries(true); });
    auto* stopProtecting = new QAction(tr("&Stop protecting"), folderList_);
    stopProtecting->setObjectName(form1::StopProtectingAction);
    connect(stopProtecting, &QAction::triggered, this, [this] { ProtectSelectedEntries(false); });
    const auto updateProtect = [this, protect, stopProtecting] {
        bool anyProtected = false, anyUnprotected = false;
        for (const QTreeWidgetItem* item : folderList_->selectedItems()) {
            if (!FolderListView::InventoryFileOf(item).isEmpty())
                continue;
            const bool held = protectedFolders_.Protects(item->text(0) + u'/');
            anyProtected = anyProtected || held;
            anyUnprotected = anyUnprotected || (!held && !item->text(0).contains(u'\n'));
        }
        protect->setEnabled(anyUnprotected);
        stopProtecting->setEnabled(anyProtected);
    };
    updateProtect();
    connect(folderList_, &QTreeWidget::itemSelectionChanged, protect, updateProtect);
    connect(folderList_->model(), &QAbstractItemModel::rowsRemoved, protect, updateProtect);
    connect(folderList_->model(), &QAbstractItemModel::rowsInserted, this, &Form1::ShowProtection);
    connect(protect, &QAction::triggered, this, updateProtect);
    connect(stopProtecting, &QAction::triggered, this, updateProtect);
    folderList_->addActions({protect, stopProtecting});
}

void Form1::ConnectControls() {
    connect(findButton_, &QPushButton::clicked, this, &Form1::OnFind);
    connect(addFolderButton_, &QPushButton::clicked, this, &Form1::OnAddFolder);
    connect(clearListButton_, &QPushButton::clicked, this, &Form1::OnClearList);
    connect(stopButton_, &QPushButton::clicked, this, &Form1::OnStop);
    // A running search reads the criteria as they are at its fixed moments (the walk at every
    // record it makes), so a change reaches its options at once.
    auto follow = [this](QCheckBox* box, const QString& key, bool Criteria::*criterion) {
        connect(box, &QCheckBox::toggled, this, [this, key, criterion](bool checked) {
            runOptions_.criteria.*criterion = checked;
            if (!closing_)
                settings_.WriteSetting(key, checked ? QStringLiteral("1") : QStringLiteral("0"));
        });
    };
    follow(exactFilenameBox_, setting_keys::ExactFilename, &Criteria::exactFilename);
    follow(exactFilesizeBox_, setting_keys::ExactFilesize, &Criteria::exactFilesize);
    follow(similarFilenameBox_, setting_keys::SimilarFilename, &Criteria::similarFilename);
    follow(exactContentsBox_, setting_keys::ExactContents, &Criteria::exactContents);
}

void Form1::StartUp() {
    QScreen* screen = this->screen();
    // Read before anything below changes the window: every change saves the geometry keys.
    const StoredGeometry stored{settings_.ReadSetting(setting_keys::WindowState),
                                settings_.ReadSetting(setting_keys::FormWidth),
                                settings_.ReadSetting(setting_keys::FormHeight)};

    // Centred on the whole screen at the design size.
    if (screen) {
        const QRect whole = screen->geometry();
        const QSize outer = OuterSizeTwips();
        const QPointF at = CenterFormPosition(
            QSizeF(PixelsToTwips(whole.width()), PixelsToTwips(whole.height())), QSizeF(outer));
        move(whole.topLeft() + QPoint(TwipsToPixels(at.x()), TwipsToPixels(at.y())));
    }

    stopButton_->move(findButton_->pos());

    const QCursor hand = HandCursor();
    for (QWidget* widget : std::initializer_list<QWidget*>{
             findButton_, addFolderButton_, clearListButton_, exactFilenameBox_, exactFilesizeBox_,
             stopButton_, similarFilenameBox_, exactContentsBox_, folderList_})
        widget->setCursor(hand);

    setWindowTitle(ProgramCaption());

    if (screen && screen->availableGeometry().width() <= 800)
        setWindowState(Qt::WindowMaximized);

    folderList_->setColumnCount(1);
    folderList_->setHeaderLabels({tr("Folder")});

    RestoreGeometry(stored);
    KeepOnScreen();

    folderList_->header()->setStretchLastSection(false);
    folderList_->setColumnWidth(0, TwipsToPixels(FolderColumnWidth(layout_.listWidth)));

    RestoreCriterion(exactFilenameBox_, setting_keys::ExactFilename);
    RestoreCriterion(exactFilesizeBox_, setting_keys::ExactFilesize);
    RestoreCriterion(similarFilenameBox_, setting_keys::SimilarFilename);
    RestoreCriterion(exactContentsBox_, setting_keys::ExactContents);

    // An inventory that cannot be read any more is let go, and the user told once the window is
    // up.
    const QStringList lost = AddInventoryFiles(
        settings_.ReadSetting(setting_keys::Inventories).split(u'\n', Qt::SkipEmptyParts));
    if (!lost.isEmpty())
        QTimer::singleShot(0, this, [this, lost] {
            if (!closing_)
                dialogs_.ShowReport(this, tr("Error"),
                                    tr("These inventories could not be read and were taken out "
                                       "of the folder list:"),
                                    lost, {});
        });
}

void Form1::RestoreGeometry(const StoredGeometry& stored) {
    Qt::WindowState state =
        WindowStateCode(windowState()) == 2 ? Qt::WindowMaximized : Qt::WindowNoState;
    const std::optional<int> storedState = ParseStoredInt16(stored.state);
    if (storedState && *storedState >= 0 && *storedState <= 2) {
        static constexpr Qt::WindowState kStates[] = {Qt::WindowNoState, Qt::WindowMinimized,
                                                      Qt::WindowMaximized};
        state = kStates[*storedState];
        setWindowState(state);
    }

    // A size that is unreadable or not positive keeps the design size. One larger than the
    // screen's free area (saved at another scale, or on a larger screen) is reduced to fit it, and
    // stays stored until the user resizes the window.
    const QSize availableTwips =
        screen() ? screen()->availableGeometry().size() * TwipsPerPixel : QSize(32767, 32767);
    QSize outer = OuterSizeTwips();
    bool sized = false;
    bool reduced = false;
    const std::optional<int> width = ParseStoredInt16(stored.width);
    if (width && *width > 0) {
        outer.setWidth(std::min(*width, availableTwips.width()));
        reduced = *width > availableTwips.width();
        sized = true;
    }
    const std::optional<int> height = ParseStoredInt16(stored.height);
    if (height && *height > 0) {
        outer.setHeight(std::min(*height, availableTwips.height()));
        reduced = reduced || *height > availableTwips.height();
        sized = true;
    }
    if (reduced)
        reducedOuter_ = outer;
    // Without a usable stored size the window keeps its design client area. Sizing a window not
    // yet shown drops its maximised state: the size becomes the one it is restored to, and the
    // state is put back.
    if (sized)
        SetOuterSizeTwips(outer.width(), outer.height());
    if (windowState() != state)
        setWindowState(state);

    // A hidden window gets its resize event only when shown; the layout follows the size now.
    ApplyLayout(OuterSizeTwips().width(), OuterSizeTwips().height());
}

void Form1::KeepOnScreen() {
    if (!screen() || windowState() != Qt::WindowNoState)
        return;
    // Until the window manager has framed the window, its outer size is the one waiting for it.
    const QRect outer(frameGeometry().topLeft(),
                      pendingOuterSize_.value_or(frameGeometry().size()));
    move(FitOnScreen(outer, screen()->availableGeometry()));
}

void Form1::RestoreCriterion(QCheckBox* box, const QString& key) {
    const std::optional<int> value = ParseStoredInt16(settings_.ReadSetting(key));
    // Ticking the box writes the value straight back through its change handler.
    if (value && (*value == 0 || *value == 1))
        box->setChecked(*value == 1);
}

QSize Form1::OuterSizeTwips() const {
    return frameGeometry().size() * TwipsPerPixel;
}

void Form1::SetOuterSizeTwips(int width, int height) {
    const QSize outer(TwipsToPixels(width), TwipsToPixels(height));
    const QSize frame = frameGeometry().size() - size();
    resize(outer - frame);
    // Until the window manager has framed the window its frame counts as nothing; the client is
    // shrunk once the frame is known, so the outer size does not grow by it on every start.
    if (!isVisible())
        pendingOuterSize_ = outer;
}

void Form1::FitPendingOuterSize() {
    if (!pendingOuterSize_ || windowState() != Qt::WindowNoState || !isVisible())
        return;
    // A frame may have a title bar and no side borders: only no frame at all means "not yet".
    const QSize frame = frameGeometry().size() - size();
    if (frame == QSize(0, 0))
        return;
    const QSize outer = *pendingOuterSize_;
    pendingOuterSize_.reset();
    resize(outer - frame);
}

void Form1::ApplyLayout(int outerWidth, int outerHeight) {
    ApplyResizeRules(layout_, outerWidth, outerHeight);
    PlaceWidgets();
    if (closing_)
        return;
    savedOuter_ = QSize(outerWidth, outerHeight);
    settings_.WriteSetting(setting_keys::WindowState,
                           QString::number(WindowStateCode(windowState())));
    // The size reduced to fit at start is the screen's, not the user's: the stored one stays, for
    // a larger screen, until the user sizes the window. Nor does the frame's arrival count.
    if (reducedOuter_ && (pendingOuterSize_ || savedOuter_ == *reducedOuter_))
        return;
    reducedOuter_.reset();
    settings_.WriteSetting(setting_keys::FormHeight, QString::number(outerHeight));
    settings_.WriteSetting(setting_keys::FormWidth, QString::number(outerWidth));
}

void Form1::PlaceWidgets() {
    folderList_->setGeometry(TwipsRect(kListLeft, kListTop, layout_.listWidth, layout_.listHeight));
    folderFrame_->setGeometry(
        TwipsRect(layout_.frameLeft, kFrameTop, layout_.frameWidth, layout_.frameHeight));
    progressBar_->setGeometry(TwipsRect(layout_.progressLeft, layout_.progressTop,
                                        layout_.progressWidth, kProgressHeight));
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSize outer = OuterSizeTwips();
    ApplyLayout(outer.width(), outer.height());
    FitPendingOuterSize();
}

void Form1::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    FitPendingOuterSize();
    // The window manager's frame arrives with a move: the outer size grew without a resize.
    const QSize outer = OuterSizeTwips();
    if (isVisible() && outer != savedOuter_)
        ApplyLayout(outer.width(), outer.height());
}

void Form1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        // Minimising changes no size, but the state is saved all the same.
        const QSize outer = OuterSizeTwips();
        ApplyLayout(outer.width(), outer.height());
    }
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!pendingOuterSize_)
        return;
    // Some platforms know the frame by now; window managers tell it with a later move.
    FitPendingOuterSize();
    QTimer::singleShot(kFrameWaitMs, this, [this] { pendingOuterSize_.reset(); });
}

void Form1::closeEvent(QCloseEvent* event) {
    // Ends the program, a running search included: from here on the host answers every poll
    // with "abandon" and nothing more is shown or written.
    closing_ = true;
    event->accept();
    QCoreApplication::quit();
}

QStringList Form1::FolderEntries() const {
    return folderList_->Entries();
}

QStringList Form1::AddCommandLineFolders(const QStringList& paths) {
    return folderList_->AddCommandLinePaths(paths);
}

void Form1::SetProgress(int percent) {
    progressBar_->setValue(qBound(0, percent, 100));
}

void Form1::SetRunning(bool running) {
    // The button that takes the other's place takes its focus too: hiding a focused button would
    // hand the focus to the next in the chain, where the next Space would clear the list or
    // flip a criterion.
    PictureButton* shown = running ? stopButton_ : findButton_;
    PictureButton* hidden = running ? findButton_ : stopButton_;
    shown->show();
    shown->setFocus(Qt::OtherFocusReason);
    hidden->hide();
}

void Form1::ProtectSelectedEntries(bool protect) {
    for (const QTreeWidgetItem* item : folderList_->selectedItems()) {
        if (!FolderListView::InventoryFileOf(item).isEmpty())
            continue;
        // One line per folder in the store: a name with a line break cannot be one.
        if (protect && !item->text(0).contains(u'\n'))
            protectedFolders_.Add(item->text(0));
        else if (!protect)
            protectedFolders_.RemoveHolding(item->text(0));
    }
    settings_.WriteSetting(setting_keys::ProtectedFolders, protectedFolders_.Folders().join(u'\n'));
    ShowProtection();
}

void Form1::ShowProtection() {
    for (int i = 0; i < folderList_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = folderList_->topLevelItem(i);
        if (!FolderListView::InventoryFileOf(item).isEmpty())
            continue;
        const QString holder = protectedFolders_.HolderOf(item->text(0) + u'/');
        QFont font = item->font(0);
        font.setItalic(!holder.isEmpty());
        item->setFont(0, font);
        item->setToolTip(0,
                         holder.isEmpty()
                             ? QString()
                             : tr("Protected: the files in %1 and below it are kept.").arg(holder));
    }
}

void Form1::ShowResults() {
    results_.SetProtected(protectedFolders_);
    if (recorded_) {
        for (const Inventory& inventory : searchedInventories_)
            recorded_->store.Add(inventory);
        results_.SetRecordedFingerprints(recorded_);
    }
    if (!resultsWindow_)
        resultsWindow_ = std::make_unique<Form4>(results_, this);
    resultsWindow_->ShowInPlaceOf(this);
}

SearchHost& Form1::Host() {
    return *host_;
}

void Form1::ReportNotCompared(const ContentsPass& pass) {
    // A file that could not be read may still have copies: the user is to know it was left out.
    QStringList lines;
    const std::vector<ContentsResult>& found = pass.Results().files;
    for (size_t k = 0; k < found.size(); ++k) {
        if (found[k].state == CopyState::NotCompared)
            lines.append(pass.Files().At(qsizetype(k)).path + u": " +
                         NotComparedText(found[k].reason));
    }
    if (!lines.isEmpty() && !closing_)
        host_->ShowReport(tr("Exact Contents"),
                          tr("These files could not be read, so they are not among the copies:"),
                          lines);
}

void Form1::OnFind() {
    if (running_ || closing_ || !LoadListedInventories())
        return;
    running_ = true;
    const QPointer<Form1> self(this);
    RunSearch(*host_, global_, results_, runOptions_);
    if (!self)
        return;
    running_ = false;
    // The list keeps what it needs of them; a million records go now.
    runOptions_.addRecordedFiles = {};
    searchedInventories_.clear();
    recorded_.reset();
    // However the run ended (abandoned runs make no further host call), the pointer is restored.
    host_->SetBusy(false);
}

void Form1::OnAddFolder() {
    const QString path = dialogs_.BrowseForFolder(this, tr("Please select folder to add:"));
    if (!path.isEmpty())
        folderList_->AddEntry(WithoutClosingSlash(path));
}

void Form1::OnClearList() {
    folderList_->clear();
}

void Form1::OnStop() {
    if (!closing_)
        settings_.WriteSetting(setting_keys::Stop, QStringLiteral("True"));
}

}  // namespace tallyrook
