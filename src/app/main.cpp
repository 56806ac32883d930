#include <QApplication>
#include <QIcon>

#include "main_window/form1.h"
#include "results_window/results_model.h"
#include "settings/settings_store.h"
#include "shared/global.h"
#include "shared/program.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(tallyrook::OrganizationName);
    QApplication::setApplicationName(tallyrook::ProgramName);
    QApplication::setApplicationVersion(tallyrook::ProgramVersion);
    QGuiApplication::setDesktopFileName(QStringLiteral("tallyrook"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/artwork/icon.svg")));

    tallyrook::Global global;
    tallyrook::SettingsStore settings;
    tallyrook::ResultsModel results;
    tallyrook::Form1 form1(global, settings, results);
    // "Open with" from a file manager passes the folders (or files) as arguments.
    form1.AddCommandLineFolders(QApplication::arguments().mid(1));
    form1.show();
    const int status = QApplication::exec();
    settings.Sync();
    return status;
}
