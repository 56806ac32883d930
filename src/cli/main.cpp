#include "cli/cli_main.h"

int main(int argc, char** argv) {
    return tallyrook::cli::RunCli(argc, argv);
}
