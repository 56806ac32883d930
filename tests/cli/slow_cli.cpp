// tallyrook-cli with every poll of the run slowed down by TALLYROOK_CLI_POLL_DELAY_MS, so that a
// test can act while a run is surely under way. Built for the tests only: the shipped command
// reads no such variable.
#include <unistd.h>
#include <QThread>

#include "cli/cli_host.h"
#include "cli/cli_main.h"

int main(int argc, char** argv) {
    static const auto delayMs = ulong(qEnvironmentVariableIntValue("TALLYROOK_CLI_POLL_DELAY_MS"));
    (void)!::write(STDERR_FILENO, "poll delay active\n", 18);
    tallyrook::cli::pollHookForTests = [] { QThread::msleep(delayMs); };
    return tallyrook::cli::RunCli(argc, argv);
}
