#include "widgets/picture_button.h"

#include <QApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QIcon>
#include <QIconEngine>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

namespace tallyrook {

namespace {

// A picture drawn from SVG text at the size and scale asked, so that it stays sharp.
class SvgTextEngine : public QIconEngine {
public:
    explicit SvgTextEngine(const QByteArray& svg) : svg_(svg), renderer_(svg) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        renderer_.render(painter, rect);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QPixmap picture(size * scale);
        picture.fill(Qt::transparent);
        {
            QPainter painter(&picture);
            paint(&painter, picture.rect(), mode, state);
        }
        picture.setDevicePixelRatio(scale);
        if (mode == QIcon::Normal || mode == QIcon::Active)
            return picture;
        // A disabled button's picture looks disabled, as the style makes it for any icon.
        QStyleOption option;
        option.palette = QApplication::palette();
        return QApplication::style()->generatedIconPixmap(mode, picture, &option);
    }
    QIconEngine* clone() const override { return new SvgTextEngine(svg_); }

private:
    const QByteArray svg_;
    QSvgRenderer renderer_;
};

// `svg` with the words of its one text in `words`, made smaller where they would not fit the
// picture's width. Unchanged when they are its words already.
QByteArray WithWords(QByteArray svg, const QString& words) {
    const qsizetype tag = svg.indexOf("<text");
    const qsizetype from = svg.indexOf('>', tag) + 1, to = svg.indexOf("</text>", from);
    if (tag < 0 || from <= 0 || to < 0 || QString::fromUtf8(svg.mid(from, to - from)) == words)
        return svg;
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(11);
    const qreal wide = QFontMetricsF(font).horizontalAdvance(words);
    const qsizetype widthAt = svg.indexOf("width=\"") + 7;
    const qreal room = svg.mid(widthAt, svg.indexOf('"', widthAt) - widthAt).toDouble() - 6;
    svg.replace(from, to - from, words.toHtmlEscaped().toUtf8());
    if (wide > room && room > 0) {
        const QByteArray size = QByteArray::number(11 * room / wide, 'f', 2);
        const QByteArray designed = "font-size=\"11\"";
        const qsizetype sizeAt = svg.indexOf(designed, tag);
        if (sizeAt >= 0)
            svg.replace(sizeAt, designed.size(), QByteArray("font-size=\"" + size + '"'));
    }
    return svg;
}

}  // namespace

PictureButton::PictureButton(const QString& objectName, const QString& picture, QWidget* parent)
    : QPushButton(parent), picture_(picture) {
    setObjectName(objectName);
    setIcon(QIcon(picture_));
    setFlat(false);
    setAutoDefault(false);
    setFocusPolicy(Qt::TabFocus);
}

void PictureButton::SetCaption(const QString& caption) {
    setAccessibleName(caption);
    QFile file(picture_);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray svg = file.readAll(), captioned = WithWords(svg, caption.toUpper());
    if (captioned != svg)
        setIcon(QIcon(new SvgTextEngine(captioned)));
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
