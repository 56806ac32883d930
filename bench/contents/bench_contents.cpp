// tallyrook-bench-contents: the contents benchmark's reference and set comparisons (the check
// itself runs as `tallyrook-cli --size --all --contents`).
//
//   tallyrook-bench-contents --sets < LISTING
//       Reads sets of paths, one path a line and a blank line between sets (the listing of
//       `jdupes`, `fdupes` and `rmlint -o fdupes`), and prints them in one form to compare: each
//       set as its files' device:inode, sorted, one set a line, the lines sorted. Paths of one
//       file count once; sets of fewer than two files and of empty files are left out.
//   tallyrook-bench-contents --reference FOLDER
//       Reads every file of a shared size whole, the plain way, and prints its identical sets in
//       the form of --sets; on stderr the bytes that must be read to know them: every byte of a
//       file that has an identical peer, and of every other file the bytes up to its last first
//       difference from a peer, rounded up to the 4 KiB page it lies in.

#include <sys/stat.h>
#include <unistd.h>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using FileKey = std::pair<dev_t, ino_t>;

std::string KeyText(const FileKey& key) {
    return std::to_string(key.first) + ':' + std::to_string(key.second);
}

// Sets of files as device:inode lines, sorted, as described above.
void PrintSets(const std::vector<std::set<FileKey>>& sets) {
    std::vector<std::string> lines;
    for (const std::set<FileKey>& set : sets) {
        if (set.size() < 2)
            continue;
        std::string line;
        for (const FileKey& key : set)
            line += (line.empty() ? "" : " ") + KeyText(key);
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    for (const std::string& line : lines)
        std::cout << line << '\n';
}

int Sets() {
    std::vector<std::set<FileKey>> sets(1);
    std::string line;
    while (std::getline(std::cin, line)) {
        struct stat info;
        if (line.empty()) {
            sets.emplace_back();
        } else if (::lstat(line.c_str(), &info) == 0 && info.st_size > 0) {
            sets.back().insert({info.st_dev, info.st_ino});
        } else if (::lstat(line.c_str(), &info) != 0) {
            std::cerr << "cannot look at " << line << '\n';
            return 1;
        }
    }
    PrintSets(sets);
    return 0;
}

int Reference(const char* root) {
    std::map<off_t, std::map<FileKey, std::string>> bySize;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        struct stat info;
        if (::lstat(entry.path().c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
            bySize[info.st_size].emplace(FileKey{info.st_dev, info.st_ino}, entry.path());
    }
    qint64 mustRead = 0, candidates = 0;
    std::vector<std::set<FileKey>> sets;
    for (const auto& [size, files] : bySize) {
        if (files.size() < 2)
            continue;
        std::vector<std::pair<FileKey, std::string>> contents;
        for (const auto& [key, path] : files) {
            std::ifstream in(path, std::ios::binary);
            std::string bytes(size_t(size), '\0');
            in.read(bytes.data(), size);
            contents.emplace_back(key, std::move(bytes));
            candidates += size;
        }
        std::map<std::string, std::set<FileKey>> same;
        for (const auto& [key, bytes] : contents)
            same[bytes].insert(key);
        for (const auto& [bytes, keys] : same) {
            if (keys.size() > 1) {
                sets.push_back(keys);
                mustRead += size * qint64(keys.size());
                continue;
            }
            // Alone: up to where it parts from the peer it shares the longest start with.
            size_t longest = 0;
            for (const auto& [otherBytes, otherKeys] : same) {
                if (&otherBytes == &bytes)
                    continue;
                const auto parted = std::mismatch(bytes.begin(), bytes.end(), otherBytes.begin());
                longest = std::max(longest, size_t(parted.first - bytes.begin()));
            }
            mustRead += std::min<qint64>(size, (qint64(longest) / 4096 + 1) * 4096);
        }
    }
    PrintSets(sets);
    std::cerr << "must_read_bytes " << mustRead << "\ncandidate_bytes " << candidates << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--sets") == 0)
        return Sets();
    if (argc == 3 && std::strcmp(argv[1], "--reference") == 0)
        return Reference(argv[2]);
    std::fprintf(stderr, "usage: tallyrook-bench-contents --sets | --reference FOLDER\n");
    return 2;
}
