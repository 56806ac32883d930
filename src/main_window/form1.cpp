#include "main_window/form1.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

#include "main_window/desktop_host.h"
#include "main_window/dialogs.h"
#include "main_window/folder_list.h"
#include "results_window/form4.h"
#include "results_window/results_model.h"
#include "search/search_run.h"
#include "settings/settings_store.h"
#include "shared/twips.h"
#include "widgets/picture_button.h"

namespace tallyrook {

namespace {

const QString kExactFilename = QStringLiteral("ExactFilename");
const QString kExactFilesize = QStringLiteral("ExactFilesize");
const QString kSimilarFilename = QStringLiteral("SimilarFilename");

// Design-time client area, in twips.
constexpr int kClientWidth = 10605;
constexpr int kClientHeight = 6240;
constexpr int kFrameTop = 1320;
constexpr int kListLeft = 120;
constexpr int kListTop = 240;
constexpr int kProgressHeight = 375;
// After the first show, how long the window manager has to tell us its frame size.
constexpr int kFrameWaitMs = 2000;

QFont CaptionFont() {
    const QString family = QFontDatabase::hasFamily(QStringLiteral("Arial"))
                               ? QStringLiteral("Arial")
                               : QStringLiteral("Liberation Sans");
    QFont font(family);
    font.setPointSize(9);
    font.setBold(true);
    return font;
}

void SetTwipsGeometry(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                        TwipsToPixels(height));
}

}  // namespace

Form1::Form1(Global& global, SettingsStore& settings, ResultsModel& results, Dialogs* dialogs,
             QWidget* parent)
    : QWidget(parent),
      global_(global),
      settings_(settings),
      results_(results),
      ownDialogs_(dialogs ? nullptr : std::make_unique<QtDialogs>()),
      dialogs_(dialogs ? *dialogs : *ownDialogs_) {
    host_ = std::make_unique<DesktopHost>(*this, settings_, dialogs_);
    BuildControls();
    StartUp();
}

Form1::~Form1() = default;

void Form1::BuildControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(QIcon(QStringLiteral(":/artwork/icon.svg")));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    setPalette(white);
    setAutoFillBackground(true);
    resize(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));

    image6_ = new QLabel(this);
    image6_->setObjectName(QStringLiteral("Image6"));
    SetTwipsGeometry(image6_, -60, -60, 4185, 1380);
    image6_->setPixmap(QIcon(QStringLiteral(":/artwork/banner.svg")).pixmap(QSize(279, 92)));

    check2_ = new PictureButton(QStringLiteral("Check2"),
                                QStringLiteral(":/artwork/add_folder.svg"), this);
    SetTwipsGeometry(check2_, 4200, 120, 1455, 1095);
    check2_->setAccessibleName(QStringLiteral("Add folder"));
    check1_ = new PictureButton(QStringLiteral("Check1"),
                                QStringLiteral(":/artwork/find_dupes.svg"), this);
    SetTwipsGeometry(check1_, 5760, 120, 1455, 1095);
    check1_->setAccessibleName(QStringLiteral("Find dupes"));
    check3_ = new PictureButton(QStringLiteral("Check3"),
                                QStringLiteral(":/artwork/clear_list.svg"), this);
    SetTwipsGeometry(check3_, 7320, 120, 1455, 1095);
    check3_->setAccessibleName(QStringLiteral("Clear list"));
    check6_ = new PictureButton(QStringLiteral("Check6"), QStringLiteral(":/artwork/stop_find.svg"),
                                this);
    SetTwipsGeometry(check6_, 9480, 1440, 1455, 1095);
    check6_->setAccessibleName(QStringLiteral("Stop find"));
    check6_->hide();

    const QFont font = CaptionFont();
    auto makeCriterion = [&](const QString& name, const QString& caption, int top, int width) {
        auto* box = new QCheckBox(caption, this);
        box->setObjectName(name);
        box->setFont(font);
        SetTwipsGeometry(box, 8880, top, width, 255);
        return box;
    };
    check4_ = makeCriterion(QStringLiteral("Check4"), QStringLiteral("Exact Filename"), 120, 1815);
    check5_ = makeCriterion(QStringLiteral("Check5"), QStringLiteral("Exact Filesize"), 480, 1695);
    check7_ =
        makeCriterion(QStringLiteral("Check7"), QStringLiteral("Similar Filename"), 840, 1815);

    frame2_ = new QGroupBox(QStringLiteral("Folders to Find File Duplicates In:"), this);
    frame2_->setObjectName(QStringLiteral("Frame2"));
    frame2_->setFont(font);
    QPalette grey = frame2_->palette();
    grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
    frame2_->setPalette(grey);

    imageList1_ = new ImageList(QStringLiteral("ImageList1"), this);
    listView3_ = new FolderListView(*imageList1_, dialogs_, frame2_);
    listView3_->setFont(font);
    QPalette listPalette = listView3_->palette();
    listPalette.setColor(QPalette::WindowText, Qt::black);
    listView3_->setPalette(listPalette);

    progressBar1_ = new QProgressBar(this);
    progressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar1_->setRange(0, 100);
    progressBar1_->setValue(0);
    progressBar1_->setTextVisible(false);
    PlaceWidgets();

    setTabOrder(check2_, check1_);
    setTabOrder(check1_, check3_);
    setTabOrder(check3_, listView3_);
    setTabOrder(listView3_, check4_);
    setTabOrder(check4_, check5_);
    setTabOrder(check5_, check6_);
    setTabOrder(check6_, check7_);

    // The arrow over the window's background, the banner and the frame; the hand (set at start)
    // over everything that can be clicked.
    setCursor(Qt::ArrowCursor);
    frame2_->setCursor(Qt::ArrowCursor);
    image6_->setCursor(Qt::ArrowCursor);

    // The list's own menu does what the button and the Delete key do.
    listView3_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* addFolder = new QAction(QStringLiteral("Add Folder\u2026"), listView3_);
    addFolder->setObjectName(QStringLiteral("AddFolderAction"));
    connect(addFolder, &QAction::triggered, this, &Form1::Check2_Click);
    auto* remove = new QAction(QStringLiteral("Remove"), listView3_);
    remove->setObjectName(QStringLiteral("RemoveAction"));
    remove->setEnabled(false);
    connect(remove, &QAction::triggered, listView3_, &FolderListView::RemoveSelectedEntries);
    const auto updateRemove = [this, remove] {
        remove->setEnabled(!listView3_->selectedItems().isEmpty());
    };
    connect(listView3_, &QTreeWidget::itemSelectionChanged, remove, updateRemove);
    connect(listView3_->model(), &QAbstractItemModel::rowsRemoved, remove, updateRemove);
    listView3_->addActions({addFolder, remove});

    connect(check1_, &QPushButton::clicked, this, &Form1::Check1_Click);
    connect(check2_, &QPushButton::clicked, this, &Form1::Check2_Click);
    connect(check3_, &QPushButton::clicked, this, &Form1::Check3_Click);
    connect(check6_, &QPushButton::clicked, this, &Form1::Check6_Click);
    auto saveOnChange = [this](QCheckBox* box, const QString& key) {
        connect(box, &QCheckBox::toggled, this, [this, key](bool checked) {
            if (!closing_)
                settings_.WriteSetting(key, checked ? QStringLiteral("1") : QStringLiteral("0"));
        });
    };
    saveOnChange(check4_, kExactFilename);
    saveOnChange(check5_, kExactFilesize);
    saveOnChange(check7_, kSimilarFilename);
}

void Form1::StartUp() {
    QScreen* screen = this->screen();
    // Read before anything below changes the window: every change saves the geometry keys.
    const StoredGeometry stored{settings_.ReadSetting(QStringLiteral("WindowState")),
                                settings_.ReadSetting(QStringLiteral("FormWidth")),
                                settings_.ReadSetting(QStringLiteral("FormHeight"))};

    // Centred on the whole screen at the design size.
    if (screen) {
        const QRect whole = screen->geometry();
        const QSize outer = OuterSizeTwips();
        const QPointF at = CenterFormPosition(
            QSizeF(PixelsToTwips(whole.width()), PixelsToTwips(whole.height())), QSizeF(outer));
        move(whole.topLeft() + QPoint(TwipsToPixels(at.x()), TwipsToPixels(at.y())));
    }

    check6_->move(check1_->pos());

    const QCursor hand = HandCursor();
    for (QWidget* widget : std::initializer_list<QWidget*>{check1_, check2_, check3_, check4_,
                                                           check5_, check6_, check7_, listView3_})
        widget->setCursor(hand);

    setWindowTitle(QStringLiteral("Tallyrook") + QStringLiteral(" 7.0"));

    if (screen && screen->availableGeometry().width() <= 800)
        setWindowState(Qt::WindowMaximized);

    listView3_->setColumnCount(1);
    listView3_->setHeaderLabels({QStringLiteral("Folder")});

    RestoreGeometry(stored);

    listView3_->header()->setStretchLastSection(false);
    listView3_->setColumnWidth(0, TwipsToPixels(FolderColumnWidth(layout_.listWidth)));

    RestoreCriterion(check4_, kExactFilename);
    RestoreCriterion(check5_, kExactFilesize);
    RestoreCriterion(check7_, kSimilarFilename);
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

    // A size that is unreadable, not positive or larger than the screen keeps the design size.
    const QSize screenTwips =
        screen() ? screen()->geometry().size() * TwipsPerPixel : QSize(32767, 32767);
    QSize outer = OuterSizeTwips();
    bool sized = false;
    const std::optional<int> width = ParseStoredInt16(stored.width);
    if (width && *width > 0 && *width <= screenTwips.width()) {
        outer.setWidth(*width);
        sized = true;
    }
    const std::optional<int> height = ParseStoredInt16(stored.height);
    if (height && *height > 0 && *height <= screenTwips.height()) {
        outer.setHeight(*height);
        sized = true;
    }
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
    settings_.WriteSetting(QStringLiteral("WindowState"),
                           QString::number(WindowStateCode(windowState())));
    settings_.WriteSetting(QStringLiteral("FormHeight"), QString::number(outerHeight));
    settings_.WriteSetting(QStringLiteral("FormWidth"), QString::number(outerWidth));
}

void Form1::PlaceWidgets() {
    SetTwipsGeometry(listView3_, kListLeft, kListTop, layout_.listWidth, layout_.listHeight);
    SetTwipsGeometry(frame2_, layout_.frameLeft, kFrameTop, layout_.frameWidth,
                     layout_.frameHeight);
    SetTwipsGeometry(progressBar1_, layout_.progressLeft, layout_.progressTop,
                     layout_.progressWidth, kProgressHeight);
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

bool Form1::ExactFilename() const {
    return check4_->isChecked();
}
bool Form1::ExactFilesize() const {
    return check5_->isChecked();
}
bool Form1::SimilarFilename() const {
    return check7_->isChecked();
}
QStringList Form1::FolderEntries() const {
    return listView3_->Entries();
}

void Form1::AddCommandLineFolders(const QStringList& paths) {
    listView3_->AddCommandLinePaths(paths);
}

void Form1::SetProgress(int percent) {
    progressBar1_->setValue(qBound(0, percent, 100));
}

void Form1::SetRunning(bool running) {
    // The button that takes the other's place takes its focus too: hiding a focused button would
    // hand the focus to the next in the chain, where the next Space would clear the list or
    // flip a criterion.
    PictureButton* shown = running ? check6_ : check1_;
    PictureButton* hidden = running ? check1_ : check6_;
    shown->show();
    shown->setFocus(Qt::OtherFocusReason);
    hidden->hide();
}

void Form1::ShowResults() {
    if (!form4_)
        form4_ = std::make_unique<Form4>(results_, global_, this);
    form4_->ShowInPlaceOf(this);
}

SearchHost& Form1::Host() {
    return *host_;
}

void Form1::Check1_Click() {
    if (running_ || closing_)
        return;
    running_ = true;
    const QPointer<Form1> self(this);
    RunSearch(*host_, global_, results_);
    if (!self)
        return;
    running_ = false;
    // However the run ended (abandoned runs make no further host call), the pointer is restored.
    host_->SetBusy(false);
}

void Form1::Check2_Click() {
    QString path = dialogs_.BrowseForFolder(this, QStringLiteral("Please select folder to add:"));
    if (path.isEmpty())
        return;
    // One closing "/" goes; the root stays "/".
    if (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    listView3_->AddEntry(path);
}

void Form1::Check3_Click() {
    listView3_->clear();
}

void Form1::Check6_Click() {
    if (!closing_)
        settings_.WriteSetting(QStringLiteral("Stop"), QStringLiteral("True"));
}

}  // namespace tallyrook
