// The three match passes over a synthetic in-memory inventory, timed one by one.
//   bench_passes [COUNT] [realistic|sparse] [--uncapped] [--similar-only]
// "realistic": music, camera photos, source trees and office documents, with many repeated
// names and sizes. "sparse": few repeated names and sizes.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTextStream>
#include <climits>

#include "search/match_passes.h"
#include "search/result_list.h"
#include "search/search_host.h"
#include "shared/global.h"

using namespace tallyrook;

namespace {

class QuietHost : public SearchHost {
public:
    bool ExactFilename() override { return true; }
    bool ExactFilesize() override { return true; }
    bool SimilarFilename() override { return true; }
    QStringList FolderEntries() override { return {}; }
    void SetCaption(const QString&) override {}
    void SetProgress(int) override {}
    void SetBusy(bool) override {}
    void SetRunning(bool) override {}
    void ShowMessage(const QString&, const QString&) override {}
    bool AskYesNo(const QString&, const QString&) override { return true; }
    bool ProcessPendingEvents() override { return true; }
    void ClearStopRequest() override {}
    bool StopRequested() override { return false; }
    void ShowResults() override {}
};

QString Number(quint32 n, int width = 0) {
    return QStringLiteral("%1").arg(n, width, 10, QChar(u'0'));
}

void Realistic(Global& global, int count, QRandomGenerator& random) {
    static const QStringList sources{QStringLiteral("index.js"),     QStringLiteral("README.md"),
                                     QStringLiteral("package.json"), QStringLiteral("main.c"),
                                     QStringLiteral("Makefile"),     QStringLiteral("utils.py"),
                                     QStringLiteral("LICENSE"),      QStringLiteral("style.css"),
                                     QStringLiteral("index.html"),   QStringLiteral("__init__.py")};
    static const QStringList documents{QStringLiteral("Report"),  QStringLiteral("Budget"),
                                       QStringLiteral("Minutes"), QStringLiteral("Invoice"),
                                       QStringLiteral("Letter"),  QStringLiteral("Plan")};
    int folder = 0;
    int inFolder = 0;
    QString folderText;
    for (int k = 0; k < count; ++k) {
        if (inFolder == 0) {
            folderText = QStringLiteral("/data/f") + Number(quint32(folder++)) + u'/';
            inFolder = 10 + int(random.bounded(41));
        }
        --inFolder;
        const quint32 kind = random.bounded(100);
        QString name;
        qint64 size = 0;
        if (kind < 40) {
            const quint32 artist = random.bounded(quint32(std::max(count / 200, 1)));
            const quint32 album = random.bounded(8u);
            const quint32 track = 1 + random.bounded(14u);
            name = QStringLiteral("Artist") + Number(artist) + QStringLiteral(" - Album") +
                   Number(album) + QStringLiteral(" - ") + Number(track, 2) +
                   QStringLiteral(" - Title") + Number(artist * 131 + album * 17 + track) +
                   QStringLiteral(".mp3");
            size = 3'000'000 + (artist * 131 + album * 17 + track) * 1000;
        } else if (kind < 70) {
            const quint32 photo = random.bounded(10000u);
            name = QStringLiteral("IMG_") + Number(photo, 4) + QStringLiteral(".JPG");
            size = 2'000'000 + random.bounded(4'000'000);
        } else if (kind < 90) {
            name = sources.at(random.bounded(sources.size()));
            size = 100 + random.bounded(5000);
        } else {
            name = documents.at(random.bounded(documents.size())) + u' ' +
                   Number(2000 + random.bounded(25u)) +
                   (random.bounded(3u) == 0 ? QStringLiteral(" final (1).docx")
                                            : QStringLiteral(" final.docx"));
            size = 10'000 + random.bounded(200'000);
        }
        global.AddRecord(folderText, name, size);
    }
}

void Sparse(Global& global, int count, QRandomGenerator& random) {
    QString folderText;
    for (int k = 0; k < count; ++k) {
        if (k % 30 == 0)
            folderText = QStringLiteral("/data/s") + Number(quint32(k / 30)) + u'/';
        const quint32 kind = random.bounded(3u);
        const QString id = QString::number(random.generate64(), 36);
        const QString name = kind == 0   ? QStringLiteral("IMG_") + id + QStringLiteral(".JPG")
                             : kind == 1 ? QStringLiteral("track ") + id + QStringLiteral(".mp3")
                                         : QStringLiteral("notes-") + id + QStringLiteral(".txt");
        global.AddRecord(folderText, name, qint64(random.bounded(quint32(INT_MAX))) * 7);
    }
}

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool uncapped = args.removeAll(QStringLiteral("--uncapped")) > 0;
    const bool similarOnly = args.removeAll(QStringLiteral("--similar-only")) > 0;
    const int count = args.value(0, QStringLiteral("100000")).toInt();
    const QString mix = args.value(1, QStringLiteral("realistic"));

    QTextStream out(stdout);
    Global global;
    QRandomGenerator random(42);
    if (mix == QStringLiteral("sparse"))
        Sparse(global, count, random);
    else
        Realistic(global, count, random);
    out << "inventory " << count << " " << mix << (uncapped ? " uncapped" : "")
        << ", peak before passes " << PeakKiB() / 1024 << " MiB\n";

    QuietHost host;
    ResultRows rows;
    MatchPasses passes(host, global, rows);
    if (uncapped)
        passes.SetRowLimit(INT_MAX);
    const char* outcomes[] = {"completed", "stopped", "row cap", "abandoned"};
    auto timed = [&](const char* label, auto run) {
        const int before = rows.RowCount();
        QElapsedTimer timer;
        timer.start();
        const PassResult result = run();
        out << label << ": " << timer.nsecsElapsed() / 1e6 << " ms, " << rows.RowCount() - before
            << " rows, " << outcomes[int(result)] << ", peak " << PeakKiB() / 1024 << " MiB\n";
        out.flush();
        return result;
    };
    if (!similarOnly) {
        timed("Exact Filename", [&] { return passes.ExactFilenamePass(); });
        timed("Exact Filesize", [&] { return passes.ExactFilesizePass(rows.RowCount() + 1); });
    }
    timed("Similar Filename", [&] { return passes.SimilarFilenamePass(rows.RowCount() + 1); });
    return 0;
}
