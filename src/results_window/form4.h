#pragma once

#include <QWidget>

namespace tallyrook {

class Global;
class ResultsModel;

// The results window. Created the first time a run has rows, then shown and hidden, never
// destroyed while the program runs; closing it ends the program.
class Form4 : public QWidget {
    Q_OBJECT
public:
    // `mainWindow` is the window that Back shows again at this window's place.
    Form4(ResultsModel& model, Global& global, QWidget* mainWindow);
    ~Form4() override;

    // The hand-off of a run with rows: take the main window's width, height, position and window
    // state, show, and hide the main window.
    void ShowInPlaceOf(QWidget* mainWindow);

private:
    ResultsModel& model_;
    Global& global_;
    QWidget* mainWindow_;
};

}  // namespace tallyrook
