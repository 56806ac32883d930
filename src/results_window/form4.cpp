#include "form4.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHash>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QSet>
#include <QTreeView>

#include "picture_button.h"
#include "recycling_bin.h"
#include "results_model.h"
#include "shared/global.h"
#include "shared/twips.h"

namespace tallyrook {

namespace {

QRect TwipsRect(int left, int top, int width, int height) {
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

// The space bar marks the current row, and with it every selected row, whatever column the
// focus is in; the stock view only toggles when the focus sits on the check box's column.
class ResultsView : public QTreeView {
public:
    using QTreeView::QTreeView;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool space = event->key() == Qt::Key_Space || event->key() == Qt::Key_Select;
        const QModelIndex current = currentIndex();
        if (!space || !current.isValid() || !model() ||
            (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
            QTreeView::keyPressEvent(event);
            return;
        }
        const QModelIndex box = current.siblingAtColumn(ResultsModel::FilenameColumn);
        const bool checked = box.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        const QVariant state = checked ? Qt::Unchecked : Qt::Checked;
        // Paths first: setting a mark may reach rows the selection also names.
        QList<QPersistentModelIndex> rows{box};
        for (const QModelIndex& row : selectionModel()->selectedRows(ResultsModel::FilenameColumn))
            rows.append(row);
        for (const QPersistentModelIndex& row : rows)
            model()->setData(row, state, Qt::CheckStateRole);
        event->accept();
    }
};

}  // namespace

Form4::Form4(ResultsModel& model, Global& global, QWidget* mainWindow)
    : QWidget(nullptr),
      model_(model),
      global_(global),
      mainWindow_(mainWindow),
      ownDialogs_(std::make_unique<QtTrashDialogs>(this)),
      dialogs_(ownDialogs_.get()) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Tallyrook") + QStringLiteral(" 7.0"));
    setWindowIcon(QIcon(QStringLiteral(":/artwork/icon.svg")));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    resize(TwipsToPixels(12450), TwipsToPixels(7230));

    image1_ = new QLabel(this);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(TwipsRect(-60, -60, 4185, 1380));
    image1_->setPixmap(QIcon(QStringLiteral(":/artwork/banner.svg")).pixmap(image1_->size()));

    check2_ = new PictureButton(QStringLiteral("Check2"),
                                QStringLiteral(":/artwork/back_to_main.svg"), this);
    check2_->setGeometry(TwipsRect(4200, 120, 2055, 1095));
    check2_->setAccessibleName(QStringLiteral("Back to main"));

    check1_ = new PictureButton(QStringLiteral("Check1"),
                                QStringLiteral(":/artwork/send_to_recycling.svg"), this);
    check1_->setGeometry(TwipsRect(6360, 120, 2175, 1095));
    check1_->setToolTip(QStringLiteral("Delete checked files."));
    check1_->setAccessibleName(QStringLiteral("Send to recycling"));

    check3_ = new PictureButton(QStringLiteral("Check3"),
                                QStringLiteral(":/artwork/uncheck_all.svg"), this);
    check3_->setGeometry(TwipsRect(8640, 120, 2175, 1095));
    check3_->setToolTip(QStringLiteral("Clear out all checkmarks."));
    check3_->setAccessibleName(QStringLiteral("Uncheck all"));

    listView1_ = new ResultsView(this);
    listView1_->setObjectName(QStringLiteral("ListView1"));
    listView1_->setGeometry(TwipsRect(120, 1320, 10095, 4455));
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPointSize(9);
    font.setBold(true);
    listView1_->setFont(font);
    listView1_->setModel(&model_);
    listView1_->setRootIsDecorated(false);
    listView1_->setItemsExpandable(false);
    // Every row has the same height, so a long list scrolls without measuring each row.
    listView1_->setUniformRowHeights(true);
    listView1_->setAllColumnsShowFocus(true);
    listView1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listView1_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    listView1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView1_->setSortingEnabled(false);
    listView1_->setTextElideMode(Qt::ElideMiddle);
    QHeaderView* header = listView1_->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionResizeMode(QHeaderView::Interactive);

    setTabOrder(check2_, check1_);
    setTabOrder(check1_, check3_);
    setTabOrder(check3_, listView1_);

    setCursor(Qt::ArrowCursor);
    image1_->setCursor(Qt::ArrowCursor);
    const QCursor hand = HandCursor();
    for (QWidget* widget : {static_cast<QWidget*>(check1_), static_cast<QWidget*>(check2_),
                            static_cast<QWidget*>(check3_), static_cast<QWidget*>(listView1_)})
        widget->setCursor(hand);

    connect(check1_, &QPushButton::clicked, this, &Form4::Check1_Click);
    connect(check2_, &QPushButton::clicked, this, &Form4::Check2_Click);
    connect(check3_, &QPushButton::clicked, this, &Form4::Check3_Click);
    // A click on a row gives its mark to every row of the same file.
    connect(listView1_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (!index.isValid())
            return;
        const ResultRow& row = model_.Row(index.row());
        model_.SetCheckedByText(row.path, row.checked);
    });

    undoAction_ = new QAction(QStringLiteral("Undo Last Trash Request"), this);
    undoAction_->setObjectName(QStringLiteral("UndoAction"));
    undoAction_->setShortcut(QKeySequence::Undo);
    undoAction_->setEnabled(false);
    addAction(undoAction_);
    connect(undoAction_, &QAction::triggered, this, &Form4::UndoLastTrashRequest);

    ApplyLayout();
}

Form4::~Form4() = default;

void Form4::SetTrashDialogs(TrashDialogs* dialogs) {
    dialogs_ = dialogs ? dialogs : ownDialogs_.get();
}

void Form4::ShowInPlaceOf(QWidget* mainWindow) {
    const Qt::WindowStates shown =
        mainWindow->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized);
    const bool normal = shown == Qt::WindowNoState;
    // The normal geometry first, so that restoring from maximised lands where the main window
    // would have.
    setWindowState(Qt::WindowNoState);
    setGeometry(normal ? mainWindow->geometry() : mainWindow->normalGeometry());
    // A new run's rows: the last request's files are no longer theirs to undo.
    lastRequest_ = {};
    undoAction_->setEnabled(false);
    setWindowState(shown);
    show();
    mainWindow->hide();
}

void Form4::Check2_Click() {
    if (mainWindow_) {
        // Only the place and size go back; the main window keeps its own state.
        const Qt::WindowStates state = windowState();
        const QRect place =
            state & (Qt::WindowMinimized | Qt::WindowMaximized) ? normalGeometry() : geometry();
        if (!(mainWindow_->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)))
            mainWindow_->setGeometry(place);
        mainWindow_->show();
    }
    hide();
}

void Form4::Check1_Click() {
    const QStringList requested = model_.UniqueCheckedPaths();
    if (!requested.isEmpty()) {
        TrashUndo before;
        before.rows.reserve(model_.RowCount());
        for (int k = 0; k < model_.RowCount(); ++k) {
            before.rows.push_back(model_.Row(k));
            before.colors.append(global_.RowColor(k));
        }
        TrashOutcome outcome = SendToRecycleBin(requested, *dialogs_);
        if (outcome.confirmed) {
            RemoveCheckedRows(requested);
            before.moved = std::move(outcome.moved);
            lastRequest_ = std::move(before);
            undoAction_->setEnabled(!lastRequest_.moved.isEmpty());
        }
    }
    // Removed rows shift every position below them, so no group colour can stay right.
    global_.FillRowColors(QStringLiteral("white"));
    model_.RowColorsChanged();
    listView1_->viewport()->update();
}

void Form4::Check3_Click() {
    model_.UncheckAll();
}

void Form4::UndoLastTrashRequest() {
    const TrashUndo undo = std::exchange(lastRequest_, {});
    undoAction_->setEnabled(false);
    if (undo.moved.isEmpty())
        return;
    const RestoreOutcome outcome = RestoreFromTrash(undo.moved, *dialogs_);
    const QSet<QString> back(outcome.restored.begin(), outcome.restored.end());

    // The list as it was before the request, less the rows of files that did not come back;
    // rows that stayed keep the marks given since.
    QHash<QString, QList<int>> stayed;
    for (int k = model_.RowCount() - 1; k >= 0; --k)
        stayed[model_.Row(k).path].append(k);
    std::vector<ResultRow> rows;
    QStringList colors;
    for (size_t k = 0; k < undo.rows.size(); ++k) {
        const QString& path = undo.rows[k].path;
        QList<int>* current = back.contains(path) ? nullptr : &stayed[path];
        if (current && current->isEmpty())
            continue;
        rows.push_back(current ? model_.Row(current->takeLast()) : undo.rows[k]);
        colors.append(undo.colors.value(qsizetype(k)));
    }
    model_.ClearRows();
    for (size_t k = 0; k < rows.size(); ++k) {
        global_.SetRowColor(qsizetype(k), colors.at(qsizetype(k)));
        model_.AppendRow(std::move(rows[k]));
    }
}

void Form4::RemoveCheckedRows(const QStringList& requested) {
    QSet<QString> gone;
    for (const QString& path : requested) {
        if (!PathStillThere(path))
            gone.insert(path);
    }
    model_.RemoveRowsOfPaths(gone);
}

void Form4::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplyLayout();
}

void Form4::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window frame is known only once the window is on screen.
    ApplyLayout();
}

void Form4::ApplyLayout() {
    // The rules work on the outer size in twips; a size that comes out negative (a tiny or
    // minimised window) leaves that measure as it was.
    const QSize outer = frameGeometry().size();
    const int listWidth = PixelsToTwips(outer.width()) - 360;
    const int listHeight = PixelsToTwips(outer.height()) - 1900;
    if (listWidth >= 0)
        listView1_->resize(TwipsToPixels(listWidth), listView1_->height());
    if (listHeight >= 0)
        listView1_->resize(listView1_->width(), TwipsToPixels(listHeight));
    const int firstColumn = PixelsToTwips(listView1_->width()) - 4500;
    if (firstColumn >= 0)
        listView1_->setColumnWidth(ResultsModel::FilenameColumn, TwipsToPixels(firstColumn));
    listView1_->setColumnWidth(ResultsModel::SizeColumn, TwipsToPixels(1100));
    listView1_->setColumnWidth(ResultsModel::ModifiedColumn, TwipsToPixels(2300));
    listView1_->setColumnWidth(ResultsModel::TypeColumn, TwipsToPixels(700));
}

void Form4::closeEvent(QCloseEvent* event) {
    event->accept();
    // Closing the results window ends the program, even with the main window hidden.
    QCoreApplication::exit(0);
}

}  // namespace tallyrook
