#include "cli_host.h"

#include <signal.h>
#include <unistd.h>
#include <QThread>
#include <csignal>

namespace tallyrook::cli {

namespace {

volatile std::sig_atomic_t interruptCount = 0;

extern "C" void OnInterrupt(int) {
    if (interruptCount > 0)
        ::_exit(130);  // the user insists: do not wait for the next poll
    interruptCount = 1;
}

}  // namespace

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

void PrintError(const QString& text) {
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

CliHost::CliHost(bool name, bool size, bool similar, QStringList folders)
    : name_(name), size_(size), similar_(similar), folders_(std::move(folders)) {
    timings_ = qEnvironmentVariableIntValue("TALLYROOK_TIMINGS") != 0;
    // Test seam: slows every poll so that a test can interrupt a run that is surely under way.
    pollDelayMs_ = qEnvironmentVariableIntValue("TALLYROOK_CLI_POLL_DELAY_MS");
    stageClock_.start();
}

void CliHost::SetCaption(const QString& caption) {
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
        PrintError(QStringLiteral("timing: %1 s  %2").arg(seconds, 0, 'f', 3).arg(name));
    stage_.clear();
    stageClock_.restart();
}

void CliHost::ShowMessage(const QString& text, const QString& title) {
    QString shown = text;
    // The desktop texts break lines with bare carriage returns, which a terminal would overprint.
    shown.replace(u'\r', u'\n');
    PrintError(u'[' + title + u"] " + shown);
}

bool CliHost::AskYesNo(const QString& text, const QString& title) {
    ShowMessage(text + u" Yes", title);
    return true;
}

bool CliHost::ProcessPendingEvents() {
    if (pollDelayMs_ > 0) {
        if (!pollDelayAnnounced_) {
            PrintError(QStringLiteral("tallyrook-cli: poll delay active"));
            pollDelayAnnounced_ = true;
        }
        QThread::msleep(static_cast<unsigned long>(pollDelayMs_));
    }
    return !Interrupted();
}

}  // namespace tallyrook::cli
