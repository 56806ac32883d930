#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "main_window/form1.h"
#include "results_window/results_model.h"
#include "settings/settings_store.h"
#include "shared/descriptors.h"
#include "shared/file_names.h"
#include "shared/global.h"
#include "shared/program.h"
#include "shared/translations.h"
#include "widgets/window_look.h"

namespace {

constexpr int ExitUsage = 2;

// The program's own words on the command line, translated under this one name.
struct DesktopMain {
    Q_DECLARE_TR_FUNCTIONS(DesktopMain)
};

QString Usage() {
    return DesktopMain::tr("usage: tallyrook [OPTION]... [FOLDER]...\n");
}

QString HelpText() {
    return Usage() + DesktopMain::tr(R"(
Finds duplicate files across a list of folders, by name, size or contents, shows them one row
per file with a check box on each, and moves the checked files to the Trash in one request. Only
Exact Contents, and Compare Contents in the results window on request, read files: only those
whose size another file has, never writing them; an empty file is never a copy.

OPTIONS
  --inventory FILE
                   search the files of a saved inventory too (repeatable)
  -h, --help       show this text
  --version        show the version
  --               every later argument is a folder
Qt's own options (-platform, -style, ...) are understood too.

Each FOLDER starts in the folder list, in order; a file stands for its folder. One that does not
exist or cannot be read is named on stderr and left out.

Each inventory FILE is added to the folder list, and remembered there, as Add Inventory adds it:
its files are searched with the folders' although its drive or machine is not here. A FILE that
is not an inventory, or was made by a newer Tallyrook, is named on stderr and left out.
Inventories are saved with Save Inventory on the folder list's menu, or with tallyrook-cli
--save-inventory.

The window needs a desktop session. Without one, tallyrook-cli runs the same search and prints
the rows (see tallyrook-cli --help).
)");
}

void Print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

QStringList Arguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(tallyrook::DecodeFileName(argv[i]));  // a leading byte-order mark kept
    return arguments;
}

void AddOptions(QCommandLineParser& parser) {
    parser.addOption(QCommandLineOption(QStringList{u"h"_qs, u"help"_qs}));
    parser.addOption(QCommandLineOption(u"version"_qs));
    parser.addOption(QCommandLineOption(u"inventory"_qs, {}, u"FILE"_qs));
}

// The answer to --help or --version, which needs no display; -1 when the window is to start.
int AnswerWithoutWindow(int argc, char** argv) {
    QCommandLineParser parser;
    AddOptions(parser);
    // Qt's own options are not known yet: they are taken out by QApplication, later. Any error is
    // reported then.
    parser.parse(Arguments(argc, argv));
    if (parser.isSet(u"help"_qs)) {
        QCoreApplication app(argc, argv);
        tallyrook::InstallTranslations();
        Print(stdout, HelpText());
        return 0;
    }
    if (parser.isSet(u"version"_qs)) {
        Print(stdout, u"tallyrook "_qs + tallyrook::ProgramVersion + u'\n');
        return 0;
    }
    return -1;
}

[[noreturn]] void NoDisplay(const QString& why) {
    Print(stderr, u"tallyrook: "_qs + why + u'\n');
    Print(stderr, DesktopMain::tr("Tallyrook's window needs a desktop session. Start it from one, "
                                  "or use tallyrook-cli,\nwhich runs the same search without a "
                                  "window (tallyrook-cli --help).\n"));
    std::_Exit(ExitUsage);
}

// While QApplication connects to the display: the platform's failure is fatal to Qt, which
// aborts; we say what it means instead. Other messages go on as usual.
QtMessageHandler qtHandler = nullptr;
void OnConnectMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg)
        NoDisplay(DesktopMain::tr("the display cannot be opened."));
    if (qtHandler)
        qtHandler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    // Room for the walk's folders and the contents check's files to stay open.
    tallyrook::RaiseDescriptorLimit(4096);
    if (const int status = AnswerWithoutWindow(argc, argv); status >= 0)
        return status;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        QCoreApplication app(argc, argv);
        tallyrook::InstallTranslations();
        NoDisplay(
            DesktopMain::tr("there is no display to show the window on (DISPLAY and "
                            "WAYLAND_DISPLAY are unset)."));
    }

    qtHandler = qInstallMessageHandler(OnConnectMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    QApplication::setOrganizationName(tallyrook::OrganizationName);
    QApplication::setApplicationName(tallyrook::ProgramName);
    QApplication::setApplicationVersion(tallyrook::ProgramVersion);
    QGuiApplication::setDesktopFileName(QStringLiteral("tallyrook"));
    QApplication::setWindowIcon(tallyrook::WindowIcon());
    tallyrook::InstallTranslations();

    // Qt's options are gone now: anything else unknown is a mistake.
    QCommandLineParser parser;
    AddOptions(parser);
    if (!parser.parse(Arguments(argc, argv))) {
        Print(stderr, u"tallyrook: "_qs + parser.errorText() + u'\n' + Usage() +
                          DesktopMain::tr("Try 'tallyrook --help' for more information.\n"));
        return ExitUsage;
    }

    tallyrook::Global global;
    tallyrook::SettingsStore settings;
    tallyrook::ResultsModel results;
    tallyrook::Form1 form1(global, settings, results);
    // "Open with" from a file manager passes the folders (or files) as arguments.
    for (const QString& problem : form1.AddCommandLineFolders(parser.positionalArguments()))
        Print(stderr, u"tallyrook: "_qs + DesktopMain::tr("cannot add %1").arg(problem) + u'\n');
    for (const QString& problem : form1.AddInventoryFiles(parser.values(u"inventory"_qs)))
        Print(stderr, u"tallyrook: "_qs + DesktopMain::tr("cannot add %1").arg(problem) + u'\n');
    form1.show();
    const int status = QApplication::exec();
    settings.Sync();
    return status;
}
