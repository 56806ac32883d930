#include "widgets/picture_button.h"

#include <QIcon>
#include <QKeyEvent>

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

void PictureButton::keyPressEvent(QKeyEvent* event) {
    // A button that is not the dialog default ignores Enter; ours have no dialog to default in.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !event->isAutoRepeat() &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        click();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}

}  // namespace tallyrook
