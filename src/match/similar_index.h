#pragma once

#include <QLocale>
#include <cstddef>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "match/similarity.h"

namespace tallyrook {

class Breather;
class Global;

// Asks for the cache line of p ahead of its use; a hint only.
inline void FetchEarly(const void* p) {
#if defined(__GNUC__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

// The splitmix64 finaliser: numbers that differ in any bit land in unrelated places.
inline quint64 Scramble(quint64 x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// A word's bit in a name's signature.
inline int SignatureBit(quint32 word) {
    return int(Scramble(word) & 63);
}

// The index the similar pass probes: the distinct names, numbered by their last occurrence
// (latest first), and lists of names under keys: words, and buckets of sets of two or three
// common words. Why the lists hold every similar name is docs/design/similar-names.md.
//
// Built once; a probe then reads it, and marks in it the names it found, the names that dropped
// out of the live lists, and the names it looked at.
class SimilarIndex {
public:
    explicit SimilarIndex(const QLocale& locale);
    ~SimilarIndex();
    SimilarIndex(const SimilarIndex&) = delete;
    SimilarIndex& operator=(const SimilarIndex&) = delete;

    // The two halves of the build, names first; each false when the run was abandoned
    // meanwhile.
    bool NumberNames(const Global& global, Breather& breather);
    bool BuildKeys(Breather& breather);

    // Names: the distinct ones, each with its occurrences (entries) in inventory order.
    PreparedNames prepared;
    std::vector<int> nameOf;    // entry -> name number
    std::vector<int> occStart;  // name -> its first index in occ
    std::vector<int> occ;       // entries of each name, in inventory order
    std::vector<int> lastOcc;   // name -> its last entry

    // Everything a look at a candidate reads but its words, in one place.
    struct NameInfo {
        quint64 signature;  // bit SignatureBit(word) for each of its words
        // Its distinct words in the prepared names, which take no name after the info is made.
        const PreparedNames::Word* distinctWords;
        quint32 distinctCount;
        int stamp;  // the anchor that last looked at it
        quint32 words;
    };
    std::vector<NameInfo> info;
    // A name a probe looks at costs two misses of the cache at a million names, its info and its
    // words: the names a little further down a list are asked for early, their info first, their
    // words once the info has come.
    void FetchCandidatesEarly(const int* next, const int* end) const {
        constexpr std::ptrdiff_t InfoAhead = 16, WordsAhead = 8;
        if (end - next > InfoAhead)
            FetchEarly(&info[size_t(next[InfoAhead])]);
        if (end - next > WordsAhead)
            FetchEarly(info[size_t(next[WordsAhead])].distinctWords);
    }

    // Found names, a bit each: a list read checks it first, without the look at the name.
    std::vector<quint64> found;
    bool Found(int name) const { return found[size_t(name) / 64] >> (name % 64) & 1; }
    void MarkFound(int name) { found[size_t(name) / 64] |= quint64(1) << (name % 64); }

    // The size of the sets each name reads as an anchor, or 0 when it counts its shares instead.
    std::vector<quint8> probeSize;

    // Keys below the number of words are words, the rest buckets. Every list is in name order,
    // that is latest last occurrence first.
    struct Bounds {
        quint32 start;    // the first index in byLatest and live; the next key's is the end
        quint32 liveEnd;  // the end of the live names
        int first;        // byLatest[start], or the largest int when empty: read beside the bounds
    };
    static constexpr int NoName = std::numeric_limits<int>::max();
    std::vector<Bounds> lists;  // by key, and one more for the end
    std::vector<int> byLatest;  // names with the key
    std::vector<int> live;      // of those, the names not found yet that still occur

    // What each name reads as an anchor: the keys from probeKeys[probeStart[name]] on, and the
    // most the words shared through each can be worth.
    std::vector<quint32> probeStart;
    std::vector<quint32> probeKeys;
    std::vector<quint8> probeWorth;

private:
    struct Sets;
    struct KeyedSets;

    // The steps of BuildKeys; each false when the run was abandoned meanwhile.
    bool CountWords(Breather& breather);
    bool ChooseSetLimits(Breather& breather);
    bool FindSharedBuckets(Breather& breather);
    bool BuildLists(Breather& breather);

    // The steps of NumberNames.
    bool FindDistinctNames(const Global& global, Breather& breather);
    bool NumberByLastOccurrence(Breather& breather);
    bool ListOccurrences(Breather& breather);
    bool PrepareNames(const Global& global, Breather& breather);

    // The steps of ChooseSetLimits.
    bool SortByWordCount(std::vector<int>& wordsStart, std::vector<int>& byWords,
                         Breather& breather);
    bool FindLongestWithinBudget(const std::vector<int>& wordsStart,
                                 const std::vector<int>& byWords, Breather& breather);
    bool ChooseProbeSizes(Breather& breather);

    // The steps of BuildLists.
    bool KeyEverySet(KeyedSets& keyed, Breather& breather);
    void CollectBatch(int firstName, int endName, KeyedSets& keyed);
    void RecordBatch(int firstName, int endName, KeyedSets& keyed);
    bool LayOutLists(KeyedSets& keyed, Breather& breather);
    bool FillLists(KeyedSets& keyed, Breather& breather);
    bool CopyLiveLists(Breather& breather);

    // What the steps share: the words' counts and ranks, the limits of the sets and their
    // buckets.
    std::unique_ptr<Sets> sets_;
    qsizetype nameCharacters_ = 0;  // the distinct names' characters and words in all
    qsizetype nameWords_ = 0;
    int nameCount_ = 0;
};

}  // namespace tallyrook
