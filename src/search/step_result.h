#pragma once

namespace tallyrook {

// How one step of a search run ended: the walk of one folder-list entry, or one match pass.
enum class StepResult {
    Completed,
    Stopped,    // the stop request was seen
    Abandoned,  // the host asked to give up at once (program ending): no further host call
    // Walk: the inventory cap was reached; the user was told and the records so far stay.
    // Pass: the next rows would not fit the row limit; the rows so far stay, nothing was shown.
    Full,
};

}  // namespace tallyrook
