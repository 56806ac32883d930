#include "main_window/folder_list.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <cerrno>

#include "main_window/dialogs.h"
#include "main_window/form1_names.h"
#include "search/file_functions.h"

namespace tallyrook {

ImageList::ImageList(const QString& objectName, QObject* parent) : QObject(parent) {
    setObjectName(objectName);
    images_.append(QIcon(QStringLiteral(":/artwork/folder.svg")));
    images_.append(QIcon(QStringLiteral(":/artwork/inventory.svg")));
}

QIcon ImageList::image(int number) const {
    return number >= 1 && number <= images_.size() ? images_.at(number - 1) : QIcon();
}

FolderListView::FolderListView(const ImageList& images, Dialogs& dialogs, QWidget* parent)
    : QTreeWidget(parent), images_(images), dialogs_(dialogs) {
    setObjectName(form1::FolderList);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(images_.imageSize());
    setDragEnabled(false);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DropOnly);
    setToolTip(tr("Drag and drop folders or click 'Add Folder' button."));
}

QStringList FolderListView::Entries() const {
    QStringList entries;
    entries.reserve(topLevelItemCount());
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (InventoryFileOf(topLevelItem(i)).isEmpty())
            entries.append(topLevelItem(i)->text(0));
    }
    return entries;
}

void FolderListView::AddInventoryEntry(const QString& file, const QString& text,
                                       const QString& tip) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setIcon(0, images_.image(2));
    item->setData(0, Qt::UserRole, file);
    item->setToolTip(0, tip);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
    addTopLevelItem(item);
}

QStringList FolderListView::InventoryFiles() const {
    QStringList files;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (const QString file = InventoryFileOf(topLevelItem(i)); !file.isEmpty())
            files.append(file);
    }
    return files;
}

QString FolderListView::InventoryFileOf(const QTreeWidgetItem* item) {
    return item->data(0, Qt::UserRole).toString();
}

void FolderListView::AddEntry(const QString& path) {
    auto* item = new QTreeWidgetItem(QStringList{path});
    item->setIcon(0, images_.image(1));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
    addTopLevelItem(item);
}

QString FolderListView::VirtualFolderMessage() {
    return tr(
        "You can not drag and drop virtual folders like My Documents. Instead browse to "
        "C:\\Documents and Settings\\Your Name\\My Documents, for example, or drag and drop "
        "subfolders within My Documents");
}

namespace {
// A file stands for its folder, without the closing "/" unless that is the root.
QString FolderOfFile(const QString& path) {
    return WithoutClosingSlash(FolderOf(path));
}
}  // namespace

QStringList FolderListView::AddCommandLinePaths(const QStringList& paths) {
    QStringList problems;
    for (const QString& given : paths) {
        if (given.isEmpty())
            continue;
        // cleanPath drops a closing "/" but keeps the root.
        QString path = QDir::cleanPath(QDir::current().absoluteFilePath(given));
        int error = FolderError(path);
        if (error == ENOTDIR) {  // a file stands for its folder
            path = FolderOfFile(path);
            error = FolderError(path);
        }
        // A typing slip must not turn into a search that quietly finds nothing.
        if (error == 0)
            AddEntry(path);
        else
            problems.append(given + u": " + ErrorText(error));
    }
    return problems;
}

void FolderListView::DropPaths(const QMimeData* mime) {
    const QList<QUrl> urls = mime && mime->hasUrls() ? mime->urls() : QList<QUrl>();
    bool failed = urls.isEmpty();
    for (const QUrl& url : urls) {
        // Anything without a local path (trash:/, recent:/, a web address) cannot be walked.
        if (!url.isLocalFile() || url.toLocalFile().isEmpty()) {
            failed = true;
            break;
        }
        const QString path = url.toLocalFile();
        AddEntry(IsFolder(path) ? path : FolderOfFile(path));
    }
    if (!failed)
        return;
    // Shown once the drop has finished, so the file manager is not kept waiting on a dialog.
    QPointer<FolderListView> self(this);
    QTimer::singleShot(0, this, [self] {
        if (self)
            self->dialogs_.ShowMessage(self->window(), VirtualFolderMessage(), tr("Error"));
    });
}

void FolderListView::dragEnterEvent(QDragEnterEvent* event) {
    // Every drag is taken, so that one without local paths still gets its explanation.
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FolderListView::dragMoveEvent(QDragMoveEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FolderListView::dropEvent(QDropEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
    DropPaths(event->mimeData());
}

void FolderListView::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Delete) {
        RemoveSelectedEntries();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_A &&
        (modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier |
                      Qt::MetaModifier)) == Qt::ControlModifier) {
        SelectAllEntries();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_A && (modifiers & Qt::ControlModifier)) {
        // Ctrl with another modifier selects nothing new.
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void FolderListView::RemoveSelectedEntries() {
    for (int i = topLevelItemCount() - 1; i >= 0; --i) {
        if (topLevelItem(i)->isSelected())
            delete takeTopLevelItem(i);
    }
}

void FolderListView::SelectAllEntries() {
    for (int i = 0; i < topLevelItemCount(); ++i)
        topLevelItem(i)->setSelected(true);
}

}  // namespace tallyrook
