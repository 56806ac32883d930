#include "cli/cli_main.h"

#include <signal.h>
#include <unistd.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <optional>

#include "cli/cli_host.h"
#include "cli/row_output.h"
#include "cli/terminal.h"
#include "contents/contents_check.h"
#include "contents/contents_pass.h"
#include "contents/contents_texts.h"
#include "inventory/fingerprints.h"
#include "inventory/inventory_file.h"
#include "inventory/inventory_search.h"
#include "run/search_run.h"
#include "search/file_functions.h"
#include "search/result_list.h"
#include "search/run_options.h"
#include "selection/copy_choice.h"
#include "shared/file_names.h"
#include "shared/global.h"
#include "shared/program.h"
#include "shared/translations.h"
#include "walk/walk.h"

namespace tallyrook::cli {

namespace {

constexpr int ExitRows = 0;
constexpr int ExitNoRows = 1;
constexpr int ExitUsage = 2;
constexpr int ExitWriteFailed = 3;
constexpr int ExitInterrupted = 130;

// The command's messages and --help, translated under this one name; field names, type words and
// the rows never are.
struct Cli {
    Q_DECLARE_TR_FUNCTIONS(Cli)
};

QString Usage() {
    return Cli::tr(
        "usage: tallyrook-cli [OPTION]... [--inventory FILE]... FOLDER...\n"
        "       tallyrook-cli --save-inventory FILE FOLDER...\n");
}

struct OptionSpec {
    QStringList names;
    QString valueName;
    const char* help;  // translated where it is shown
};

// In the order --help lists them.
const QList<OptionSpec>& Options() {
    static const QList<OptionSpec> options{
        {{u"name"_qs}, {}, QT_TRANSLATE_NOOP("Cli", "Exact Filename: files with the same name")},
        {{u"size"_qs},
         {},
         QT_TRANSLATE_NOOP("Cli", "Exact Filesize: files with the same size in bytes")},
        {{u"similar"_qs},
         {},
         QT_TRANSLATE_NOOP("Cli", "Similar Filename: names sharing more than half of their words")},
        {{u"contents"_qs},
         {},
         QT_TRANSLATE_NOOP("Cli",
                           "alone: Exact Contents, files with a byte-identical copy; with "
                           "another criterion: compare the listed files' contents. Adds the "
                           "fields copy and file")},
        {{u"min-size"_qs},
         u"N"_qs,
         QT_TRANSLATE_NOOP(
             "Cli",
             "with --contents alone: leave out files smaller than N bytes, or KiB, MiB "
             "or GiB with K, M or G; empty files are never copies")},
        {{u"select"_qs},
         u"RULE"_qs,
         QT_TRANSLATE_NOOP("Cli",
                           "with --contents: check every file of each copy set but the newest, "
                           "oldest, largest or shortest (path), as the desktop program's helpers "
                           "do: adds the field checked")},
        {{u"protect"_qs},
         u"FOLDER"_qs,
         QT_TRANSLATE_NOOP("Cli",
                           "with --select: never check a file in FOLDER or below it; a copy set "
                           "with such a file keeps those and checks the others (repeatable)")},
        {{u"tsv"_qs},
         {},
         QT_TRANSLATE_NOOP("Cli", "one line per row, fields separated by tabs (see FIELDS)")},
        {{u"json"_qs},
         {},
         QT_TRANSLATE_NOOP("Cli", "one JSON array of row objects, one row per line (see FIELDS)")},
        {{u"header"_qs},
         {},
         QT_TRANSLATE_NOOP("Cli", "with --tsv: the field names as the first line")},
        {{u"inventory"_qs},
         u"FILE"_qs,
         QT_TRANSLATE_NOOP("Cli", "search a saved inventory's files too (repeatable)")},
        {{u"save-inventory"_qs},
         u"FILE"_qs,
         QT_TRANSLATE_NOOP("Cli", "save an inventory of the FOLDERs; no search")},
        {{u"fingerprints"_qs},
         {},
         QT_TRANSLATE_NOOP("Cli",
                           "with --save-inventory: store a SHA-256 of each file whose size "
                           "another file has, in the FOLDERs or the inventories named with it")},
        {{u"max-rows"_qs},
         u"N"_qs,
         QT_TRANSLATE_NOOP("Cli", "list at most N rows, N >= 2 (default 32,767)")},
        {{u"all"_qs}, {}, QT_TRANSLATE_NOOP("Cli", "list every row")},
        {{u"q"_qs, u"quiet"_qs},
         {},
         QT_TRANSLATE_NOOP("Cli", "no progress and no notes; warnings and errors are shown")},
        {{u"h"_qs, u"help"_qs}, {}, QT_TRANSLATE_NOOP("Cli", "show this text")},
        {{u"version"_qs}, {}, QT_TRANSLATE_NOOP("Cli", "show the version")},
    };
    return options;
}

// --help around its list of options: what the command does, then the details.
constexpr const char* HelpIntroduction = QT_TRANSLATE_NOOP("Cli", R"(
Finds duplicate files in the given folders and all their subfolders, by name and size, and
prints one row per file of each duplicate group. A search by name and size never reads file
contents; only --contents does.

OPTIONS
)");
constexpr const char* HelpDetails =
    QT_TRANSLATE_NOOP("Cli", R"(  --               every later argument is a folder

Without --tsv or --json the rows are shown as a table, a blank line between groups, with
control characters and invisible format characters in names shown escaped (\x1b, \u202e). On
a terminal a progress line is shown on stderr while the search and the contents check run.
Warnings (skipped names, a full list, files not compared) and errors go to stderr, also with -q.

FIELDS
  path      the file's full path
  size      the size as text ("1.5 MB"), empty when unknown or 0 bytes
  modified  the last-modified date and time as text, empty when unknown
  type      the criterion that matched: Name, Size, Close or Copy
  colour    the row's colour in the desktop program
  group     the group's number, from 1 in list order: a group is the rows one file's matches
            add (the file itself unless already listed, then its partners)
  bytes     the size in bytes; empty in TSV, null in JSON when unknown
  mtime     the last-modified time, ISO 8601 UTC; empty in TSV, null in JSON when unknown
  copy      only with --contents: the copy set's number, from 1 in list order; a copy set is
            the listed files whose contents are byte for byte the same. Empty in TSV, null in
            JSON for a file with no identical copy or not compared (named on stderr). A copy
            set has two files or more: other names of one file (hard links) are no copy, and an
            empty file is never a copy. With --inventory, "3 by fingerprint": the file's copies
            are known by fingerprint only, a file of an inventory or one here whose only
            copies are such files; a number alone is byte for byte
  file      only with --contents: rows that name one file (hard links, or a folder listed
            twice) share its number, from 1 in list order; empty in TSV, null in JSON for a
            file no other row names
  source    only with --inventory: "MACHINE: LABEL" of a file that is not here to look at,
            shown as the inventory recorded it (the table has a SOURCE column); empty for a
            file here
  checked   only with --select: 1 for a file the rule checks, else 0 (true and false in JSON).
            Every name of a file goes together, protected files are never checked, and a set
            with protected files keeps them all. Empty files are never checked
In TSV, backslash, tab, newline and carriage return inside a field are written \\, \t, \n and
\r. Sizes and dates as text follow the locale (LC_ALL, LC_NUMERIC, LC_TIME, LANG).

Recorded are the plain files (not links, not names beginning with ".") of each FOLDER and of
every subfolder whose name does not begin with ".".

With --contents alone (Exact Contents) the search lists every file that has a byte-identical
copy, one group per copy set, type Copy. Only files whose size another file has are read, each
byte at most once, and compared byte for byte; links are not followed, nothing is written and
access times are left alone. Paths of one file (hard links) are one file, never copies of each
other, and an empty file is never a copy. Files that could not be read are named on stderr.
With --name, --size or --similar, --contents reads the listed rows' files after the search, only
those whose size another listed file has, and adds their copy sets to the rows. The progress line
and Ctrl-C work as for the search.

With --select the rows' checked field is what the desktop program's helper of the same rule
would check, so a script can do what the window does:
  tallyrook-cli --size --contents --protect ~/Photos --select newest --tsv |
      awk -F'\t' '$NF==1' | cut -f1

INVENTORIES
--save-inventory FILE walks the FOLDERs and saves what the walk records (names, sizes, dates,
the machine and each file system's UUID and label) to FILE, an SQLite file; an existing FILE is
replaced only if it is an inventory, and Ctrl-C leaves it as it was. --inventory FILE searches
the files of a saved inventory with the FOLDERs, as if they had been walked after them. Of
inventories of one file system the newest is used. Where that file system is mounted here, a
folder that is also among the FOLDERs is taken from the walk, and a file unchanged since (size,
last write, inode) is a file like any other. Files of other inventories are never read.

With --fingerprints the saved inventory holds a SHA-256 of each file whose size another file has,
in the FOLDERs or in the inventories named with --inventory. A fingerprint is kept from the
inventory FILE replaces, or from one named, while its file's device, inode, size and last write
are unchanged; only the other files are read. --contents then compares the files of inventories
with those here by fingerprint: two files of equal size and fingerprint are copies "by
fingerprint", two files here are still compared byte for byte. --select never checks a file of
an inventory: it is a copy that stays, as in a protected folder.

EXIT STATUS
  0    duplicates found
  1    no duplicates found
  2    something was wrong with what was asked (no criterion, an unknown option, a FOLDER that
       does not exist or is not a folder, a FILE that is not an inventory or is of a newer
       schema) or a folder could not be read; each is named on stderr, and the rows found in
       the other folders are still printed
  3    the rows, or the inventory, could not be written
  130  interrupted by Ctrl-C
A reader that stops early (| head) ends the command quietly with the status it would have had.
)");

QString HelpText() {
    QString options;
    for (const OptionSpec& spec : Options()) {
        QStringList spelled;
        for (const QString& name : spec.names)
            spelled.append((name.size() == 1 ? u"-" : u"--") + name);
        QString left = spelled.join(u", ");
        if (!spec.valueName.isEmpty())
            left += u' ' + spec.valueName;
        options += u"  " + left.leftJustified(16) + u' ' + Cli::tr(spec.help) + u'\n';
    }
    return Usage() + Cli::tr(HelpIntroduction) + options + Cli::tr(HelpDetails);
}

void PrintTo(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// Why a FOLDER argument cannot be searched, in the system's words; empty when it can. A path past
// the system's length limit is looked up a folder at a time, as the walk goes below it.
QString FolderProblem(const QString& folder) {
    const int error = FolderError(folder);
    if (error == 0)
        return {};
    // Bytes that are not UTF-8 were decoded as replacement characters and name nothing.
    if (error == ENOENT && folder.contains(QChar::ReplacementCharacter))
        return Cli::tr(
            "its name cannot be read. This is probably because it contains strange "
            "characters. Please rename the folder if you would like it included next time you "
            "find dupes.");
    return ErrorText(error);
}

int UsageError(Stderr& err, const QString& problem) {
    err.Message(u"tallyrook-cli: " + problem);
    PrintTo(stderr, Usage() + Cli::tr("Try 'tallyrook-cli --help' for more information.\n"));
    return ExitUsage;
}

struct Request {
    RunOptions options;
    Format format = Format::Table;
    bool header = false;
    bool quiet = false;
    bool contents = false;
    qint64 minSize = 1;  // --min-size, for Exact Contents
    std::optional<KeeperRule> select;
    ProtectedFolders protect;  // absolute, as CompareContents compares them
    QStringList folders;
    QStringList inventories;  // --inventory
    QString saveInventory;    // --save-inventory
    bool fingerprints = false;
};

// The path made absolute and clean, without resolving links: how protected folders and rows meet
// whether the folders were given relative or not.
QString AbsolutePath(const QString& path) {
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

// "1500", "64K", "2M", "1G" (powers of 1024); nothing for anything else.
std::optional<qint64> ParseByteCount(QString text) {
    int shift = 0;
    if (!text.isEmpty()) {
        const qsizetype unit = QStringView(u"KMG").indexOf(text.back().toUpper());
        if (unit >= 0) {
            shift = 10 * int(unit + 1);
            text.chop(1);
        }
    }
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    if (!ok || number < 0 || text.startsWith(u'+') || number > (qint64(1) << (62 - shift)))
        return std::nullopt;
    return number << shift;
}

// The options of the output: its format and how many rows. Returns an exit status on a usage
// error, else -1.
int ParseOutput(const QCommandLineParser& parser, Request& request, Stderr& err) {
    if (parser.isSet(u"tsv"_qs) && parser.isSet(u"json"_qs))
        return UsageError(err, Cli::tr("--tsv and --json cannot be used together"));
    request.format = parser.isSet(u"tsv"_qs)    ? Format::Tsv
                     : parser.isSet(u"json"_qs) ? Format::Json
                                                : Format::Table;
    request.header = parser.isSet(u"header"_qs);
    if (request.header && request.format != Format::Tsv)
        return UsageError(err, Cli::tr("--header goes with --tsv"));
    if (parser.isSet(u"all"_qs) && parser.isSet(u"max-rows"_qs))
        return UsageError(err, Cli::tr("--all and --max-rows cannot be used together"));
    if (parser.isSet(u"all"_qs))
        request.options.rowLimit = RunOptions::NoRowLimit;
    if (parser.isSet(u"max-rows"_qs)) {
        bool ok = false;
        request.options.rowLimit = parser.value(u"max-rows"_qs).toInt(&ok);
        // A group is never split, and the smallest has two rows.
        if (!ok || request.options.rowLimit < 2)
            return UsageError(err, Cli::tr("--max-rows takes a whole number of 2 or more: "
                                           "a group of duplicates lists at least 2 files"));
    }
    return -1;
}

// --contents, --min-size, --select and --protect. Returns an exit status on a usage error, else
// -1.
int ParseContents(const QCommandLineParser& parser, Request& request, Stderr& err) {
    request.contents = parser.isSet(u"contents"_qs);
    // Alone, --contents is a criterion of its own; with another it compares what they list.
    request.options.criteria.exactContents = request.contents && !request.options.criteria.Any();
    if (parser.isSet(u"min-size"_qs)) {
        const std::optional<qint64> bytes = ParseByteCount(parser.value(u"min-size"_qs));
        if (!bytes)
            return UsageError(err, Cli::tr("--min-size takes a number of bytes, with K, M or G "
                                           "for KiB, MiB or GiB"));
        if (!request.options.criteria.exactContents)
            return UsageError(err, Cli::tr("--min-size goes with --contents alone"));
        request.minSize = *bytes;
    }
    if (parser.isSet(u"select"_qs)) {
        const QString rule = parser.value(u"select"_qs);
        if (rule == u"newest")
            request.select = KeeperRule::Newest;
        else if (rule == u"oldest")
            request.select = KeeperRule::Oldest;
        else if (rule == u"largest")
            request.select = KeeperRule::Largest;
        else if (rule == u"shortest")
            request.select = KeeperRule::ShortestPath;
        else
            return UsageError(err, Cli::tr("--select takes newest, oldest, largest or shortest"));
        if (!request.contents)
            return UsageError(
                err, Cli::tr("--select goes with --contents: only compared contents make copies"));
    }
    for (const QString& folder : parser.values(u"protect"_qs)) {
        if (!request.select)
            return UsageError(err, Cli::tr("--protect goes with --select"));
        // A mistyped folder must not leave the files meant to stay unprotected.
        if (!QFileInfo(folder).isDir())
            return UsageError(err, Cli::tr("--protect %1: not a folder").arg(folder));
        request.protect.Add(AbsolutePath(folder));
    }
    return -1;
}

// The folders and inventories, to search or to save: returns an exit status on a usage error,
// else -1.
int ParseWhatToSearch(const QCommandLineParser& parser, Request& request, Stderr& err) {
    request.folders = parser.positionalArguments();
    request.inventories = parser.values(u"inventory"_qs);
    request.saveInventory = parser.value(u"save-inventory"_qs);
    request.fingerprints = parser.isSet(u"fingerprints"_qs);
    if (request.fingerprints && !parser.isSet(u"save-inventory"_qs))
        return UsageError(err, Cli::tr("--fingerprints goes with --save-inventory"));
    if (parser.isSet(u"save-inventory"_qs)) {
        if (request.saveInventory.isEmpty())
            return UsageError(err, Cli::tr("--save-inventory needs a FILE"));
        // Other inventories count only for the sizes that want fingerprints.
        if (request.options.criteria.Any() || request.contents ||
            (!request.inventories.isEmpty() && !request.fingerprints))
            return UsageError(err, Cli::tr("--save-inventory takes only FOLDERs: it saves them "
                                           "and searches nothing"));
        if (request.folders.isEmpty())
            return UsageError(err, Cli::tr("no folder given"));
        return -1;
    }
    if (request.folders.isEmpty() && request.inventories.isEmpty())
        return UsageError(err, Cli::tr("no folder given"));
    if (!request.options.criteria.Any())
        return UsageError(err,
                          Cli::tr("choose at least one of --name, --size, --similar, --contents"));
    return -1;
}

// Fills `request`; returns an exit status when the command ends here (help, version, usage
// error), -1 when the search is to run.
int ParseArguments(int argc, char** argv, Request& request, Stderr& err) {
    QCommandLineParser parser;
    for (const OptionSpec& spec : Options()) {
        QCommandLineOption option(spec.names, Cli::tr(spec.help));
        option.setValueName(spec.valueName);
        parser.addOption(option);
    }
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(DecodeFileName(argv[i]));  // a leading byte-order mark kept
    if (!parser.parse(arguments))
        return UsageError(err, parser.errorText());
    if (parser.isSet(u"help"_qs)) {
        PrintTo(stdout, HelpText());
        return 0;
    }
    if (parser.isSet(u"version"_qs)) {
        PrintTo(stdout, QStringLiteral("tallyrook-cli ") + ProgramVersion + u'\n');
        return 0;
    }
    request.options.criteria = {parser.isSet(u"name"_qs), parser.isSet(u"size"_qs),
                                parser.isSet(u"similar"_qs)};
    if (const int status = ParseOutput(parser, request, err); status >= 0)
        return status;
    request.quiet = parser.isSet(u"quiet"_qs);
    if (const int status = ParseContents(parser, request, err); status >= 0)
        return status;
    return ParseWhatToSearch(parser, request, err);
}

// Compares the rows' files with those of saved inventories by fingerprint: a file here of a size
// that a fingerprinted file elsewhere has is given its own, from an inventory while it is
// unchanged, else read. `places` tells each row's place and how its copies are known. False when
// Ctrl-C stopped it.
bool CompareFingerprints(const std::vector<Inventory>& inventories,
                         const QHash<qsizetype, QByteArray>& recorded, const CompactRows& rows,
                         const QList<ContentsFile>& files, const QList<ContentsFile>& absolute,
                         std::vector<ContentsResult>& results, std::vector<CopyPlace>& places,
                         Stderr& err) {
    std::vector<QByteArray> fingerprints(size_t(rows.RowCount()));
    std::vector<bool> elsewhere(size_t(rows.RowCount()));
    for (int k = 0; k < rows.RowCount(); ++k) {
        elsewhere[size_t(k)] = !rows.RowParts(k).source.isEmpty();
        if (elsewhere[size_t(k)])
            fingerprints[size_t(k)] = recorded.value(rows.RowFile(k));
    }
    FingerprintStore store;
    for (const Inventory& inventory : inventories)
        store.Add(inventory);
    FingerprintCount count;
    if (!FingerprintFilesHere(files, results, fingerprints, store, count, [&err](qint64) {
            err.Poll();
            return !Interrupted();
        }))
        return false;
    const std::vector<bool> byFingerprint =
        JoinByFingerprint(absolute, elsewhere, fingerprints, results);
    for (int k = 0; k < rows.RowCount(); ++k)
        places.push_back({rows.RowParts(k).source.toString(), byFingerprint[size_t(k)]});
    return true;
}

// Names a file that was not compared, once.
void NameNotCompared(const QString& path, const ContentsResult& result, QSet<QString>& named,
                     Stderr& err) {
    if (result.state != CopyState::NotCompared || named.contains(path))
        return;
    named.insert(path);
    err.Message(u"tallyrook-cli: " +
                Cli::tr("not compared: %1: %2").arg(path, NotComparedText(result.reason)));
}

// The rows' files by absolute path, so that protected folders given either way meet them, with
// their last write to the millisecond from `results` (one per row), as the window's rows have it
// (the rows here keep seconds).
QList<ContentsFile> AbsoluteFiles(const CompactRows& rows,
                                  const std::vector<ContentsResult>& results) {
    QList<ContentsFile> absolute;
    absolute.reserve(rows.RowCount());
    for (int k = 0; k < rows.RowCount(); ++k) {
        const CompactRows::Parts row = rows.RowParts(k);
        // A file of a saved inventory stays apart from a file here of the same path.
        const QString path = AbsolutePath(row.folder + row.name);
        absolute.append({row.source.isEmpty() ? path : row.source + u'\n' + path, row.bytes, {}});
        const FileIdentity& id = results[size_t(k)].identity;
        if (id.size >= 0)
            absolute.last().modified =
                QDateTime::fromMSecsSinceEpoch(id.modifiedNs / 1'000'000, Qt::UTC);
    }
    return absolute;
}

// Gives each row its copy set, its file, how its copies are known and, with a rule, its mark,
// from `results` (one per row). A row without a result (a file of a saved inventory not joined
// by fingerprint) is in none.
void GiveChoice(const Request& request, CompactRows& rows, const QList<ContentsFile>& absolute,
                const std::vector<ContentsResult>& results,
                const std::vector<CopyPlace>& places = {}) {
    const CopyChoice choice(absolute, results, places);
    std::vector<bool> checked;
    if (request.select)
        checked = choice.Choose(*request.select, request.protect);
    for (int k = 0; k < rows.RowCount(); ++k) {
        const int p = choice.IndexOf(absolute[k].path);
        rows.SetChoice(k, choice.CopySet(p), choice.FileNumber(p), choice.ByFingerprint(p),
                       !checked.empty() && checked[size_t(p)]);
    }
}

// Exact Contents: the rows take what the run's comparison found, and every file it could not
// compare is named. The comparison's answers for the files that are no row go before the rows'
// own are made.
void GiveFoundCopies(const Request& request, ContentsPass& pass, CompactRows& rows, Stderr& err) {
    const std::vector<qsizetype>& records = pass.Records();
    const std::vector<ContentsResult>& found = pass.Results().files;
    QSet<QString> named;
    for (size_t i = 0; i < found.size(); ++i) {
        if (found[i].state == CopyState::NotCompared)
            NameNotCompared(pass.Files().At(qsizetype(i)).path, found[i], named, err);
    }
    std::vector<ContentsResult> results(size_t(rows.RowCount()));
    for (int k = 0; k < rows.RowCount(); ++k) {
        const auto at = std::lower_bound(records.begin(), records.end(), rows.RowFile(k));
        if (at != records.end() && *at == rows.RowFile(k))
            results[size_t(k)] = found[size_t(at - records.begin())];
    }
    pass.Clear();
    GiveChoice(request, rows, AbsoluteFiles(rows, results), results);
}

// Compares the contents of the rows' files and gives them what it found, with progress as the
// search's; each file not compared is named. Ctrl-C stops it, and leaves the rows without.
void CompareContents(const Request& request, CompactRows& rows, Stderr& err,
                     const std::vector<Inventory>& inventories,
                     const QHash<qsizetype, QByteArray>& recorded) {
    QList<ContentsFile> files;
    files.reserve(rows.RowCount());
    for (int k = 0; k < rows.RowCount(); ++k) {
        const CompactRows::Parts row = rows.RowParts(k);
        // A file of another machine or drive is not read: what its path names here is another.
        files.append(
            {row.source.isEmpty() ? row.folder + row.name : QString(), row.bytes,
             row.seconds ? QDateTime::fromSecsSinceEpoch(*row.seconds, Qt::UTC) : QDateTime()});
    }
    ContentsCheck check(files);
    check.Start();
    err.ShowProgress(true);
    err.SetCaption(ProgramName + u' ' + Cli::tr("[Comparing contents]"));
    while (!check.Wait(50)) {
        // The rows go unprinted: a read that a share does not answer is not waited for.
        if (Interrupted())
            break;
        const ContentsProgress done = check.Progress();
        if (done.bytesTotal > 0)
            err.SetProgress(int(100 * done.bytesDone / done.bytesTotal));
        err.Poll();
    }
    err.ShowProgress(false);
    if (Interrupted())
        return;
    std::vector<ContentsResult> results = check.Results().files;
    const QList<ContentsFile> absolute = AbsoluteFiles(rows, results);
    // Files of saved inventories meet the files here by fingerprint.
    std::vector<CopyPlace> places;
    if (!inventories.empty() &&
        !CompareFingerprints(inventories, recorded, rows, files, absolute, results, places, err))
        return;
    GiveChoice(request, rows, absolute, results, places);
    QSet<QString> named;
    for (int k = 0; k < rows.RowCount(); ++k) {
        const CompactRows::Parts row = rows.RowParts(k);
        if (row.source.isEmpty())
            NameNotCompared(row.folder + row.name, results[size_t(k)], named, err);
    }
}

// --fingerprints: the inventory's files whose size another file has get theirs, kept from the
// inventory being replaced or one named with it while unchanged, else read. False when Ctrl-C
// stopped it.
bool AddFolderFingerprints(const Request& request, const std::vector<Inventory>& inventories,
                           Inventory& inventory, const std::function<bool(int)>& progress,
                           Stderr& err) {
    err.SetCaption(ProgramName + u' ' + Cli::tr("[Making fingerprints]"));
    FingerprintStore store;
    if (Inventory replaced;
        !LoadInventory(request.saveInventory, replaced, InventoryParts::WithoutFiles))
        store.Add(replaced);
    for (const Inventory& other : inventories)
        store.Add(other);
    FingerprintCount count;
    QList<FingerprintFailure> failures;
    if (!AddFingerprints(inventory, inventories, store, count, failures, progress))
        return false;
    err.EraseProgress();
    for (const FingerprintFailure& failure : failures)
        err.Message(
            u"tallyrook-cli: " +
            Cli::tr("no fingerprint: %1: %2").arg(failure.path, NotComparedText(failure.reason)));
    const QLocale& locale = request.options.locale;
    if (!request.quiet)
        err.Message(u"tallyrook-cli: " + Cli::tr("%1 fingerprints, %2 of them read (%3 bytes)")
                                             .arg(locale.toString(count.files),
                                                  locale.toString(count.read),
                                                  locale.toString(count.bytesRead)));
    return true;
}

// --save-inventory: walks the folders and saves their inventory, or nothing at all.
int SaveFolders(const Request& request, const QStringList& folders,
                const std::vector<Inventory>& inventories, Stderr& err) {
    // No cap: an inventory may hold more files than one search lists.
    Global global(std::numeric_limits<qsizetype>::max());
    // Recorded as absolute paths: an inventory is read from anywhere, on any machine.
    QStringList absolute;
    for (const QString& folder : folders)
        absolute.append(QDir::cleanPath(QDir::current().absoluteFilePath(folder)));
    CliHost host(absolute, err, request.quiet, request.options.locale);
    RunOptions options = request.options;
    options.criteria.exactFilesize = true;
    WalkedFolders walked;
    host.SetStage(SearchStage::Walk);
    for (const QString& folder : absolute) {
        if (AnalyzeFolder(folder, host, global, walked, options) != StepResult::Completed)
            break;
    }
    host.EndTimings();
    const auto keepGoing = [&err] {
        err.Poll();
        return !Interrupted();
    };
    err.SetCaption(ProgramName + u' ' + Cli::tr("[Saving inventory]"));
    Inventory inventory;
    InventoryError error;
    const auto progress = [&err, &keepGoing](int percent) {
        err.SetProgress(percent);
        return keepGoing();
    };
    if (MakeInventory(global.inventory, absolute, inventory, progress) &&
        (!request.fingerprints ||
         AddFolderFingerprints(request, inventories, inventory, progress, err)))
        error = SaveInventory(request.saveInventory, inventory, keepGoing);
    err.EraseProgress();
    if (Interrupted())
        return ExitInterrupted;
    if (error) {
        err.Message(u"tallyrook-cli: " + error.text);
        return error.kind == InventoryError::Kind::Failed ? ExitWriteFailed : ExitUsage;
    }
    if (!request.quiet)
        err.Message(u"tallyrook-cli: " +
                    Cli::tr("%1 files saved to %2")
                        .arg(request.options.locale.toString(global.inventory.FileCount()),
                             request.saveInventory));
    return host.FolderUnreadable() ? ExitUsage : ExitRows;
}

// The workers that read folders ahead of the walk (0: none), from TALLYROOK_WALK_WORKERS, for
// disks and machines that do better with fewer or more requests in flight.
void TakeWalkWorkers(RunOptions& options) {
    bool workersSet = false;
    const int workers = qEnvironmentVariableIntValue("TALLYROOK_WALK_WORKERS", &workersSet);
    if (workersSet)
        options.readAhead.workers = std::clamp(workers, 0, 64);
}

// The FOLDERs that can be read. A typing error must not pass for "no duplicates": it is named,
// `bad` is set, and the others are searched.
QStringList ReadableFolders(const Request& request, Stderr& err, bool& bad) {
    QStringList folders;
    for (const QString& folder : request.folders) {
        const QString problem = FolderProblem(folder);
        if (problem.isEmpty()) {
            folders.append(folder);
        } else {
            err.Message(u"tallyrook-cli: " + Cli::tr("cannot read %1: %2").arg(folder, problem));
            bad = true;
        }
    }
    return folders;
}

// The --inventory files, without their files: those are read one at a time when they are
// searched. False, with the problem named, when one cannot be read.
bool LoadInventories(const Request& request, std::vector<Inventory>& inventories, Stderr& err) {
    inventories.resize(size_t(request.inventories.size()));
    for (qsizetype i = 0; i < request.inventories.size(); ++i) {
        if (const InventoryError error = LoadInventory(
                request.inventories.at(i), inventories[size_t(i)], InventoryParts::WithoutFiles)) {
            err.Message(u"tallyrook-cli: " + error.text);
            return false;
        }
    }
    return true;
}

// Prints the rows as asked and returns the exit status. `badInput`: a FOLDER was missing or a
// folder could not be read.
int WriteOutput(const Request& request, RunOutcome outcome, const CompactRows& rows,
                bool inventories, bool badInput, Stderr& err) {
    if (Interrupted() || outcome == RunOutcome::Stopped || outcome == RunOutcome::Abandoned)
        return ExitInterrupted;
    // Duplicates that the row limit left out are still duplicates found.
    int status = outcome != RunOutcome::ResultsShown && outcome != RunOutcome::NothingFitted
                     ? ExitNoRows
                     : ExitRows;
    // JSON says "none" as an empty array, a TSV header stands alone; the table prints nothing.
    if ((status == ExitRows && rows.RowCount() > 0) || request.format == Format::Json ||
        request.header) {
        Output out(STDOUT_FILENO);
        WriteRows(request.format, request.header,
                  {request.contents, inventories, request.select.has_value()}, rows, out);
        if (out.state() == Output::State::Failed) {
            err.Message(u"tallyrook-cli: " +
                        Cli::tr("the rows could not be written: %1").arg(ErrorText(out.error())));
            return ExitWriteFailed;
        }
    }
    return badInput ? ExitUsage : status;
}

// Freeing a million records one by one takes a noticeable while; the system takes the memory
// back at once.
[[noreturn]] void ExitNow(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

}  // namespace

int RunCli(int argc, char** argv) {
    // First of all, so that an early Ctrl-C already takes the orderly way out.
    InstallInterruptHandler();
    // The messages and --help in the user's language.
    QCoreApplication app(argc, argv);
    InstallTranslations();
    // A reader that goes away shows as a failed write, which ends the output quietly.
    std::signal(SIGPIPE, SIG_IGN);

    Request request;
    {
        Stderr plain(false);
        const int status = ParseArguments(argc, argv, request, plain);
        if (status >= 0)
            return status;
    }
    Stderr err(!request.quiet);
    TakeWalkWorkers(request.options);
    bool badFolder = false;
    const QStringList folders = ReadableFolders(request, err, badFolder);
    std::vector<Inventory> inventories;
    if (!LoadInventories(request, inventories, err))
        return ExitUsage;
    if (!request.saveInventory.isEmpty()) {
        // A missing FOLDER must not pass for one without files.
        const int status = badFolder ? ExitUsage : SaveFolders(request, folders, inventories, err);
        if (badFolder)
            err.Message(u"tallyrook-cli: " + Cli::tr("no inventory saved"));
        ExitNow(status);
    }
    // The fingerprints of the inventories' files that are not here, by record.
    QHash<qsizetype, QByteArray> recorded;
    if (!inventories.empty()) {
        request.options.addRecordedFiles = [&inventories, &request, &recorded](
                                               SearchHost& runHost, Global& runGlobal,
                                               const QStringList& walkedRoots) {
            return AddInventories(inventories, runHost, runGlobal, walkedRoots,
                                  request.options.criteria.NeedsSizes(),
                                  request.contents ? &recorded : nullptr);
        };
    }

    // Exact Contents: the comparison runs inside the search, as its last criterion.
    ContentsPass contentsPass(request.minSize);
    request.options.compareContents = [&contentsPass](SearchHost& runHost, const Global& runGlobal,
                                                      std::vector<int>& copySetOf) {
        return contentsPass.Run(runHost, runGlobal, copySetOf);
    };
    StageTimer total;
    Global global;
    CompactRows rows(global.inventory);
    CliHost host(folders, err, request.quiet, request.options.locale);
    // With nothing left to search there is no run, and nothing to say but the errors above.
    const RunOutcome outcome = folders.isEmpty() && inventories.empty()
                                   ? RunOutcome::EmptyFolderList
                                   : RunSearch(host, global, rows, request.options);
    host.EndTimings();
    err.EraseProgress();
    if (request.options.criteria.exactContents && outcome == RunOutcome::ResultsShown) {
        GiveFoundCopies(request, contentsPass, rows, err);
    } else if (request.contents && outcome == RunOutcome::ResultsShown && !Interrupted()) {
        StageTimer contents;
        CompareContents(request, rows, err, inventories, recorded);
        if (host.Timings())
            err.Message(contents.Lap(u"contents"));
    }
    // From here on Ctrl-C simply ends the program, as it would for any other command.
    RestoreDefaultInterrupt();
    StageTimer output;
    const int status = WriteOutput(request, outcome, rows, !inventories.empty(),
                                   badFolder || host.FolderUnreadable(), err);
    if (host.Timings()) {
        err.Message(output.Lap(u"output"));
        err.Message(total.Lap(u"total"));
    }
    ExitNow(status);
}

}  // namespace tallyrook::cli
