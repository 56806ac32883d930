#pragma once

#include <QCursor>
#include <QPushButton>

namespace tallyrook {

// A push button that shows one of our pictures instead of a caption and acts once per press.
// `picture` is a resource path such as ":/artwork/find_dupes.svg"; the picture is drawn at the
// button's size. With the focus, Space and Enter press it.
class PictureButton : public QPushButton {
    Q_OBJECT
public:
    PictureButton(const QString& objectName, const QString& picture, QWidget* parent);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString picture_;
};

// The hand pointer of both windows: "HAND-M.CUR" in the program's own folder, or in the shared
// data folder of an installed program, when it can be read; otherwise the platform's default
// pointer.
QCursor HandCursor();
QCursor HandCursor(const QString& programFolder);
// The pointer in a Windows cursor (or any picture) file, with the file's hotspot; the platform's
// default pointer when the file cannot be read.
QCursor CursorFromFile(const QString& path);

}  // namespace tallyrook
