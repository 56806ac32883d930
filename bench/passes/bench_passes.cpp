// The three match passes over a synthetic in-memory inventory, timed one by one.
//   bench_passes [COUNT] [realistic|sparse|music|dense|hostile|eighty] [--uncapped]
//   [--similar-only]
//                [--every-pair] [--cpu-gaps]
// "realistic": music, camera photos, source trees and office documents, with many repeated
// names and sizes. "sparse": few repeated names and sizes. "music": the tree generator's music
// library mix (seed 1), made in memory in the order the generator makes it; "dense" its mix where
// most names have partners. "hostile": names
// that share many common words but are never similar (about COUNT of them, a cube). "eighty":
// names of 80 two-letter words of 400, any two sharing about a fifth. --every-pair also runs the
// plain method of the tests on a copy of the inventory, times it beside ours and compares the rows.
// "gap" is the longest stretch of a pass without a call of the host's pending-events hook, in
// wall time or, with --cpu-gaps, in CPU time.
#include <sys/resource.h>
#include <time.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTextStream>
#include <climits>
#include <cmath>
#include <unordered_set>

#include "match/match_passes.h"
#include "match/reference_passes.h"
#include "search/result_list.h"
#include "shared/global.h"
#include "support/recording_host.h"
#include "tree_shapes.h"

using namespace tallyrook;

namespace {

// CPU time of this thread: steadier than the wall clock on a loaded machine.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

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
        global.inventory.AddRecord(folderText, name, size);
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
        global.inventory.AddRecord(folderText, name, qint64(random.bounded(quint32(INT_MAX))) * 7);
    }
}

// Every word common, no similar pair: "a{i} b{j} c{k} d{(i+j+k) mod K}" for i, j, k below K,
// K the cube root of the count (46 for 97,336 names).
void Hostile(Global& global, int count, QRandomGenerator& random) {
    const int k = int(std::lround(std::cbrt(double(count))));
    int made = 0;
    QString folderText;
    for (int i = 0; i < k; ++i) {
        for (int j = 0; j < k; ++j) {
            for (int l = 0; l < k; ++l) {
                if (made++ % 30 == 0)
                    folderText = QStringLiteral("/data/h") + Number(quint32(made / 30)) + u'/';
                const QString name =
                    QStringLiteral("a%1 b%2 c%3 d%4").arg(i).arg(j).arg(l).arg((i + j + l) % k);
                global.inventory.AddRecord(folderText, name,
                                           qint64(random.bounded(quint32(INT_MAX))) * 7);
            }
        }
    }
}

// The generator's tree as inventory records, folder by folder as it makes them.
class InventorySink : public bench::TreeSink {
public:
    explicit InventorySink(Global& global) : global_(global) {}
    bool MakeFolder(const std::string&) override { return true; }
    Made MakeFile(const std::string& folder, const std::string& name, int64_t size) override {
        if (folder != folder_) {
            folder_ = folder;
            folderText_ = QString::fromStdString(folder) + u'/';
            names_.clear();
        }
        if (!names_.insert(name).second)
            return Made::AlreadyThere;
        global_.inventory.AddRecord(folderText_, QString::fromStdString(name), size);
        return Made::Yes;
    }

private:
    Global& global_;
    std::string folder_;
    QString folderText_;
    std::unordered_set<std::string> names_;
};

void Generated(Global& global, int count, bench::Mix mix) {
    InventorySink sink(global);
    bench::MakeTree(sink, "/data/music", count, mix, 1);
}

// Names of 80 distinct two-letter words of 400 ("aa" to "pj"): two names share 16 words on
// average, far from the 41 that would make them similar.
void Eighty(Global& global, int count, QRandomGenerator& random) {
    QStringList vocabulary;
    for (int i = 0; i < 400; ++i)
        vocabulary.append(QString(QChar(u'a' + i / 26)) + QChar(u'a' + i % 26));
    QString folderText;
    for (int k = 0; k < count; ++k) {
        if (k % 30 == 0)
            folderText = QStringLiteral("/data/e") + Number(quint32(k / 30)) + u'/';
        std::shuffle(vocabulary.begin(), vocabulary.end(), random);
        global.inventory.AddRecord(folderText, vocabulary.mid(0, 80).join(u' '),
                                   qint64(random.bounded(quint32(INT_MAX))) * 7);
    }
}

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The rows of both runs, field by field, colours and groups included.
bool SameRows(const ResultList& x, const ResultList& y) {
    if (x.RowCount() != y.RowCount())
        return false;
    for (int i = 0; i < x.RowCount(); ++i) {
        const ResultRow& a = x.Row(i);
        const ResultRow& b = y.Row(i);
        if (a.path != b.path || a.sizeText != b.sizeText || a.modifiedText != b.modifiedText ||
            a.criterion != b.criterion || a.color != b.color || a.group != b.group)
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool uncapped = args.removeAll(QStringLiteral("--uncapped")) > 0;
    const bool similarOnly = args.removeAll(QStringLiteral("--similar-only")) > 0;
    const bool everyPair = args.removeAll(QStringLiteral("--every-pair")) > 0;
    const bool cpuGaps = args.removeAll(QStringLiteral("--cpu-gaps")) > 0;
    const int count = args.value(0, QStringLiteral("100000")).toInt();
    const QString mix = args.value(1, QStringLiteral("realistic"));

    QTextStream out(stdout);
    Global global;
    QRandomGenerator random(42);
    if (mix == QStringLiteral("sparse"))
        Sparse(global, count, random);
    else if (mix == QStringLiteral("hostile"))
        Hostile(global, count, random);
    else if (mix == QStringLiteral("music"))
        Generated(global, count, bench::Mix::Music);
    else if (mix == QStringLiteral("dense"))
        Generated(global, count, bench::Mix::Dense);
    else if (mix == QStringLiteral("eighty"))
        Eighty(global, count, random);
    else
        Realistic(global, count, random);
    out << "inventory " << global.inventory.FileCount() << " " << mix
        << (uncapped ? " uncapped" : "") << ", peak before passes " << PeakKiB() / 1024 << " MiB\n";

    const int rowLimit = uncapped ? RunOptions::NoRowLimit : RunOptions::RowCapacity;
    test::RecordingHost host;
    host.log = test::RecordingHost::Log::Quiet;
    host.options.criteria = {true, true, true};
    host.options.rowLimit = rowLimit;
    // The longest stretch between two calls of the events hook, in wall time or, with
    // --cpu-gaps, in this thread's CPU time: what it would be on an idle machine.
    QElapsedTimer wall;
    wall.start();
    const auto now = [&] { return cpuGaps ? CpuMs() : double(wall.nsecsElapsed()) / 1e6; };
    double lastEvents = 0, longestGap = 0;
    host.onEvents = [&](int) {
        const double at = now();
        longestGap = std::max(longestGap, at - lastEvents);
        lastEvents = at;
    };
    ResultRows rows, plainRows;
    MatchPasses passes(host, global, rows, host.options);
    test::ReferencePasses plain{host, global, plainRows, rowLimit};
    const char* outcomes[] = {"completed", "stopped", "abandoned", "row cap"};  // by StepResult
    auto timed = [&](const char* label, QChar pass) {
        const int firstRow = rows.RowCount();
        lastEvents = now();
        longestGap = 0;
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = CpuMs();
        const StepResult result = pass == u'N'   ? passes.ExactFilenamePass()
                                  : pass == u'S' ? passes.ExactFilesizePass()
                                                 : passes.SimilarFilenamePass();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        out << label << ": " << ms << " ms (cpu " << CpuMs() - cpuStart << "), "
            << rows.RowCount() - firstRow << " rows, " << outcomes[int(result)] << ", gap "
            << std::max(longestGap, now() - lastEvents)
            << (cpuGaps ? " ms cpu, peak " : " ms, peak ") << PeakKiB() / 1024 << " MiB";
        if (everyPair) {
            timer.start();
            const StepResult plainResult = plain.Run(pass);
            const double plainMs = double(timer.nsecsElapsed()) / 1e6;
            out << "; every pair: " << plainMs << " ms (" << plainMs / ms << " x), rows "
                << (plainResult == result && SameRows(rows, plainRows) ? "identical" : "DIFFERENT");
        }
        out << "\n";
        out.flush();
    };
    if (!similarOnly) {
        timed("Exact Filename", u'N');
        timed("Exact Filesize", u'S');
    }
    timed("Similar Filename", u'C');
    return 0;
}
