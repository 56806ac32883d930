#include "cli/cli_host.h"

#include <signal.h>
#include <unistd.h>
#include <csignal>
#include <ctime>

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

namespace {

double CpuSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

}  // namespace

StageTimer::StageTimer() : cpuStart_(CpuSeconds()) {
    wall_.start();
}

QString StageTimer::Lap(QStringView name) {
    const double wall = double(wall_.nsecsElapsed()) / 1e9, cpu = CpuSeconds() - cpuStart_;
    wall_.restart();
    cpuStart_ += cpu;
    return QStringLiteral("timing: %1 s  cpu %2 s  %3")
        .arg(wall, 0, 'f', 3)
        .arg(cpu, 0, 'f', 3)
        .arg(name);
}

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
}

void CliHost::SetStage(SearchStage stage) {
    err_.ShowProgress(stage != SearchStage::Idle);
    if (stage == stage_)
        return;
    EndTimings();
    stage_ = stage;
}

void CliHost::EndTimings() {
    if (!timings_)
        return;
    const char* name = nullptr;
    switch (stage_) {
        case SearchStage::Idle:
            stageTimer_.Lap({});
            return;
        case SearchStage::Walk:
            name = "walk";
            break;
        case SearchStage::ExactFilename:
            name = "Exact Filename";
            break;
        case SearchStage::ExactFilesize:
            name = "Exact Filesize";
            break;
        case SearchStage::SimilarFilename:
            name = "Similar Filename";
            break;
    }
    err_.Message(stageTimer_.Lap(QString::fromLatin1(name)));
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
        err_.Message(u"tallyrook-cli: comparing " + GroupedNumber(global_.inventory.FileCount()) +
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
