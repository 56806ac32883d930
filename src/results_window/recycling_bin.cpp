#include "recycling_bin.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QVBoxLayout>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#include <unistd.h>
#define TALLYROOK_FREEDESKTOP_TRASH 1
#endif

namespace tallyrook {

namespace {

QString TrashName() {
#ifdef Q_OS_WIN
    return QStringLiteral("Recycle Bin");
#else
    return QStringLiteral("Trash");
#endif
}

#ifdef TALLYROOK_FREEDESKTOP_TRASH
bool SameFolder(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// A freedesktop Trash keeps the file in <trash>/files/<name> and its record in
// <trash>/info/<name>.trashinfo, where <trash> is the home Trash, <top>/.Trash-<uid> or
// <top>/.Trash/<uid>. Anything else means the file went somewhere it should not have.
bool IsInTrash(const QString& trashed, const QString& homeTrash) {
    const QFileInfo entry(trashed);
    QDir files = entry.absoluteDir();
    if (files.dirName() != QStringLiteral("files"))
        return false;
    QDir trash = files;
    if (!trash.cdUp())
        return false;
    const QString uid = QString::number(::getuid());
    const QString name = trash.dirName();
    bool known =
        SameFolder(trash.absolutePath(), homeTrash) || name == QStringLiteral(".Trash-") + uid;
    if (!known && name == uid) {
        QDir top = trash;
        known = top.cdUp() && top.dirName() == QStringLiteral(".Trash");
    }
    return known && QFileInfo::exists(trash.absoluteFilePath(QStringLiteral("info/")) +
                                      entry.fileName() + QStringLiteral(".trashinfo"));
}

// Whether the file system that holds `path` has a Trash of this user: the home Trash, or one
// at its top folder.
bool DriveHasTrash(const QString& path, const QString& homeTrash) {
    const QStorageInfo drive(path);
    if (drive == QStorageInfo(homeTrash))
        return true;
    const QString uid = QString::number(::getuid());
    const QString top = drive.rootPath();
    return QFileInfo(top + QStringLiteral("/.Trash-") + uid + QStringLiteral("/files")).isDir() ||
           QFileInfo(top + QStringLiteral("/.Trash/") + uid + QStringLiteral("/files")).isDir();
}

// Undoes a move that did not end in a Trash. The record made next to it goes too.
QString PutBack(const QString& trashed, const QString& original) {
    const QFileInfo entry(trashed);
    QDir info = entry.absoluteDir();
    if (info.cdUp() && info.cd(QStringLiteral("info")))
        QFile::remove(info.absoluteFilePath(entry.fileName() + QStringLiteral(".trashinfo")));
    if (QFile::rename(trashed, original))
        return QStringLiteral("No Trash could take it; it was left in place.");
    return QStringLiteral("No Trash could take it, and it could not be put back. It is now at ") +
           QDir::toNativeSeparators(trashed) + u'.';
}
#endif

struct MoveResult {
    QString trashed;  // empty when not moved
    QString reason;
};

MoveResult MoveOne(const QString& path, [[maybe_unused]] const QString& homeTrash) {
    if (!PathStillThere(path))
        return {{}, QStringLiteral("The file no longer exists.")};
    const QFileInfo info(path);
    // The row was a file; a folder by that name now is not what the user picked.
    if (info.isDir() && !info.isSymLink())
        return {{}, QStringLiteral("It is now a folder, not a file.")};

    QFile file(path);
    if (!file.moveToTrash()) {
        if (!PathStillThere(path))
            return {{}, QStringLiteral("The file no longer exists.")};
#ifdef TALLYROOK_FREEDESKTOP_TRASH
        // Qt falls back to the home Trash, which cannot take a file from another file system.
        if (!DriveHasTrash(path, homeTrash))
            return {{},
                    QStringLiteral("There is no Trash on the drive that holds it; it was "
                                   "left in place.")};
#endif
        QString why = file.errorString();
        if (why.isEmpty())
            why = QStringLiteral("Unknown error");
        return {{}, why + QStringLiteral("; it was left in place.")};
    }
    // On success the file object names the file's place in the Trash.
    const QString trashed = file.fileName();
#ifdef TALLYROOK_FREEDESKTOP_TRASH
    if (trashed.isEmpty() || !IsInTrash(trashed, homeTrash))
        return {
            {},
            trashed.isEmpty() ? QStringLiteral("No Trash could take it.") : PutBack(trashed, path)};
#endif
    return {trashed, {}};
}

}  // namespace

QString EnsureHomeTrash() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return {};
    const QString trash = data + QStringLiteral("/Trash");
    const bool fresh = !QFileInfo::exists(trash);
    QDir dir;
    if (!dir.mkpath(trash + QStringLiteral("/files")) ||
        !dir.mkpath(trash + QStringLiteral("/info")))
        return {};
    if (fresh)
        QFile::setPermissions(trash, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return trash;
}

bool PathStillThere(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

TrashOutcome SendToRecycleBin(const QStringList& paths, TrashDialogs& dialogs) {
    TrashOutcome outcome;
    if (paths.isEmpty() || !dialogs.Confirm(paths))
        return outcome;
    outcome.confirmed = true;

    QString homeTrash;
#ifdef TALLYROOK_FREEDESKTOP_TRASH
    // Without the home Trash, Qt would quietly put files into "files" under the current folder.
    homeTrash = EnsureHomeTrash();
    if (homeTrash.isEmpty()) {
        const QString why = QStringLiteral(
            "The Trash folder could not be made; it was left in "
            "place.");
        for (const QString& path : paths)
            outcome.failures.append({path, why});
        dialogs.ReportFailures(outcome.failures);
        return outcome;
    }
#endif

    const int total = static_cast<int>(paths.size());
    dialogs.BeginProgress(total);
    for (int k = 0; k < total; ++k) {
        if (!dialogs.Advance(k)) {
            outcome.cancelled = true;
            for (int rest = k; rest < total; ++rest)
                outcome.failures.append(
                    {paths.at(rest), QStringLiteral("The request was cancelled before it got to "
                                                    "this file; it was left in place.")});
            break;
        }
        const MoveResult result = MoveOne(paths.at(k), homeTrash);
        if (result.trashed.isEmpty()) {
            outcome.failures.append({paths.at(k), result.reason});
        } else {
            outcome.moved.append(paths.at(k));
            outcome.trashed.append(result.trashed);
        }
    }
    if (!outcome.cancelled)
        dialogs.Advance(total);
    dialogs.EndProgress();
    if (!outcome.failures.isEmpty())
        dialogs.ReportFailures(outcome.failures);
    return outcome;
}

// Dialogs ----------------------------------------------------------------------------------------

QtTrashDialogs::~QtTrashDialogs() {
    delete progress_;
}

QString QtTrashDialogs::Title() {
    return QStringLiteral("Move to ") + TrashName();
}

QString QtTrashDialogs::ConfirmText(const QStringList& paths) {
    if (paths.size() == 1)
        return QStringLiteral("Are you sure you want to move \"") +
               QDir::toNativeSeparators(paths.first()) + QStringLiteral("\" to the ") +
               TrashName() + u'?';
    return QStringLiteral("Are you sure you want to move these ") +
           QLocale().toString(paths.size()) + QStringLiteral(" files to the ") + TrashName() + u'?';
}

QString QtTrashDialogs::FailureHeading(qsizetype count) {
    if (count == 1)
        return QStringLiteral("1 file could not be moved to the ") + TrashName() + u':';
    return QLocale().toString(count) + QStringLiteral(" files could not be moved to the ") +
           TrashName() + u':';
}

bool QtTrashDialogs::Confirm(const QStringList& paths) {
    QMessageBox box(QMessageBox::NoIcon, Title(), ConfirmText(paths),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtTrashDialogs::BeginProgress(int total) {
    delete progress_;
    progress_ = new QProgressDialog(
        QStringLiteral("Moving files to the ") + TrashName() + QStringLiteral("..."),
        QStringLiteral("Cancel"), 0, total, parent_);
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
    QDialog dialog(parent_);
    dialog.setWindowTitle(Title());
    auto* layout = new QVBoxLayout(&dialog);
    auto* heading = new QLabel(FailureHeading(failures.size()), &dialog);
    layout->addWidget(heading);
    auto* list = new QPlainTextEdit(&dialog);
    list->setObjectName(QStringLiteral("FailureList"));
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    QString text;
    for (const TrashFailure& failure : failures)
        text += QDir::toNativeSeparators(failure.path) + QStringLiteral("\n    ") + failure.reason +
                u'\n';
    list->setPlainText(text);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog.resize(640, 320);
    dialog.exec();
}

}  // namespace tallyrook
