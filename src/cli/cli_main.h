#pragma once

namespace tallyrook::cli {

// The whole of tallyrook-cli; returns the exit status.
int RunCli(int argc, char** argv);

}  // namespace tallyrook::cli
