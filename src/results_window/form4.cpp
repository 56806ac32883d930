#include "form4.h"

namespace tallyrook {
// Placeholder until the results window lands.
Form4::Form4(ResultsModel& model, Global& global, QWidget* mainWindow)
    : model_(model), global_(global), mainWindow_(mainWindow) {}
Form4::~Form4() = default;
void Form4::ShowInPlaceOf(QWidget* mainWindow) {
    resize(mainWindow->size());
    move(mainWindow->pos());
    show();
    mainWindow->hide();
}
}  // namespace tallyrook
