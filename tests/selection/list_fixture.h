#pragma once

#include <QDir>
#include <QTemporaryDir>

#include "search/result_list.h"
#include "selection/trash_request.h"
#include "support/test_env.h"

namespace tallyrook::test {

// Answers a request's dialogs in code and remembers what they were asked.
struct FakeDialogs : TrashDialogs {
    TrashAnswer answer = TrashAnswer::Yes;
    int cancelAt = -1;  // Advance(cancelAt) reports a cancel
    QList<TrashQuestion> questions;
    int reports = 0;                  // of failures, by a request or an undo
    QHash<QString, QString> reasons;  // of the failures, by path

    TrashAnswer Confirm(const TrashQuestion& q) override { return questions.append(q), answer; }
    void BeginProgress(int) override {}
    bool Advance(int done) override { return done != cancelAt; }
    void EndProgress() override {}
    void ReportFailures(const QList<TrashFailure>& failures) override {
        ++reports;
        for (const TrashFailure& failure : failures)
            reasons.insert(failure.path, failure.reason);
    }
    void ReportNotRestored(const QList<TrashFailure>& f) override { ReportFailures(f); }
};

// A list of rows, the dialogs its requests ask and the files the rows name, in a folder the test
// Trash can take them from.
template <typename List>
struct ListFixture {
    List model;
    FakeDialogs dialogs;
    QTemporaryDir folder{TestHome() + QStringLiteral("/files-XXXXXX")};

    static QDateTime Day(int day) { return QDateTime(QDate(2024, 1, day), QTime(12, 0), Qt::UTC); }
    // A file of the test's folder, modified on `day` of January 2024 unless that is 0.
    QString MakeFile(const QString& name, const QByteArray& content = "x", int day = 0) {
        QFile file(folder.filePath(name));
        QDir().mkpath(QFileInfo(file).path());
        const bool made = file.open(QIODevice::WriteOnly) &&
                          file.write(content) == content.size() && file.flush() &&
                          (!day || file.setFileTime(Day(day), QFileDevice::FileModificationTime));
        return made ? file.fileName() : QString();
    }
    // A row; `file` and `anchor` are inventory records, and make the files a pass found alike.
    void Add(const QString& path, bool checked = false, int group = 0, qint64 bytes = -1,
             int day = 0, qsizetype file = -1, qsizetype anchor = -1,
             Criterion criterion = Criterion::ExactFilename) {
        model.AppendRow({path,
                         {},
                         {},
                         criterion,
                         model.RowCount() % 2 ? RowColor::Blue : RowColor::LightBlue,
                         bytes,
                         day > 0 ? Day(day) : QDateTime(),
                         group,
                         checked,
                         file,
                         anchor});
    }
    template <typename Of>
    QStringList All(Of of) const {
        QStringList all;
        for (int k = 0; k < model.RowCount(); ++k)
            all.append(of(k));
        return all;
    }
    QStringList Paths() const {
        return All([this](int k) { return model.Row(k).path; });
    }
    QString Marks() const {  // "1" for a checked row, "0" for the others
        return All([this](int k) { return QString(QChar(model.IsChecked(k) ? u'1' : u'0')); })
            .join(QString());
    }
    QStringList Colours() const {  // "path colour" of every row
        return All([this](int k) -> QString {
            static const char* const names[] = {"none",      "blue",  "light blue", "red",
                                                "light red", "green", "light green"};
            return model.Row(k).path + u' ' + QLatin1StringView(names[int(model.Row(k).color)]);
        });
    }
};

}  // namespace tallyrook::test
