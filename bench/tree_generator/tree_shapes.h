#pragma once

// The shapes of the benchmark trees, for tallyrook-gen-tree (files on disk) and the pass benchmark
// (an inventory in memory). The same mix and seed always give the same folders and files, in the
// same order.
//
// "realistic": music albums ("Artist - Album - 01 - Title.mp3"), camera folders
// ("IMG_1234.JPG"), source trees full of "index.js" and "README.md", office documents with
// "final (1)" copies, and backup copies of some folders: many equal names and sizes.
// "sparse": the same shape, but names and sizes almost never repeat.
// "music": the realistic shape around a large music library: a few hundred artists of Zipf-like
// popularity, albums of 8 to 20 tracks named "Artist - Album - 07 - Title.mp3", "07 - Title.mp3"
// or "07 Title.flac", titles of one to five words from a vocabulary of a few hundred, about 5 %
// of albums backed up once more. "-" is in about a fifth of all names and each track number in
// one or two percent: many names share words without being similar.
// "dense": a library where most names have partners: albums of 10 to 20 tracks mostly named
// "Artist - Album - 07 - Title.mp3" from the music mix's vocabulary, event photos named
// "Beach 2019 - 014.jpg" beside camera names, and documents named "Report 2019 final.docx":
// names of few words that share most of them, so that large groups form across folders.

#include <cstdint>
#include <string>

namespace tallyrook::bench {

enum class Mix { Realistic, Sparse, Music, Dense };

// "realistic", "sparse", "music" or "dense"; false for any other name.
bool MixFromName(const std::string& name, Mix& mix);

// Where a tree's folders and files go. Folders come before their files, and a folder's files all
// come in one stretch.
class TreeSink {
public:
    enum class Made { Yes, AlreadyThere, Failed };
    virtual ~TreeSink() = default;
    // True when the folder exists afterwards.
    virtual bool MakeFolder(const std::string& path) = 0;
    // A name drawn twice in one folder answers AlreadyThere; the tree's later draws fill the count.
    virtual Made MakeFile(const std::string& folder, const std::string& name, int64_t size) = 0;
};

// Makes `files` files of the mix under `root` (a folder the sink makes first). False when the sink
// failed.
bool MakeTree(TreeSink& sink, const std::string& root, int64_t files, Mix mix, uint64_t seed);

}  // namespace tallyrook::bench
