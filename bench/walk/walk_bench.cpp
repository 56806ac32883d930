// Times the folder walk on a tree, next to the minimal walker, and reports its peak memory.
//
//   tallyrook-bench-walk [--engine tallyrook|minimal] [--sizes] [--workers N] [--runs N] FOLDER
//
// Prints one line of key=value figures, among them the longest stretch of the walk without a call
// of the host's pending-events hook. The first run is the one whose memory counts (later runs
// reuse what it allocated); times are given per run, with their median and minimum.

#include <sys/resource.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

#include "minimal_walker.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "shared/global.h"
#include "support/recording_host.h"
#include "walk/walk.h"

namespace {

long ResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

long PeakKb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    // Never the user's own settings.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));

    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption engine(QStringLiteral("engine"),
                                    QStringLiteral("tallyrook or minimal."),
                                    QStringLiteral("ENGINE"), QStringLiteral("tallyrook"));
    const QCommandLineOption sizes(QStringLiteral("sizes"),
                                   QStringLiteral("Read every file's size (Exact Filesize)."));
    const QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("Timed runs."),
                                  QStringLiteral("N"), QStringLiteral("5"));
    const QCommandLineOption workers(QStringLiteral("workers"),
                                     QStringLiteral("Read-ahead workers (0: none)."),
                                     QStringLiteral("N"), QStringLiteral("-1"));
    parser.addOption(engine);
    parser.addOption(sizes);
    parser.addOption(workers);
    parser.addOption(runs);
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Tree to walk."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        QTextStream(stderr) << parser.helpText();
        return 2;
    }
    const QString folder = QDir(parser.positionalArguments().first()).absolutePath();
    const bool withSizes = parser.isSet(sizes);
    const bool minimal = parser.value(engine) == QStringLiteral("minimal");
    const int count = std::max(1, parser.value(runs).toInt());

    tallyrook::Global global;
    // What the desktop program's host does at the walk's calls, minus the window: the stop poll
    // is a read of the settings store, as it is there.
    tallyrook::test::RecordingHost host;
    host.log = tallyrook::test::RecordingHost::Log::Quiet;
    host.options.criteria.exactFilesize = withSizes;
    if (parser.value(workers).toInt() >= 0)
        host.options.readAhead.workers = parser.value(workers).toInt();
    tallyrook::SettingsStore store;
    store.WriteSetting(tallyrook::setting_keys::Stop, QStringLiteral("False"));
    host.onPoll = [&](int) {
        host.stopRequested = store.ReadSetting(tallyrook::setting_keys::Stop) == u"True";
    };
    // The longest stretch without a call of the host's pending-events hook.
    QElapsedTimer sinceEvents;
    qint64 longestGapNs = 0;
    host.onEvents = [&](int) {
        longestGapNs = std::max(longestGapNs, sinceEvents.nsecsElapsed());
        sinceEvents.restart();
    };
    const QByteArray rawFolder = QFile::encodeName(folder);
    const long baseKb = ResidentKb();
    long long files = 0;
    long peakAfterFirst = 0;
    std::vector<double> times;
    double longestGapMs = 0;
    for (int run = 0; run < count; ++run) {
        global.inventory.ResetInventory();
        QElapsedTimer timer;
        timer.start();
        if (minimal) {
            files = MinimalWalk(rawFolder.constData(), withSizes).files;
        } else {
            tallyrook::WalkedFolders walked;
            longestGapNs = 0;
            sinceEvents.start();
            tallyrook::AnalyzeFolder(folder, host, global, walked, host.options);
            longestGapNs = std::max(longestGapNs, sinceEvents.nsecsElapsed());
            longestGapMs = std::max(longestGapMs, double(longestGapNs) / 1e6);
            files = global.inventory.FileCount();
        }
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (run == 0)
            peakAfterFirst = PeakKb();
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());

    QTextStream out(stdout);
    out << "engine=" << (minimal ? "minimal" : "tallyrook") << " sizes=" << int(withSizes)
        << " workers=" << host.options.readAhead.workers << " files=" << files << " runs_ms=";
    for (size_t i = 0; i < times.size(); ++i)
        out << (i ? "," : "") << QString::number(times[i], 'f', 1);
    out << " median_ms=" << QString::number(sorted[sorted.size() / 2], 'f', 1)
        << " min_ms=" << QString::number(sorted.front(), 'f', 1) << " base_rss_kb=" << baseKb
        << " peak_rss_kb=" << peakAfterFirst;
    if (!minimal)
        out << " longest_events_gap_ms=" << QString::number(longestGapMs, 'f', 1);
    if (files > 0) {
        out << " bytes_per_file=" << (peakAfterFirst - baseKb) * 1024 / files
            << " peak_bytes_per_file=" << peakAfterFirst * 1024 / files;
    }
    out << '\n';
    for (const QString& call : std::as_const(host.calls))  // messages: a full inventory, say
        QTextStream(stderr) << call << '\n';
    return 0;
}
