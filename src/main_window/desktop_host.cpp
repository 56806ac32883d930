#include "main_window/desktop_host.h"

#include <QApplication>
#include <utility>

#include "host_texts/event_texts.h"
#include "main_window/dialogs.h"
#include "main_window/form1.h"
#include "search/run_options.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"

namespace tallyrook {

DesktopHost::DesktopHost(Form1& form, SettingsStore& settings, Dialogs& dialogs,
                         const RunOptions& options)
    : form_(form), settings_(settings), dialogs_(dialogs), options_(options) {}

QStringList DesktopHost::FolderEntries() {
    return form_.FolderEntries();
}

void DesktopHost::SetStage(SearchStage stage, const QString& folder) {
    if (stage != SearchStage::Walk)
        ReportSkippedNames();
    if (!form_.IsClosing())
        form_.setWindowTitle(StageCaption(stage, folder));
}

void DesktopHost::SetProgress(int percent) {
    if (!form_.IsClosing())
        form_.SetProgress(percent);
}

void DesktopHost::SetBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    // The busy pointer still lets the user reach the stop button.
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void DesktopHost::SetRunning(bool running) {
    if (form_.IsClosing())
        return;
    form_.SetRunning(running);
    // The first poll of a run paints the stop button at once.
    if (running)
        sinceEvents_.invalidate();
}

namespace {
// A dialog in the middle of a run shows the normal pointer: it waits for the user, not the run.
class NormalPointer {
public:
    explicit NormalPointer(bool busy) : busy_(busy) {
        if (busy_)
            QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~NormalPointer() {
        if (busy_)
            QApplication::restoreOverrideCursor();
    }
    NormalPointer(const NormalPointer&) = delete;
    NormalPointer& operator=(const NormalPointer&) = delete;

private:
    bool busy_;
};
}  // namespace

void DesktopHost::ReportSkippedNames() {
    if (skippedNames_.isEmpty() && unreadableFolders_.isEmpty())
        return;
    const QStringList names = std::exchange(skippedNames_, {});
    const QStringList folders = std::exchange(unreadableFolders_, {});
    if (form_.IsClosing())
        return;
    const SkipReport report = SkipReportFor(names.size(), options_.locale, folders.size());
    const NormalPointer pointer(busy_);
    dialogs_.ShowReport(&form_, report.title, report.heading, names + folders, report.advice);
}

void DesktopHost::ShowReport(const QString& title, const QString& heading,
                             const QStringList& lines) {
    const NormalPointer pointer(busy_);
    dialogs_.ShowReport(&form_, title, heading, lines, {});
}

void DesktopHost::Notify(const SearchEvent& event) {
    if (form_.IsClosing())
        return;
    // A folder that cannot be read counts as empty; it is named in the report after the walk.
    if (event.kind == SearchEvent::Kind::UnreadableFolder) {
        unreadableFolders_.append(event.path + u": " + event.reason);
        return;
    }
    // One box per name would stop the walk at each; they are told together once it is over.
    if (event.kind == SearchEvent::Kind::SkippedName) {
        skippedNames_.append(event.path);
        return;
    }
    ReportSkippedNames();
    const EventMessage message = MessageFor(event, options_.locale);
    const NormalPointer pointer(busy_);
    dialogs_.ShowMessage(&form_, message.text, message.title);
}

bool DesktopHost::ProceedWithLargeInventory(const LargeInventory& inventory) {
    ReportSkippedNames();
    if (form_.IsClosing())
        return false;
    const EventMessage question = QuestionFor(inventory, options_.locale);
    const NormalPointer pointer(busy_);
    return dialogs_.AskYesNo(&form_, question.text, question.title);
}

bool DesktopHost::ProcessPendingEvents() {
    if (form_.IsClosing())
        return false;
    // A monotonic clock read costs a few tens of nanoseconds, far below one directory entry, and
    // unlike counting calls it keeps the window live when each poll is slow (a network share).
    if (!sinceEvents_.isValid() || sinceEvents_.hasExpired(EventIntervalMs)) {
        QApplication::processEvents();
        sinceEvents_.start();
    }
    return !form_.IsClosing();
}

void DesktopHost::ClearStopRequest() {
    if (!form_.IsClosing())
        settings_.WriteSetting(setting_keys::Stop, QStringLiteral("False"));
}

bool DesktopHost::StopRequested() {
    return settings_.ReadSetting(setting_keys::Stop) == QLatin1String("True");
}

void DesktopHost::ShowResults() {
    if (!form_.IsClosing())
        form_.ShowResults();
}

}  // namespace tallyrook
