#pragma once

#include <QPushButton>

namespace tallyrook {

// A push button that shows one of our pictures instead of a caption and acts once per press.
// `picture` is a resource path such as ":/artwork/find_dupes.svg"; the picture is drawn at the
// button's size. With the focus, Space and Enter press it, and a ring in the selection colour
// shows the focus.
class PictureButton : public QPushButton {
    Q_OBJECT
public:
    PictureButton(const QString& objectName, const QString& picture, QWidget* parent);

    // The name a screen reader says, and the words on the picture: a caption in another language
    // than the picture's is drawn in its place.
    void SetCaption(const QString& caption);

    // The focus ring's width, in pixels.
    static constexpr int FocusRingWidth = 3;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString picture_;
};

}  // namespace tallyrook
