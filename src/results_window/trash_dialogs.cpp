#include "results_window/trash_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

#include "search/formats.h"
#include "trash/trash_writer.h"
#include "widgets/window_look.h"

namespace tallyrook {

// The request's texts, translated under one name with the request's own.
struct TrashTexts {
    Q_DECLARE_TR_FUNCTIONS(TrashTexts)
};

QtTrashDialogs::~QtTrashDialogs() {
    delete progress_;
}

QString QtTrashDialogs::UncheckTheseText() {
    return TrashTexts::tr("Uncheck These");
}

QString QtTrashDialogs::Title() {
    return TrashTexts::tr("Move to %1").arg(TrashWriter::TrashName());
}

QString QtTrashDialogs::ConfirmText(const TrashQuestion& question) {
    const QStringList& paths = question.paths;
    // The size as the list shows it; nothing for an unknown or empty total.
    const QString size = FormatSize(question.bytes);
    const QString amount = size.isEmpty() ? QString() : QStringLiteral(" (") + size + u')';
    QString text;
    if (paths.size() == 1)
        text = TrashTexts::tr("Are you sure you want to move \"%1\"%2 to the %3?")
                   .arg(QDir::toNativeSeparators(paths.first()), amount, TrashWriter::TrashName());
    else
        text = TrashTexts::tr("Are you sure you want to move these %1 files%2 to the %3?")
                   .arg(QLocale().toString(paths.size()), amount, TrashWriter::TrashName());
    // A paragraph of a count and the first paths, one a line, shortened in the middle: the
    // folder tells apart files of one name.
    const auto add = [&text](const QStringList& named, const QString& one, const QString& many) {
        constexpr qsizetype widest = 80;
        if (named.isEmpty())
            return;
        text += QStringLiteral("\n\n") +
                (named.size() == 1 ? one : many.arg(QLocale().toString(named.size())));
        for (const QString& path : named.mid(0, TrashQuestion::NamedPaths)) {
            const QString shown = QDir::toNativeSeparators(path);
            text += u'\n' + (shown.size() <= widest ? shown
                                                    : shown.left(widest / 2 - 1) + u'\u2026' +
                                                          shown.right(widest / 2));
        }
        if (named.size() > TrashQuestion::NamedPaths)
            text += u'\n' + TrashTexts::tr("and %1 more")
                                .arg(QLocale().toString(named.size() - TrashQuestion::NamedPaths));
    };
    add(question.withoutPossibleCopy,
        TrashTexts::tr("1 checked file has no file of the same size left unchecked in its groups:"),
        TrashTexts::tr("%1 checked files have no file of the same size left unchecked in their "
                       "groups:"));
    if (!question.withoutPossibleCopy.isEmpty())
        text += u'\n' + TrashTexts::tr(
                            "Only files of the same size can be copies. Compare Contents "
                            "(Ctrl+K) tells which files are true copies.");
    add(question.withoutCopy,
        TrashTexts::tr("1 checked file has no identical copy left unchecked:"),
        TrashTexts::tr("%1 checked files have no identical copy left unchecked:"));
    add(question.changed,
        TrashTexts::tr("1 checked file has changed since its contents were compared:"),
        TrashTexts::tr("%1 checked files have changed since their contents were compared:"));
    // Not a warning: the copy elsewhere stays. But it is the last one, and not at hand.
    const QList<std::pair<QString, QString>>& elsewhere = question.onlyCopyElsewhere;
    if (!elsewhere.isEmpty()) {
        QStringList lines;
        for (const auto& [path, source] : elsewhere.mid(0, TrashQuestion::NamedPaths))
            lines.append(TrashTexts::tr("%1: the other copy is on %2")
                             .arg(QDir::toNativeSeparators(path), source));
        if (elsewhere.size() > TrashQuestion::NamedPaths)
            lines.append(
                TrashTexts::tr("and %1 more")
                    .arg(QLocale().toString(elsewhere.size() - TrashQuestion::NamedPaths)));
        text += QStringLiteral("\n\n") + lines.join(u'\n');
    }
    if (question.namesFreeingNothing > 0)
        text += QStringLiteral("\n\n") + FreeNothingText(question.namesFreeingNothing) + u'.';
    return text;
}

QString QtTrashDialogs::FailureHeading(qsizetype count) {
    if (count == 1)
        return TrashTexts::tr("1 file could not be moved to the %1:").arg(TrashWriter::TrashName());
    return TrashTexts::tr("%1 files could not be moved to the %2:")
        .arg(QLocale().toString(count), TrashWriter::TrashName());
}

QString QtTrashDialogs::NotRestoredHeading(qsizetype count) {
    if (count == 1)
        return TrashTexts::tr("1 file could not be put back:");
    return TrashTexts::tr("%1 files could not be put back:").arg(QLocale().toString(count));
}

TrashAnswer QtTrashDialogs::Confirm(const TrashQuestion& question) {
    QMessageBox box(QMessageBox::NoIcon, Title(), ConfirmText(question),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setEscapeButton(QMessageBox::No);
    if (!question.Warns()) {
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? TrashAnswer::Yes : TrashAnswer::No;
    }
    // A warning is read before it is passed: Enter does not send the files.
    box.setDefaultButton(QMessageBox::No);
    QPushButton* uncheck = box.addButton(UncheckTheseText(), QMessageBox::ActionRole);
    uncheck->setToolTip(TrashTexts::tr("Unchecks the files named here and goes back to the list."));
    const int chosen = box.exec();
    if (box.clickedButton() == uncheck)
        return TrashAnswer::UncheckThese;
    return chosen == QMessageBox::Yes ? TrashAnswer::Yes : TrashAnswer::No;
}

void QtTrashDialogs::BeginProgress(int total) {
    delete progress_;
    progress_ = new QProgressDialog(
        TrashTexts::tr("Moving files to the %1...").arg(TrashWriter::TrashName()),
        TrashTexts::tr("Cancel"), 0, total, parent_);
    progress_->setWindowTitle(Title());
    progress_->setWindowModality(Qt::WindowModal);
    // Only a request that takes a while shows it.
    progress_->setMinimumDuration(500);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setValue(0);
}

bool QtTrashDialogs::Advance(int done) {
    if (!progress_)
        return true;
    progress_->setValue(done);
    return !progress_->wasCanceled();
}

void QtTrashDialogs::EndProgress() {
    delete progress_;
    progress_ = nullptr;
}

void QtTrashDialogs::ReportFailures(const QList<TrashFailure>& failures) {
    ShowFailures(Title(), FailureHeading(failures.size()), failures);
}

void QtTrashDialogs::ReportNotRestored(const QList<TrashFailure>& failures) {
    ShowFailures(TrashTexts::tr("Undo Last Trash Request"), NotRestoredHeading(failures.size()),
                 failures);
}

void QtTrashDialogs::ShowFailures(const QString& title, const QString& heading,
                                  const QList<TrashFailure>& failures) {
    QString text;
    for (const TrashFailure& failure : failures)
        text += QDir::toNativeSeparators(failure.path) + QStringLiteral("\n    ") + failure.reason +
                u'\n';
    ShowListReport(parent_, title, heading, text);
}

}  // namespace tallyrook
