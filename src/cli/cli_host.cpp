#include "cli/cli_host.h"

#include <signal.h>
#include <unistd.h>
#include <csignal>

#include "search/formats.h"
#include "shared/global.h"

namespace tallyrook::cli {

namespace {

volatile std::sig_atomic_t interruptCount = 0;

extern "C" void OnInterrupt(int) {
    if (interruptCount > 0) {
        // The user insists: do not wait for the next poll, but leave the terminal tidy.
        EraseProgressNow();
        ::_exit(130);
    }
    interruptCount = 1;
}

}  // namespace

void (*pollHookForTests)() = nullptr;

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() {
    return interruptCount != 0;
}

void RestoreDefaultInterrupt() {
    std::signal(SIGINT, SIG_DFL);
}

CliHost::CliHost(Criteria criteria, QStringList folders, Stderr& err, bool quiet,
                 const Global& global)
    : criteria_(criteria), folders_(std::move(folders)), err_(err), quiet_(quiet), global_(global) {
    timings_ = qEnvironmentVariableIntValue("TALLYROOK_TIMINGS") != 0;
    stageClock_.start();
}

void CliHost::SetCaption(const QString& caption) {
    err_.SetCaption(caption);
    if (!timings_ || caption == stage_)
        return;
    EndTimings();
    stage_ = caption;
}

void CliHost::EndTimings() {
    if (!timings_)
        return;
    const double seconds = static_cast<double>(stageClock_.nsecsElapsed()) / 1e9;
    // "Tallyrook [Finding duplicates - Exact Filename]" names its stage by what is in brackets;
    // the plain "Tallyrook" between stages is only worth a line when it took a while.
    QString name = stage_;
    if (name.startsWith(u"Tallyrook [") && name.endsWith(u']'))
        name = name.sliced(11).chopped(1);
    else if (name == u"Tallyrook")
        name = seconds >= 0.001 ? QStringLiteral("between stages") : QString();
    if (!name.isEmpty())
        err_.Message(QStringLiteral("timing: %1 s  %2").arg(seconds, 0, 'f', 3).arg(name));
    stage_.clear();
    stageClock_.restart();
}

void CliHost::ShowMessage(const QString& text, const QString& title) {
    if (quiet_ && title == u"No dupes")
        return;
    err_.Message(u'[' + title + u"] " + text);
}

bool CliHost::AskYesNo(const QString&, const QString&) {
    // The only question is the large-inventory warning, whose advice is about the desktop
    // program's buttons; a command goes on and says what to expect.
    if (!quiet_) {
        err_.Message(u"tallyrook-cli: comparing " + GroupedNumber(global_.FileCount()) +
                     u" files; this may take a while");
    }
    return true;
}

void CliHost::ReportUnreadableFolder(const QString& path, const QString& reason) {
    folderUnreadable_ = true;
    err_.Message(u"tallyrook-cli: cannot read " + path + u": " + reason);
}

bool CliHost::ProcessPendingEvents() {
    if (pollHookForTests)
        pollHookForTests();
    err_.Poll();
    return !Interrupted();
}

}  // namespace tallyrook::cli
