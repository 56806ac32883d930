// tallyrook-cli with every poll of the run slowed down by TALLYROOK_CLI_POLL_DELAY_MS, so that a
// test can act while a run is surely under way. Built for the tests only: the shipped command
// reads no such variable.
#include <unistd.h>
#include <QThread>

#include "cli/cli_host.h"
#include "cli/cli_main.h"

int main(int argc, char** argv) {
    static const int delayMs = qEnvironmentVariableIntValue("TALLYROOK_CLI_POLL_DELAY_MS");
    tallyrook::cli::pollHookForTests = [] {
        static bool announced = false;
        if (!announced) {
            announced = true;
            static const char text[] = "poll delay active\n";
            (void)!::write(STDERR_FILENO, text, sizeof text - 1);
        }
        QThread::msleep(static_cast<unsigned long>(delayMs));
    };
    return tallyrook::cli::RunCli(argc, argv);
}
