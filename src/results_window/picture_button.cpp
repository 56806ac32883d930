#include "picture_button.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>

namespace tallyrook {

PictureButton::PictureButton(const QString& objectName, const QString& picture, QWidget* parent)
    : QPushButton(parent), picture_(picture) {
    setObjectName(objectName);
    setIcon(QIcon(picture_));
    setFlat(false);
    setAutoDefault(false);
    setFocusPolicy(Qt::TabFocus);
}

void PictureButton::resizeEvent(QResizeEvent* event) {
    // The picture fills the face, leaving room for the bevel.
    setIconSize(size() - QSize(6, 6));
    QPushButton::resizeEvent(event);
}

QCursor HandCursor() {
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/HAND-M.CUR");
    if (QFileInfo(path).isReadable()) {
        const QPixmap picture(path);
        if (!picture.isNull())
            return QCursor(picture, 0, 0);
    }
    return QCursor(Qt::ArrowCursor);
}

}  // namespace tallyrook
