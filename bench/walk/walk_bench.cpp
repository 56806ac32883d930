// Times the folder walk on a tree, next to the minimal walker, and reports its peak memory.
//
//   tallyrook-bench-walk [--engine tallyrook|minimal] [--sizes] [--runs N] FOLDER
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
#include "search/search_host.h"
#include "search/walk.h"
#include "settings/settings_store.h"
#include "shared/global.h"

namespace {

// What the desktop program's host does at the walk's calls, minus the window: the stop poll is a
// read of the settings store, as it is there.
class BenchHost : public tallyrook::SearchHost {
public:
    explicit BenchHost(bool sizes) : sizes_(sizes) {
        store_.WriteSetting(QStringLiteral("Stop"), QStringLiteral("False"));
    }
    bool ExactFilename() override { return false; }
    bool ExactFilesize() override { return sizes_; }
    bool SimilarFilename() override { return false; }
    QStringList FolderEntries() override { return {}; }
    void SetCaption(const QString&) override {}
    void SetProgress(int) override {}
    void SetBusy(bool) override {}
    void SetRunning(bool) override {}
    void ShowMessage(const QString& text, const QString& title) override {
        QTextStream(stderr) << title << ": " << text << '\n';
    }
    bool AskYesNo(const QString&, const QString&) override { return true; }
    bool ProcessPendingEvents() override {
        if (sinceEvents_.isValid())
            longestGapNs_ = std::max(longestGapNs_, sinceEvents_.nsecsElapsed());
        sinceEvents_.start();
        return true;
    }
    // The longest stretch between two calls of ProcessPendingEvents, from Restart() on.
    void Restart() {
        longestGapNs_ = 0;
        sinceEvents_.start();
    }
    qint64 LongestGapNs() const { return std::max(longestGapNs_, sinceEvents_.nsecsElapsed()); }
    void ClearStopRequest() override {}
    bool StopRequested() override {
        return store_.ReadSetting(QStringLiteral("Stop")) == QStringLiteral("True");
    }
    void ShowResults() override {}

private:
    bool sizes_;
    tallyrook::SettingsStore store_;
    QElapsedTimer sinceEvents_;
    qint64 longestGapNs_ = 0;
};

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
    parser.addOption(engine);
    parser.addOption(sizes);
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
    BenchHost host(withSizes);
    const QByteArray rawFolder = QFile::encodeName(folder);
    const long baseKb = ResidentKb();
    long long files = 0;
    long peakAfterFirst = 0;
    std::vector<double> times;
    qint64 longestGapNs = 0;
    for (int run = 0; run < count; ++run) {
        global.ResetInventory();
        QElapsedTimer timer;
        timer.start();
        if (minimal) {
            files = MinimalWalk(rawFolder.constData(), withSizes).files;
        } else {
            tallyrook::WalkedFolders walked;
            host.Restart();
            tallyrook::AnalyzeFolder(folder, host, global, walked);
            longestGapNs = std::max(longestGapNs, host.LongestGapNs());
            files = global.FileCount();
        }
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (run == 0)
            peakAfterFirst = PeakKb();
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());

    QTextStream out(stdout);
    out << "engine=" << (minimal ? "minimal" : "tallyrook") << " sizes=" << int(withSizes)
        << " files=" << files << " runs_ms=";
    for (size_t i = 0; i < times.size(); ++i)
        out << (i ? "," : "") << QString::number(times[i], 'f', 1);
    out << " median_ms=" << QString::number(sorted[sorted.size() / 2], 'f', 1)
        << " min_ms=" << QString::number(sorted.front(), 'f', 1) << " base_rss_kb=" << baseKb
        << " peak_rss_kb=" << peakAfterFirst;
    if (!minimal)
        out << " longest_events_gap_ms=" << QString::number(double(longestGapNs) / 1e6, 'f', 1);
    if (files > 0) {
        out << " bytes_per_file=" << (peakAfterFirst - baseKb) * 1024 / files
            << " peak_bytes_per_file=" << peakAfterFirst * 1024 / files;
    }
    out << '\n';
    return 0;
}
