#include "cli/cli_main.h"
#include "shared/descriptors.h"

int main(int argc, char** argv) {
    // Room for the walk's folders and the contents check's files to stay open.
    tallyrook::RaiseDescriptorLimit(4096);
    return tallyrook::cli::RunCli(argc, argv);
}
