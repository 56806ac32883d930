// The results window with a full run's worth of rows, and the Trash request, timed step by step.
//   bench_results_window [ROWS] [TRASHED]
// ROWS rows (default 32,767, the most one run adds) in groups of two to four, painted while
// scrolling through the whole list page by page; then marks, the request's path list and row
// removal. TRASHED files (default 1,000), all with the same name in their own folders, the way
// duplicates are, go to a temporary Trash. Runs on the offscreen platform unless told otherwise.
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTreeView>
#include <functional>

#include "results_window/form4.h"
#include "results_window/form4_names.h"
#include "results_window/results_model.h"
#include "selection/trash_request.h"

using namespace tallyrook;

namespace {

class YesDialogs : public TrashDialogs {
public:
    TrashAnswer Confirm(const TrashQuestion&) override { return TrashAnswer::Yes; }
    void BeginProgress(int) override {}
    bool Advance(int) override { return true; }
    void EndProgress() override {}
    void ReportFailures(const QList<TrashFailure>& failures) override { failed = failures.size(); }
    void ReportNotRestored(const QList<TrashFailure>&) override {}
    qsizetype failed = 0;
};

QTextStream& Out() {
    static QTextStream out(stdout);
    return out;
}

void Report(const char* what, qint64 nanoseconds, qint64 count = 0) {
    Out() << QString::fromLatin1(what).leftJustified(44)
          << QString::number(nanoseconds / 1e6, 'f', 1) << " ms";
    if (count > 0)
        Out() << "  (" << QString::number(double(nanoseconds) / 1e3 / double(count), 'f', 2)
              << " us each)";
    Out() << Qt::endl;
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The Trash part must never reach the user's own Trash.
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 32'767;
    const int trashed = argc > 2 ? QByteArray(argv[2]).toInt() : 1'000;

    ResultsModel model;
    QWidget mainWindow;
    Form4 form(model, &mainWindow);
    QTreeView* list = form.findChild<QTreeView*>(form4::ResultList);
    form.resize(1000, 700);
    form.show();
    QCoreApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    static const RowColor colors[][2] = {{RowColor::LightBlue, RowColor::Blue},
                                         {RowColor::LightRed, RowColor::Red},
                                         {RowColor::LightGreen, RowColor::Green}};
    int group = 0;
    for (int k = 0; k < rows;) {
        const int size = 2 + group % 3;
        const int anchor = k;
        for (int m = 0; m < size && k < rows; ++m, ++k) {
            ResultRow row;
            row.path = QStringLiteral("/home/user/Music/Artist %1/Album %2/%3 - Track.mp3")
                           .arg(group % 500)
                           .arg(m)
                           .arg(group);
            row.sizeText = QStringLiteral("4.2 MB");
            row.modifiedText = QStringLiteral("3/10/2024 14:20:05");
            row.criterion = Criterion::ExactFilename;
            row.color = colors[(k * 3 / rows) % 3][group % 2];
            row.group = group + 1;
            row.file = k;
            row.anchor = anchor;
            row.bytes = 4'200'000 + (k * 7919) % 1000;
            row.modified =
                QDateTime::fromSecsSinceEpoch(1'700'000'000 + (k * 104729) % 100'000, Qt::UTC);
            model.AppendRow(std::move(row));
        }
        ++group;
    }
    Report("append rows with colours", timer.nsecsElapsed(), rows);

    // Paint every page of the list once, top to bottom, the way a user holding Page Down does.
    QScrollBar* bar = list->verticalScrollBar();
    list->scrollToTop();
    list->viewport()->repaint();
    timer.restart();
    int pages = 0;
    for (int value = 0; value <= bar->maximum(); value += bar->pageStep()) {
        bar->setValue(value);
        list->viewport()->repaint();
        ++pages;
    }
    Report("paint one page while scrolling", timer.nsecsElapsed() / qMax(1, pages));
    Out() << "  pages painted: " << pages << Qt::endl;

    // The first mark builds the index of rows by path; the next ones use it.
    timer.restart();
    model.setData(model.index(rows / 2, 0), Qt::Checked, Qt::CheckStateRole);
    Report("mark one row, indexing rows by path", timer.nsecsElapsed());
    timer.restart();
    model.setData(model.index(rows / 3, 0), Qt::Checked, Qt::CheckStateRole);
    Report("mark one more row", timer.nsecsElapsed());

    // The row menu's marking commands, each followed by the repaint it causes.
    const auto timed = [&](const char* what, const std::function<void()>& command) {
        timer.restart();
        command();
        list->viewport()->repaint();
        Report(what, timer.nsecsElapsed());
    };
    const QString folder = QStringLiteral("/home/user/Music/Artist 7/");
    timed("check all in a folder", [&] { model.SetCheckedInFolder(folder, true); });
    timed("uncheck all in a folder", [&] { model.SetCheckedInFolder(folder, false); });
    // Contents as a comparison would find them: in every group all but the last file alike.
    {
        const QList<ContentsFile> files = model.ContentsFiles();
        ContentsResults results;
        results.files.resize(size_t(files.size()));
        for (int k = 0; k < rows; ++k) {
            const bool last = k + 1 == rows || model.Row(k + 1).group != model.Row(k).group;
            if (last)
                results.files[size_t(k)].state = CopyState::NoCopy;
            else
                results.files[size_t(k)] = {
                    model.Row(k).group, 1, CopyState::HasCopies, NotComparedReason::None, {}};
        }
        timer.restart();
        model.SetContents(files, results);
        list->viewport()->repaint();
        Report("show a comparison's copies", timer.nsecsElapsed());
    }
    timed("all but the newest", [&] { model.CheckAllBut(KeeperRule::Newest); });
    timed("all but the oldest", [&] { model.CheckAllBut(KeeperRule::Oldest); });
    timed("all but the largest", [&] { model.CheckAllBut(KeeperRule::Largest); });
    timed("all but the shortest path", [&] { model.CheckAllBut(KeeperRule::ShortestPath); });
    {
        const QStringList checked = model.UniqueCheckedPaths();
        timer.restart();
        const qint64 bytes = model.SpaceFreed(checked).bytes;
        const QStringList emptied =
            model.WithoutPossibleCopy(QSet<QString>(checked.begin(), checked.end()));
        Report("confirmation's size and files without a possible copy", timer.nsecsElapsed());
        timer.restart();
        const QStringList alone = model.WithoutCopyLeft(checked);
        Report("confirmation's files without a copy left", timer.nsecsElapsed());
        Out() << "  " << checked.size() << " files, " << bytes << " bytes, " << emptied.size()
              << " without a possible copy, " << alone.size() << " without a copy" << Qt::endl;
    }
    model.UncheckAll();

    for (int k = 0; k < rows; k += 2)
        model.setData(model.index(k, 0), Qt::Checked, Qt::CheckStateRole);
    timer.restart();
    const QStringList paths = model.UniqueCheckedPaths();
    Report("unique checked paths", timer.nsecsElapsed(), paths.size());

    timer.restart();
    model.RemoveRowsOfPaths(QSet<QString>(paths.begin(), paths.end()));
    QCoreApplication::processEvents();
    Report("remove rows of those paths", timer.nsecsElapsed(), paths.size());

    QSet<QString> few;
    for (int k = 0; k < 200 && k * 40 < model.RowCount(); ++k)
        few.insert(model.Row(k * 40).path);
    timer.restart();
    model.RemoveRowsOfPaths(few);
    QCoreApplication::processEvents();
    Report("remove 200 scattered paths", timer.nsecsElapsed(), few.size());

    // Files named apart, then files named alike: for those the Trash has to find a free name.
    for (const bool alike : {false, true}) {
        QStringList files;
        for (int k = 0; k < trashed; ++k) {
            const QString photos = home.path() + QStringLiteral("/photos/%1/%2").arg(alike).arg(k);
            QDir().mkpath(photos);
            QFile file(photos + (alike ? QStringLiteral("/cover.jpg")
                                       : QStringLiteral("/cover %1.jpg").arg(k)));
            if (file.open(QIODevice::WriteOnly))
                files.append(file.fileName());
        }
        YesDialogs dialogs;
        timer.restart();
        TrashQuestion question;
        question.paths = files;
        const TrashOutcome outcome = SendToTrash(question, dialogs);
        Report(alike ? "move same-named files to the Trash" : "move distinct files to the Trash",
               timer.nsecsElapsed(), files.size());
        Out() << "  moved " << outcome.moved.size() << ", failed " << dialogs.failed << Qt::endl;
    }
    return 0;
}
