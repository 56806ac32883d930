#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QSize>
#include <QStringList>
#include <QTreeWidget>

class QMimeData;

namespace tallyrook {

class Dialogs;

// The pictures of the folder list's entries, 32 x 32: 1 an open folder, 2 a saved inventory.
class ImageList : public QObject {
    Q_OBJECT
public:
    ImageList(const QString& objectName, QObject* parent);

    QSize imageSize() const { return {32, 32}; }
    // 1-based, as the entries name it; a null icon for a number out of range.
    QIcon image(int number) const;

private:
    QList<QIcon> images_;
};

// The list of folders the next search walks: filled by drops and by Add Folder, emptied entry by
// entry with Delete or all at once with Clear List. Entries keep the order they were added in,
// repeats included, and are never stored. Saved inventories stand in it too, each once, with a
// picture of their own: the search takes their files with the folders'.
class FolderListView : public QTreeWidget {
    Q_OBJECT
public:
    FolderListView(const ImageList& images, Dialogs& dialogs, QWidget* parent);

    // The folders, in list order.
    QStringList Entries() const;
    // Appends an entry with the folder picture; the text is taken as given.
    void AddEntry(const QString& path);
    // Appends an entry for the inventory saved in `file`, with the inventory picture.
    void AddInventoryEntry(const QString& file, const QString& text, const QString& tip);
    // The inventories' files, in list order.
    QStringList InventoryFiles() const;
    // The inventory file an entry stands for; empty for a folder.
    static QString InventoryFileOf(const QTreeWidgetItem* item);

    // A drop of dragged data: local paths become entries (a folder as it is, a file as its folder
    // without the closing "/"); anything else ends the drop with the virtual-folder message,
    // keeping the entries added before it.
    void DropPaths(const QMimeData* mime);
    // Folders named on the command line, in order: each made absolute and added as Add Folder
    // adds a choice; a file adds its folder, as a drop does. A path that names no folder that can
    // be read is not added: the result says why, one "PATH: reason" each.
    QStringList AddCommandLinePaths(const QStringList& paths);
    // Delete: the selected entries go, the others keep their order.
    void RemoveSelectedEntries();

    static QString VirtualFolderMessage();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SelectAllEntries();

    const ImageList& images_;
    Dialogs& dialogs_;
};

}  // namespace tallyrook
