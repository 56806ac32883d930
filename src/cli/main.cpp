#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>

#include "cli_host.h"
#include "row_output.h"
#include "search/file_functions.h"
#include "search/result_list.h"
#include "search/search_run.h"
#include "shared/global.h"

using namespace tallyrook;
using tallyrook::cli::PrintError;

namespace {

constexpr int ExitRows = 0;
constexpr int ExitNoRows = 1;
constexpr int ExitUsage = 2;
constexpr int ExitWriteFailed = 3;
constexpr int ExitInterrupted = 130;

const char* const Usage =
    "usage: tallyrook-cli [--name] [--size] [--similar] [--tsv | --json] FOLDER...\n";

const char* const Help =
    "Finds duplicate files in the given folders and all their subfolders, by name and size only\n"
    "(file contents are never read), and prints one row per file of each duplicate group.\n"
    "\n"
    "  --name       Exact Filename: files with the same name\n"
    "  --size       Exact Filesize: files with the same size in bytes\n"
    "  --similar    Similar Filename: names sharing more than half of their words\n"
    "  --tsv        one line per row: path, size, modified, type, colour, separated by tabs;\n"
    "               backslash, tab and newline inside a field are written \\\\, \\t and \\n\n"
    "  --json       one JSON array of rows with path, size, modified, type, colour, bytes, mtime\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "  --           every later argument is a folder\n"
    "\n"
    "Without --tsv or --json the rows are shown as a table, a blank line between groups.\n"
    "Sizes and dates follow the locale of the environment (LC_ALL, LC_NUMERIC, LC_TIME, LANG).\n"
    "Messages go to stderr; a large folder list is searched without asking.\n"
    "\n"
    "Exit status: 0 duplicates found, 1 none found, 2 usage error, 3 output could not be\n"
    "written, 130 interrupted by Ctrl-C.\n";

void Print(FILE* stream, const char* text) {
    std::fputs(text, stream);
    std::fflush(stream);
}

int UsageError(const QString& problem) {
    PrintError(u"tallyrook-cli: " + problem);
    Print(stderr, Usage);
    Print(stderr, "Try 'tallyrook-cli --help' for more information.\n");
    return ExitUsage;
}

bool WriteAll(const QByteArray& bytes) {
    const size_t size = static_cast<size_t>(bytes.size());
    return std::fwrite(bytes.constData(), 1, size, stdout) == size && std::fflush(stdout) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    // First of all, so that an early Ctrl-C already takes the orderly way out.
    cli::InstallInterruptHandler();

    enum class Format { Table, Tsv, Json };
    bool name = false;
    bool size = false;
    bool similar = false;
    Format format = Format::Table;
    QString formatOption;
    QStringList folders;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QFile::decodeName(argv[i]);
        if (optionsEnded || !arg.startsWith(u'-') || arg == u"-") {
            folders.append(arg);
        } else if (arg == u"--") {
            optionsEnded = true;
        } else if (arg == u"--name") {
            name = true;
        } else if (arg == u"--size") {
            size = true;
        } else if (arg == u"--similar") {
            similar = true;
        } else if (arg == u"--tsv" || arg == u"--json") {
            if (!formatOption.isEmpty() && formatOption != arg)
                return UsageError(QStringLiteral("--tsv and --json cannot be used together"));
            formatOption = arg;
            format = arg == u"--tsv" ? Format::Tsv : Format::Json;
        } else if (arg == u"--help" || arg == u"-h") {
            Print(stdout, Usage);
            Print(stdout, "\n");
            Print(stdout, Help);
            return 0;
        } else if (arg == u"--version") {
            Print(stdout, "tallyrook-cli " TALLYROOK_VERSION_TEXT "\n");
            return 0;
        } else {
            return UsageError(u"unknown option '" + arg + u"'");
        }
    }
    if (folders.isEmpty())
        return UsageError(QStringLiteral("no folder given"));
    // The search treats such an entry as an empty folder; a typing error should not pass for
    // "no duplicates" unnoticed.
    for (const QString& folder : folders) {
        if (!IsFolder(folder))
            PrintError(u"tallyrook-cli: '" + folder + u"' is not a folder; it adds no files");
    }

    QElapsedTimer total;
    total.start();
    Global global;
    ResultRows rows;
    cli::CliHost host(name, size, similar, folders);
    const RunOutcome outcome = RunSearch(host, global, rows);
    host.EndTimings();
    // From here on Ctrl-C simply ends the program, as it would for any other command.
    cli::RestoreDefaultInterrupt();
    int status = ExitRows;
    QElapsedTimer output;
    output.start();
    if (cli::Interrupted() || outcome == RunOutcome::Stopped || outcome == RunOutcome::Abandoned) {
        status = ExitInterrupted;
    } else if (outcome != RunOutcome::ResultsShown) {
        status = ExitNoRows;
    } else {
        const QByteArray text = format == Format::Tsv    ? cli::TsvText(rows, global)
                                : format == Format::Json ? cli::JsonText(rows, global)
                                                         : cli::TableText(rows, global);
        if (!WriteAll(text)) {
            PrintError(QStringLiteral("tallyrook-cli: the rows could not be written"));
            status = ExitWriteFailed;
        }
    }
    if (qEnvironmentVariableIntValue("TALLYROOK_TIMINGS") != 0) {
        PrintError(QStringLiteral("timing: %1 s  output")
                       .arg(static_cast<double>(output.nsecsElapsed()) / 1e9, 0, 'f', 3));
        PrintError(QStringLiteral("timing: %1 s  total")
                       .arg(static_cast<double>(total.nsecsElapsed()) / 1e9, 0, 'f', 3));
    }
    // Freeing a million records one by one takes a noticeable while; the system takes the
    // memory back at once.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
