#pragma once

struct MinimalCounts {
    long long files = 0;
    long long folders = 0;
    long long bytes = 0;
};

// Counts the regular files below `root` (hidden ones included, links not followed).
MinimalCounts MinimalWalk(const char* root, bool sizes);
