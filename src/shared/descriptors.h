#pragma once

namespace tallyrook {

// A share of the open-file limit: 1 in `of` of it, from `least` to `most`, the rest being the
// program's own (its windows, its other files). `most` where the limit is unknown or none.
int DescriptorShare(int of, int least, int most);

// Raises the open-file limit to what the system allows, at most `wanted`: the walk, the row
// look-ups and the contents check size their open files by it, and a desktop session's default
// (1,024) would hold them back. Called once, at start, before any thread.
void RaiseDescriptorLimit(int wanted);

}  // namespace tallyrook
