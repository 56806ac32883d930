#include "cli/cli_host.h"

#include <signal.h>
#include <unistd.h>
#include <QCoreApplication>
#include <csignal>
#include <ctime>

#include "host_texts/event_texts.h"
#include "search/formats.h"
#include "shared/program.h"

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

namespace {

// What SIGINT did when the program started: a script's background job ignores it, and so does
// the command.
struct sigaction startInterrupt {};

// SIGTERM and SIGHUP end the program as they would have, only with the terminal left tidy.
extern "C" void OnTerminate(int signal) {
    EraseProgressNow();
    ::signal(signal, SIG_DFL);
    ::raise(signal);  // delivered once this handler returns
}

// Installs `handler` for `signal` unless the signal was ignored when the program started.
void Catch(int signal, void (*handler)(int), struct sigaction* was = nullptr) {
    struct sigaction action {};
    struct sigaction before {};
    sigaction(signal, nullptr, &before);
    if (was)
        *was = before;
    if (before.sa_handler == SIG_IGN)
        return;
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

}  // namespace

void InstallInterruptHandler() {
    Catch(SIGINT, OnInterrupt, &startInterrupt);
    Catch(SIGTERM, OnTerminate);
    Catch(SIGHUP, OnTerminate);
}

bool Interrupted() {
    return interruptCount != 0;
}

void RestoreDefaultInterrupt() {
    sigaction(SIGINT, &startInterrupt, nullptr);
}

CliHost::CliHost(QStringList folders, Stderr& err, bool quiet, const QLocale& locale)
    : folders_(std::move(folders)), err_(err), quiet_(quiet), locale_(locale) {
    timings_ = qEnvironmentVariableIntValue("TALLYROOK_TIMINGS") != 0;
}

void CliHost::SetStage(SearchStage stage, const QString& folder) {
    err_.ShowProgress(stage != SearchStage::Idle);
    err_.SetCaption(StageCaption(stage, folder));
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
        case SearchStage::ExactContents:
            name = "Exact Contents";
            break;
    }
    err_.Message(stageTimer_.Lap(QString::fromLatin1(name)));
}

void CliHost::Notify(const SearchEvent& event) {
    switch (event.kind) {
        case SearchEvent::Kind::UnreadableFolder:
            folderUnreadable_ = true;
            err_.Message(u"tallyrook-cli: " +
                         QCoreApplication::translate("Cli", "cannot read %1: %2")
                             .arg(event.path, event.reason));
            return;
        case SearchEvent::Kind::NoDuplicates:
            // The exit status says it to a script.
            if (quiet_)
                return;
            break;
        case SearchEvent::Kind::RowsFull:
            // The window's way out is about its folders and boxes; the command's is an option.
            err_.Message(u"[" + ProgramName + u"] " +
                         QCoreApplication::translate(
                             "Cli",
                             "The results list is full: this search lists at most %1 rows. Later "
                             "matches were not listed. To see them, give a larger --max-rows N, "
                             "or --all for every row.")
                             .arg(GroupedNumber(event.count, locale_)));
            return;
        default:
            break;
    }
    // As the desktop program words it, its title in brackets.
    const EventMessage message = MessageFor(event, locale_);
    err_.Message(u'[' + message.title + u"] " + message.text);
}

bool CliHost::ProceedWithLargeInventory(const LargeInventory& inventory) {
    // The desktop program's question is about its buttons; a command goes on and says what to
    // expect.
    if (!quiet_) {
        err_.Message(u"tallyrook-cli: " +
                     QCoreApplication::translate("Cli", "comparing %1 files; this may take a while")
                         .arg(GroupedNumber(inventory.files, locale_)));
    }
    return true;
}

bool CliHost::ProcessPendingEvents() {
    err_.Poll();
    return !Interrupted();
}

}  // namespace tallyrook::cli
