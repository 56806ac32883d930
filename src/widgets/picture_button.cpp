#include "widgets/picture_button.h"

#include <QIcon>
#include <QKeyEvent>
#include <QPainter>

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

void PictureButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    if (!hasFocus())
        return;
    // The style's dotted focus line is lost in the picture: a ring in the selection colour, inside
    // the bevel, shows the keyboard's place at a glance.
    QPainter painter(this);
    QPen pen(palette().color(QPalette::Active, QPalette::Highlight), FocusRingWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const int inset = 2 + FocusRingWidth / 2;
    painter.drawRect(rect().adjusted(inset, inset, -inset - 1, -inset - 1));
}

}  // namespace tallyrook
