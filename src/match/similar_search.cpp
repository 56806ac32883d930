#include "match/similar_search.h"

#include <QHash>
#include <algorithm>
#include <bit>
#include <limits>
#include <span>

#include "search/breather.h"
#include "shared/global.h"

namespace tallyrook {
namespace {

// The splitmix64 finaliser: numbers that differ in any bit land in unrelated places.
quint64 Scramble(quint64 x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// A pair's third word.
constexpr quint32 NoWord = std::numeric_limits<quint32>::max();

// The hash of a set of words, rarest first, which picks its bucket.
quint64 SetCode(quint32 first, quint32 second, quint32 third) {
    return Scramble((quint64(first) << 32 | second) ^ quint64(third) * 0x9e3779b97f4a7c15ULL);
}

// Bits set in x (std::popcount calls a library routine where the processor is not known to have
// the instruction).
int BitCount(quint64 x) {
    x -= (x >> 1) & 0x5555555555555555ULL;
    x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
    x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0fULL;
    return int((x * 0x0101010101010101ULL) >> 56);
}

// Asks for the cache line of p ahead of its use; a hint only.
inline void FetchEarly(const void* p) {
#if defined(__GNUC__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

// A word's bit in a name's signature.
int SignatureBit(quint32 word) {
    return int(Scramble(word) & 63);
}

}  // namespace

struct SimilarSearch::Index {
    // Names with more words never list sets: their sets grow as the cube of the words, and such
    // names are rare.
    static constexpr int MaxSetWords = 48;
    static constexpr quint32 NoKey = std::numeric_limits<quint32>::max();

    // Words.
    std::vector<quint32> frequency;  // word -> number of names that have it
    std::vector<quint16> cap;        // word -> the most times one name has it (at most 65535)
    quint32 commonWord = 8;          // words in at least this many names are common
    std::vector<quint8> readBy;      // word -> bit k - 2: an anchor that reads k-sets has it

    // Names: everything a look at a candidate reads but its words, in one place.
    struct NameInfo {
        quint64 signature;  // bit SignatureBit(w) for each of its words
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
    bool Found(int v) const { return found[size_t(v) / 64] >> (v % 64) & 1; }
    std::vector<quint8> probeSize;    // the size of the sets it reads, or 0 when it counts
    std::vector<quint8> commonWords;  // how many of its words are common (at most 255)
    // Names with at most this many words list their pairs, and their triples.
    int maxPairedWords = 0;
    int maxTripledWords = 0;

    // Sets are hashed into 2^bucketBits buckets; those that get a list have a key, numbered
    // through the bits and the running counts of every 64 buckets.
    struct Buckets {
        quint64 shared;  // bit b: bucket 64 i + b has a key
        quint32 before;  // keys of the buckets before
    };
    static constexpr int MaxBucketBits = 26;
    int bucketBits = 6;
    std::vector<Buckets> buckets;
    quint32 sharedBuckets = 0;

    // Keys below the number of words are words, the rest buckets. Every list is in name order,
    // that is latest last occurrence first.
    struct Bounds {
        quint32 start;    // the first index in byLatest and live; the next key's is the end
        quint32 liveEnd;  // the end of the live names
        int first;        // byLatest[start], or the largest int when empty: read beside the bounds
    };
    std::vector<Bounds> lists;  // by key, and one more for the end
    std::vector<int> byLatest;  // names with the key
    std::vector<int> live;      // of those, the names not found yet that still occur

    // What each name reads as an anchor: the keys from probeKeys[probeStart[u]] on, and the most
    // the words shared through each can be worth.
    std::vector<quint32> probeStart;
    std::vector<quint32> probeKeys;
    std::vector<quint8> probeWorth;

    // Counting: what each name shares with the anchor, and the names that share anything.
    std::vector<quint32> shares;
    std::vector<int> counted;

    // One name's d words, rarest first, and what its words from each place on are worth, by their
    // counts in the name and by their caps (the vectors only grow).
    struct RankedWord {
        quint64 order;  // the word's frequency, then its number
        quint32 id;
        quint32 count;
        quint32 cap;
        bool common;
        quint8 readBy;
    };
    size_t d = 0;
    std::vector<RankedWord> ranked;
    std::vector<quint32> countFrom;
    std::vector<quint32> capFrom;

    void Rank(const PreparedNames& names, int u) {
        const std::span<const PreparedNames::Word> words = names.Words(u);
        d = words.size();
        if (ranked.size() < d) {
            ranked.resize(d);
            countFrom.resize(d + 1);
            capFrom.resize(d + 1);
        }
        // By insertion: names have few words.
        for (size_t i = 0; i < d; ++i) {
            const PreparedNames::Word& w = words[i];
            const quint32 f = frequency[w.id];
            const RankedWord word{quint64(f) << 32 | w.id, w.id,        w.count, cap[w.id],
                                  f >= commonWord,         ReadBy(w.id)};
            size_t j = i;
            for (; j > 0 && ranked[j - 1].order > word.order; --j)
                ranked[j] = ranked[j - 1];
            ranked[j] = word;
        }
        countFrom[d] = capFrom[d] = 0;
        for (size_t i = d; i-- > 0;) {
            countFrom[i] = countFrom[i + 1] + ranked[i].count;
            capFrom[i] = capFrom[i + 1] + ranked[i].cap;
        }
    }

    bool Common(quint32 word) const { return frequency[word] >= commonWord; }
    quint8 ReadBy(quint32 word) const { return readBy.empty() ? 0 : readBy[word]; }

    // Whether name u lists sets: two common words, and not too many words.
    bool ListsSets(const PreparedNames& names, int u) const {
        return names.WordCount(u) <= std::max(maxPairedWords, maxTripledWords) &&
               commonWords[size_t(u)] >= 2;
    }

    // Calls f(code, countWorth) for every set of k (2 or 3) of the ranked words whose rarest is
    // common and whose worth by caps is at least `least`: the caps of all but its last word plus
    // the caps from its last word on. countWorth is the same by counts. With `readOnly`, only
    // sets of words that some anchor reading k-sets has.
    template <typename F>
    void ForEachSet(int k, quint32 least, bool readOnly, F f) const {
        const auto skip = [&](size_t i) {
            return readOnly && !(ranked[i].readBy & (1 << (k - 2)));
        };
        for (size_t i1 = 0; i1 + 1 < d && capFrom[i1] >= least; ++i1) {
            const RankedWord& w1 = ranked[i1];
            if (!w1.common || skip(i1))
                continue;
            for (size_t i2 = i1 + 1; i2 < d && w1.cap + capFrom[i2] >= least; ++i2) {
                const RankedWord& w2 = ranked[i2];
                if (skip(i2))
                    continue;
                if (k == 2) {
                    f(SetCode(w1.id, w2.id, NoWord), w1.count + countFrom[i2]);
                    continue;
                }
                const quint32 caps = w1.cap + w2.cap;
                for (size_t i3 = i2 + 1; i3 < d && caps + capFrom[i3] >= least; ++i3) {
                    if (!skip(i3))
                        f(SetCode(w1.id, w2.id, ranked[i3].id),
                          w1.count + w2.count + countFrom[i3]);
                }
            }
        }
    }

    // How many sets ForEachSet(k, least, false, ...) calls f with.
    quint64 CountSets(int k, quint32 least) const {
        // The places from which the caps are worth at least `worth`: a first stretch of them.
        const auto reaching = [this](quint32 worth) {
            size_t end = 0;
            while (end < d && capFrom[end] >= worth)
                ++end;
            return end;
        };
        quint64 sets = 0;
        for (size_t i1 = 0; i1 + 1 < d && capFrom[i1] >= least; ++i1) {
            if (!ranked[i1].common)
                continue;
            const quint32 cap1 = ranked[i1].cap;
            if (k == 2) {
                sets += std::max(reaching(least - std::min(least, cap1)), i1 + 1) - (i1 + 1);
                continue;
            }
            for (size_t i2 = i1 + 1; i2 < d && cap1 + capFrom[i2] >= least; ++i2) {
                const quint32 caps = cap1 + ranked[i2].cap;
                sets += std::max(reaching(least - std::min(least, caps)), i2 + 1) - (i2 + 1);
            }
        }
        return sets;
    }

    // Calls f(code, worth) for every set the ranked name u lists; worth: the set's worth by
    // counts when u reads it as an anchor, else 0.
    template <typename F>
    void ForEachListedSet(const PreparedNames& names, int u, F f) const {
        const int words = names.WordCount(u);
        const quint32 least = quint32(words) / 2 + 1;
        const int reads = probeSize[size_t(u)];
        for (int k = 2; k <= 3; ++k) {
            if (words <= (k == 2 ? maxPairedWords : maxTripledWords)) {
                ForEachSet(k, least, true, [&](quint64 code, quint32 worth) {
                    f(code, k == reads && worth >= least ? worth : 0);
                });
            }
        }
    }

    // The size of the sets name u reads as an anchor, or 0 when it counts.
    int FindProbeSize(const PreparedNames& names, int u) const {
        const int words = names.WordCount(u);
        const quint32 least = quint32(words) / 2 + 1;
        quint32 top[2] = {0, 0};
        for (const PreparedNames::Word& w : names.Words(u)) {
            if (w.count > top[0])
                top[1] = std::exchange(top[0], w.count);
            else
                top[1] = std::max(top[1], w.count);
        }
        if (top[0] + top[1] < least && 2 * words - 1 <= maxTripledWords)
            return 3;
        if (top[0] < least && 2 * words - 1 <= maxPairedWords)
            return 2;
        return 0;
    }

    size_t Bucket(quint64 code) const { return size_t(code >> (64 - bucketBits)); }

    // A set's code, and its worth when the name reads it, else 0.
    struct Code {
        quint64 code;
        quint32 worth;
    };
    std::vector<Code> codes;
    std::vector<quint32> keys;
    // Names looked at together by the passes that read all their sets.
    static constexpr int Batch = 64;

    // A filter of the buckets with a key: two bits of one word for each (a power of two words).
    std::vector<quint64> filter;
    struct FilterPlace {
        size_t word;
        quint64 bits;
    };
    FilterPlace FilterPlaceOf(size_t bucket) const {
        const quint64 h = Scramble(bucket);
        return {size_t(h >> 12) & (filter.size() - 1),
                quint64(1) << (h & 63) | quint64(1) << (h >> 6 & 63)};
    }

    // Fetches what SetKey will read for the code.
    void FetchKeyEarly(quint64 code) const {
        const size_t bucket = Bucket(code);
        FetchEarly(&filter[FilterPlaceOf(bucket).word]);
        FetchEarly(&buckets[bucket / 64]);
    }

    // The key of a set's bucket, or NoKey.
    quint32 SetKey(quint64 code) const {
        const size_t bucket = Bucket(code);
        if (const FilterPlace place = FilterPlaceOf(bucket);
            (filter[place.word] & place.bits) != place.bits)
            return NoKey;
        const Buckets& block = buckets[bucket / 64];
        const quint64 bit = quint64(1) << (bucket % 64);
        if (!(block.shared & bit))
            return NoKey;
        return quint32(frequency.size()) + block.before +
               quint32(BitCount(block.shared & (bit - 1)));
    }
};

// What the anchor reads: its keys with their bounds, read in one go.
struct SimilarSearch::Probe {
    struct Key {
        quint32 key;
        quint32 worth;  // the most the words shared through the key can be worth
        quint32 start;  // the key's lists: byLatest from start to end, live to liveEnd
        quint32 end;
        quint32 liveEnd;
        int first;  // byLatest[start], or the largest int when empty
    };
    bool counting = false;
    std::vector<Key> keys;

    // The anchor's signature, and what its words of each signature bit are worth.
    quint64 signature = 0;
    quint32 worthAt[64] = {};
    quint32 words = 0;
    std::span<const PreparedNames::Word> distinctWords;  // the anchor's

    // Whether v can share more than half of the larger word count, by the signatures.
    bool MayBeSimilar(const Index::NameInfo& v) const {
        quint32 most = 0;
        for (quint64 both = signature & v.signature; both != 0; both &= both - 1)
            most += worthAt[std::countr_zero(both)];
        return 2 * quint64(most) > std::max(words, quint32(v.words));
    }
    // Whether the anchor's name is similar to v's.
    bool IsSimilar(const Index::NameInfo& v) const {
        return MayBeSimilar(v) &&
               PreparedNames::SimilarWords(distinctWords, words, {v.distinctWords, v.distinctCount},
                                           v.words);
    }
};

SimilarSearch::SimilarSearch(const QLocale& locale)
    : prepared_(locale), index_(std::make_unique<Index>()), probe_(std::make_unique<Probe>()) {}

SimilarSearch::~SimilarSearch() = default;

bool SimilarSearch::Prepare(const Global& global, Breather& breather) {
    return NumberNames(global, breather) && CountWords(breather) && ChooseSetLimits(breather) &&
           FindSharedBuckets(breather) && BuildLists(breather);
}

bool SimilarSearch::NumberNames(const Global& global, Breather& breather) {
    const int n = int(global.inventory.FileCount());
    nameOf_.resize(size_t(n));
    // Distinct names first, with their characters and words in all, so the prepared names can
    // take room for everything at once: growing a list of a million words by itself would copy
    // it all between two pending-events calls.
    qsizetype nameCharacters = 0, nameWords = 0;
    int m = 0;
    {
        // Views of the inventory's names: freeing a million copies would take a while too.
        QHash<QStringView, int> numbers;
        numbers.reserve(n);
        for (int k = 0; k < n; ++k) {
            if (!breather.Step())
                return false;
            const QString& name = global.inventory.FileNames.at(k);
            auto it = numbers.find(name);
            if (it == numbers.end()) {
                it = numbers.insert(name, m++);
                nameCharacters += name.size();
                nameWords += std::count(name.begin(), name.end(), u' ') + 1;
            }
            nameOf_[size_t(k)] = *it;
        }
    }
    if (!breather.Now())
        return false;
    // Renumbered by the last occurrence, latest first.
    {
        std::vector<int> number(size_t(m), -1);
        int next = 0;
        for (int k = n - 1; k >= 0; --k) {
            if (!breather.Step())
                return false;
            int& u = number[size_t(nameOf_[size_t(k)])];
            if (u < 0)
                u = next++;
            nameOf_[size_t(k)] = u;
        }
    }
    if (!breather.Now())
        return false;
    occStart_.assign(size_t(m) + 1, 0);
    for (const int u : nameOf_)
        ++occStart_[size_t(u) + 1];
    for (int u = 0; u < m; ++u)
        occStart_[size_t(u) + 1] += occStart_[size_t(u)];
    if (!breather.Now())
        return false;
    occ_.resize(size_t(n));
    {
        std::vector<int> fill(occStart_.begin(), occStart_.end() - 1);
        for (int k = 0; k < n; ++k) {
            if (!breather.Step())
                return false;
            occ_[size_t(fill[size_t(nameOf_[size_t(k)])]++)] = k;
        }
    }
    afterEntry_ = -1;
    afterNames_ = m;
    lastOcc_.resize(size_t(m));
    for (int u = 0; u < m; ++u)
        lastOcc_[size_t(u)] = occ_[size_t(occStart_[size_t(u) + 1] - 1)];
    if (!breather.Now())
        return false;
    prepared_.Reserve(m, nameCharacters, nameWords);
    if (!breather.Now())
        return false;
    for (int u = 0; u < m; ++u) {
        if (!breather.Step())
            return false;
        prepared_.Add(global.inventory.FileNames.at(lastOcc_[size_t(u)]));
    }
    latestSimilar_.assign(size_t(m), -1);
    return breather.Now();
}

bool SimilarSearch::CountWords(Breather& breather) {
    Index& x = *index_;
    const int m = prepared_.NameCount();
    const size_t words = size_t(prepared_.DistinctWordCount());
    x.frequency.assign(words, 0);
    x.cap.assign(words, 1);
    x.info.resize(size_t(m));
    x.found.assign(size_t(m) / 64 + 1, 0);
    for (int u = 0; u < m; ++u) {
        if (!breather.Step(qint64(prepared_.Words(u).size())))
            return false;
        quint64 signature = 0;
        for (const PreparedNames::Word& w : prepared_.Words(u)) {
            ++x.frequency[w.id];
            x.cap[w.id] = quint16(std::clamp<quint32>(w.count, x.cap[w.id], 65535));
            signature |= quint64(1) << SignatureBit(w.id);
        }
        const std::span<const PreparedNames::Word> distinct = prepared_.Words(u);
        x.info[size_t(u)] = {signature, distinct.data(), quint32(distinct.size()), -1,
                             quint32(prepared_.WordCount(u))};
    }
    // Words in fewer names are read from their own list, never as the first of a set: an anchor
    // reads at most this many candidates per rare word, most of them turned away by their
    // signature, while every set listed costs each name that has it. Small inventories list sets
    // sooner.
    x.commonWord = quint32(std::clamp(m / 64, 8, 128));
    x.commonWords.resize(size_t(m));
    for (int u = 0; u < m; ++u) {
        if (!breather.Step(qint64(prepared_.Words(u).size())))
            return false;
        int common = 0;
        for (const PreparedNames::Word& w : prepared_.Words(u))
            common += x.Common(w.id);
        x.commonWords[size_t(u)] = quint8(std::min(common, 255));
    }
    return breather.Now();
}

bool SimilarSearch::ChooseSetLimits(Breather& breather) {
    Index& x = *index_;
    const int m = prepared_.NameCount();
    // Names are taken by word count, fewest first, as long as their sets stay within the budget:
    // each costs 8 bytes, and a look by every anchor that reads it.
    const quint64 budget = 48 * quint64(m) + (1 << 16);
    x.maxPairedWords = x.maxTripledWords = Index::MaxSetWords;
    std::vector<int> wordsStart(Index::MaxSetWords + 2, 0);
    for (int u = 0; u < m; ++u) {
        if (!breather.Step())
            return false;
        if (x.ListsSets(prepared_, u))
            ++wordsStart[size_t(prepared_.WordCount(u)) + 1];
    }
    for (size_t w = 1; w < wordsStart.size(); ++w)
        wordsStart[w] += wordsStart[w - 1];
    std::vector<int> byWords(size_t(wordsStart.back()));
    {
        std::vector<int> fill(wordsStart.begin(), wordsStart.end() - 1);
        for (int u = 0; u < m; ++u) {
            if (!breather.Step())
                return false;
            if (x.ListsSets(prepared_, u))
                byWords[size_t(fill[size_t(prepared_.WordCount(u))]++)] = u;
        }
    }
    if (!breather.Now())
        return false;
    quint64 sets[2] = {0, 0};  // pairs and triples of the names so far
    int longest[2] = {0, 0};
    bool open[2] = {true, true};
    for (int w = 2; w <= Index::MaxSetWords && (open[0] || open[1]); ++w) {
        // The sets of all common words at most, and only if that is over the budget, counted.
        quint64 most[2] = {sets[0], sets[1]};
        for (int i = wordsStart[size_t(w)]; i < wordsStart[size_t(w) + 1]; ++i) {
            if (!breather.Step())
                return false;
            const quint64 common = x.commonWords[size_t(byWords[size_t(i)])];
            most[0] += common * (common - 1) / 2;
            most[1] += common * (common - 1) * (common - 2) / 6;
        }
        if ((open[0] && most[0] > budget) || (open[1] && most[1] > budget)) {
            for (int i = wordsStart[size_t(w)]; i < wordsStart[size_t(w) + 1]; ++i) {
                x.Rank(prepared_, byWords[size_t(i)]);
                for (int k = 2; k <= 3; ++k) {
                    if (open[k - 2])
                        sets[k - 2] += x.CountSets(k, quint32(w) / 2 + 1);
                }
                if (!breather.Step(qint64(x.d * x.d)))
                    return false;
            }
        } else {
            sets[0] = most[0];
            sets[1] = most[1];
        }
        for (int k = 0; k < 2; ++k) {
            open[k] = open[k] && sets[k] <= budget;
            if (open[k])
                longest[k] = w;
        }
    }
    x.maxPairedWords = longest[0];
    x.maxTripledWords = longest[1];
    // Which sets each anchor reads, and the words of those that read pairs, and triples.
    x.readBy.assign(size_t(prepared_.DistinctWordCount()), 0);
    x.probeSize.resize(size_t(m));
    for (int u = 0; u < m; ++u) {
        if (!breather.Step())
            return false;
        const int k = x.FindProbeSize(prepared_, u);
        x.probeSize[size_t(u)] = quint8(k);
        if (k > 0) {
            for (const PreparedNames::Word& w : prepared_.Words(u))
                x.readBy[w.id] |= quint8(1 << (k - 2));
        }
    }
    // About as many buckets as sets listed; for a few sets, four times as many, so that sets
    // rarely share a bucket even then.
    const quint64 listed = sets[0] + sets[1];
    x.bucketBits = std::clamp(int(std::bit_width(listed < (1 << 16) ? 4 * listed : listed)), 12,
                              Index::MaxBucketBits);
    return breather.Now();
}

bool SimilarSearch::FindSharedBuckets(Breather& breather) {
    Index& x = *index_;
    const int m = prepared_.NameCount();
    // The buckets that some name reads and another lists too (a name reads only sets it lists
    // itself): only those get a list.
    std::vector<quint64> shared(size_t(1) << (x.bucketBits - 6), 0);
    {
        // Of every 64 buckets, those listed once, twice and read, side by side.
        struct Seen {
            quint64 once, twice, read;
        };
        std::vector<Seen> seen(shared.size(), {0, 0, 0});
        for (int first = 0; first < m; first += Index::Batch) {
            const int last = std::min(m, first + Index::Batch);
            x.codes.clear();
            for (int u = first; u < last; ++u) {
                if (!x.ListsSets(prepared_, u))
                    continue;
                x.Rank(prepared_, u);
                x.ForEachListedSet(prepared_, u, [&x](quint64 code, quint32 worth) {
                    x.codes.push_back({code, worth});
                });
            }
            // The blocks a few codes ahead are fetched early: at a million names they are
            // rarely in the cache.
            constexpr size_t Ahead = 16;
            for (size_t i = 0; i < x.codes.size(); ++i) {
                if (i + Ahead < x.codes.size())
                    FetchEarly(&seen[x.Bucket(x.codes[i + Ahead].code) / 64]);
                const Index::Code& code = x.codes[i];
                const size_t b = x.Bucket(code.code);
                const quint64 bit = quint64(1) << (b % 64);
                Seen& block = seen[b / 64];
                block.twice |= block.once & bit;
                block.once |= bit;
                if (code.worth > 0)
                    block.read |= bit;
            }
            if (!breather.Step(qint64(x.codes.size()) + (last - first)))
                return false;
        }
        for (size_t i = 0; i < seen.size(); ++i)
            shared[i] = seen[i].twice & seen[i].read;
    }
    if (!breather.Now())
        return false;
    x.buckets.resize(shared.size());
    for (size_t i = 0; i < shared.size(); ++i) {
        x.buckets[i] = {shared[i], x.sharedBuckets};
        x.sharedBuckets += quint32(BitCount(shared[i]));
    }
    if (!breather.Now())
        return false;
    // Most sets listed have no key; a filter of about a byte a key, small enough to stay in the
    // processor's cache, answers for most of them without a look at the buckets.
    x.filter.assign(std::bit_ceil(size_t(x.sharedBuckets) / 8 + 1), 0);
    for (size_t i = 0; i < shared.size(); ++i) {
        for (quint64 bits = shared[i]; bits != 0; bits &= bits - 1) {
            const Index::FilterPlace place =
                x.FilterPlaceOf(i * 64 + size_t(std::countr_zero(bits)));
            x.filter[place.word] |= place.bits;
        }
    }
    return breather.Now();
}

bool SimilarSearch::BuildLists(Breather& breather) {
    Index& x = *index_;
    const int m = prepared_.NameCount();
    const size_t keyCount = x.frequency.size() + x.sharedBuckets;
    // How many names each key lists; what each anchor reads; the keys of every name's sets, kept
    // until the lists are filled.
    std::vector<quint32> listed(keyCount, 0);
    std::copy(x.frequency.begin(), x.frequency.end(), listed.begin());
    std::vector<quint32> setStart(size_t(m) + 1, 0);
    std::vector<quint32> sets;
    x.probeStart.assign(size_t(m) + 1, 0);
    // Names a batch at a time: first their sets' codes, then all the look-ups, then the counts,
    // so that the looks at memory do not wait for each other.
    std::vector<quint32> codeStart(Index::Batch + 1);
    std::vector<quint32> rareStart(Index::Batch + 1);
    std::vector<std::pair<quint32, quint32>> rare;  // rare words read, and their worth
    for (int first = 0; first < m; first += Index::Batch) {
        const int last = std::min(m, first + Index::Batch);
        x.codes.clear();
        rare.clear();
        for (int u = first; u < last; ++u) {
            codeStart[size_t(u - first)] = quint32(x.codes.size());
            rareStart[size_t(u - first)] = quint32(rare.size());
            const int reads = x.probeSize[size_t(u)];
            const bool lists = x.sharedBuckets > 0 && x.ListsSets(prepared_, u);
            if (reads == 0 && !lists)
                continue;
            x.Rank(prepared_, u);
            // A rare rarest shared word: its own list.
            const quint32 least = quint32(prepared_.WordCount(u)) / 2 + 1;
            for (size_t i = 0; reads > 0 && i < x.d && x.countFrom[i] >= least; ++i) {
                if (!x.ranked[i].common)
                    rare.emplace_back(x.ranked[i].id, x.countFrom[i]);
            }
            if (lists) {
                x.ForEachListedSet(prepared_, u, [&x](quint64 code, quint32 worth) {
                    x.codes.push_back({code, worth});
                });
            }
        }
        codeStart[size_t(last - first)] = quint32(x.codes.size());
        rareStart[size_t(last - first)] = quint32(rare.size());
        x.keys.resize(x.codes.size());
        for (size_t i = 0; i < x.codes.size(); ++i) {
            if (i + 16 < x.codes.size())
                x.FetchKeyEarly(x.codes[i + 16].code);
            x.keys[i] = x.SetKey(x.codes[i].code);
        }
        for (const quint32 key : x.keys) {
            if (key != Index::NoKey)
                ++listed[key];
        }
        for (int u = first; u < last; ++u) {
            x.probeStart[size_t(u)] = quint32(x.probeKeys.size());
            setStart[size_t(u)] = quint32(sets.size());
            for (quint32 i = rareStart[size_t(u - first)]; i < rareStart[size_t(u - first) + 1];
                 ++i) {
                x.probeKeys.push_back(rare[i].first);
                x.probeWorth.push_back(quint8(rare[i].second));
            }
            for (quint32 i = codeStart[size_t(u - first)]; i < codeStart[size_t(u - first) + 1];
                 ++i) {
                if (x.keys[i] == Index::NoKey)
                    continue;
                sets.push_back(x.keys[i]);
                if (x.codes[i].worth > 0) {
                    x.probeKeys.push_back(x.keys[i]);
                    x.probeWorth.push_back(quint8(x.codes[i].worth));
                }
            }
        }
        if (!breather.Step(qint64(x.codes.size() + rare.size()) + (last - first)))
            return false;
    }
    x.probeStart[size_t(m)] = quint32(x.probeKeys.size());
    setStart[size_t(m)] = quint32(sets.size());
    if (!breather.Now())
        return false;
    // Fresh memory costs a page fault a page: the lists of a million names are laid out one at a
    // time, with events between.
    x.lists.resize(keyCount + 1);
    x.lists[0].start = 0;
    for (size_t key = 0; key < keyCount; ++key)
        x.lists[key].liveEnd = x.lists[key + 1].start = x.lists[key].start + listed[key];
    x.lists[keyCount].first = std::numeric_limits<int>::max();
    if (!breather.Now())
        return false;
    x.byLatest.resize(x.lists.back().start);
    if (!breather.Now())
        return false;
    for (size_t key = 0; key < keyCount; ++key)
        listed[key] = x.lists[key].start;
    for (int u = 0; u < m; ++u) {
        if (!breather.Step(qint64(prepared_.Words(u).size())))
            return false;
        for (const PreparedNames::Word& w : prepared_.Words(u))
            x.byLatest[listed[w.id]++] = u;
        for (quint32 i = setStart[size_t(u)]; i < setStart[size_t(u) + 1]; ++i)
            x.byLatest[listed[sets[i]]++] = u;
    }
    std::vector<quint32>().swap(sets);
    std::vector<quint32>().swap(listed);
    if (!breather.Now())
        return false;
    for (size_t key = 0; key < keyCount; ++key) {
        Index::Bounds& bounds = x.lists[key];
        bounds.first = bounds.start < x.lists[key + 1].start ? x.byLatest[bounds.start]
                                                             : std::numeric_limits<int>::max();
    }
    if (!breather.Now())
        return false;
    // The live lists start as copies.
    x.live.resize(x.byLatest.size());
    for (size_t i = 0; i < x.byLatest.size(); i += 1 << 18) {
        if (!breather.Now())
            return false;
        const size_t end = std::min(x.byLatest.size(), i + (1 << 18));
        std::copy(x.byLatest.begin() + qsizetype(i), x.byLatest.begin() + qsizetype(end),
                  x.live.begin() + qsizetype(i));
    }
    return breather.Now();
}

int SimilarSearch::NamesAfter(int k) {
    // The pass asks about entries in inventory order, mostly: a cursor moves down the names.
    if (k < afterEntry_) {
        afterEntry_ = k;
        afterNames_ = int(std::partition_point(lastOcc_.begin(), lastOcc_.end(),
                                               [k](int last) { return last > k; }) -
                          lastOcc_.begin());
    }
    for (; afterEntry_ < k; ++afterEntry_) {
        if (afterNames_ > 0 && lastOcc_[size_t(afterNames_ - 1)] == afterEntry_ + 1)
            --afterNames_;
    }
    return afterNames_;
}

void SimilarSearch::SelectProbe(int u) {
    const Index& x = *index_;
    Probe& p = *probe_;
    // Only the last anchor's bits need clearing.
    for (quint64 bits = p.signature; bits != 0; bits &= bits - 1)
        p.worthAt[std::countr_zero(bits)] = 0;
    p.signature = x.info[size_t(u)].signature;
    p.words = quint32(prepared_.WordCount(u));
    p.distinctWords = prepared_.Words(u);
    for (const PreparedNames::Word& w : prepared_.Words(u))
        p.worthAt[SignatureBit(w.id)] += w.count;
    p.counting = x.probeSize[size_t(u)] == 0;
    p.keys.clear();
    // At a million names the keys' bounds and the heads of their lists are rarely in the cache:
    // all are asked for before the first is read.
    const quint32 begin = x.probeStart[size_t(u)], end = x.probeStart[size_t(u) + 1];
    for (quint32 i = begin; i < end; ++i)
        FetchEarly(&x.lists[x.probeKeys[i]]);
    for (quint32 i = begin; i < end; ++i) {
        const quint32 key = x.probeKeys[i];
        const Index::Bounds& bounds = x.lists[key];
        FetchEarly(x.live.data() + bounds.start);
        FetchEarly(x.byLatest.data() + bounds.start);
        p.keys.push_back({key, x.probeWorth[i], bounds.start, x.lists[key + 1].start,
                          bounds.liveEnd, bounds.first});
    }
}

bool SimilarSearch::CountShares(int u, int a, Breather& breather) {
    Index& x = *index_;
    if (x.shares.empty())
        x.shares.assign(size_t(prepared_.NameCount()), 0);
    x.counted.clear();
    const int later = NamesAfter(a);
    for (const PreparedNames::Word& w : prepared_.Words(u)) {
        for (quint32 i = x.lists[w.id].start; i < x.lists[w.id + 1].start; ++i) {
            if (!breather.Step())
                return false;
            const int v = x.byLatest[i];
            if (v >= later)
                break;
            if (x.shares[size_t(v)] == 0)
                x.counted.push_back(v);
            x.shares[size_t(v)] += w.count;
        }
    }
    return true;
}

bool SimilarSearch::SharesEnough(int u, int v, quint32 shares) const {
    return 2 * quint64(shares) > quint64(std::max(prepared_.WordCount(u), prepared_.WordCount(v)));
}

const std::vector<int>* SimilarSearch::FirstProbe(int a, Breather& breather) {
    Index& x = *index_;
    const int u = NameOf(a);
    partners_.clear();
    SelectProbe(u);
    const int current = NamesAfter(a - 1);  // the names that occur at a or later
    // The similar name that occurs latest after a, if any: the lowest number, names being
    // numbered latest first. Only names that occur after a can be it.
    const int after = NamesAfter(a);
    int latest = after;
    const auto addPartners = [&](int v) {
        x.found[size_t(v) / 64] |= quint64(1) << (v % 64);
        const int* first = occ_.data() + occStart_[size_t(v)];
        const int* last = occ_.data() + occStart_[size_t(v) + 1];
        partners_.insert(partners_.end(), std::upper_bound(first, last, a), last);
    };
    if (probe_->counting) {
        if (!CountShares(u, a, breather))
            return nullptr;
        for (const int v : x.counted) {
            const quint32 shares = std::exchange(x.shares[size_t(v)], 0);
            if (v == u || !SharesEnough(u, v, shares))
                continue;
            latest = std::min(latest, v);
            if (!x.Found(v))
                addPartners(v);
        }
    } else {
        for (const Probe::Key& key : probe_->keys) {
            // Names found earlier drop out of the list as it is read, and so do names that
            // occur no more: the list is latest first, and anchors only move on.
            int* out = x.live.data() + key.start;
            for (int *p = out, *end = x.live.data() + key.liveEnd; p != end; ++p) {
                if (!breather.Step())
                    return nullptr;
                x.FetchCandidatesEarly(p, end);
                const int v = *p;
                if (v >= current)
                    break;
                if (x.Found(v))
                    continue;
                *out++ = v;
                if (v == u)
                    continue;
                Index::NameInfo& info = x.info[size_t(v)];
                if (info.stamp == u || info.words >= 2 * key.worth)
                    continue;
                info.stamp = u;
                if (!probe_->IsSimilar(info))
                    continue;
                latest = std::min(latest, v);
                addPartners(v);
            }
            x.lists[key.key].liveEnd = quint32(out - x.live.data());
        }
        // The latest occurrence of any similar name, found ones included: read until nothing
        // later than the best so far is left.
        for (const Probe::Key& key : probe_->keys) {
            if (key.first >= latest)
                continue;
            for (quint32 i = key.start; i < key.end; ++i) {
                if (!breather.Step())
                    return nullptr;
                x.FetchCandidatesEarly(x.byLatest.data() + i, x.byLatest.data() + key.end);
                const int v = x.byLatest[i];
                if (v >= latest)
                    break;
                Index::NameInfo& info = x.info[size_t(v)];
                if (v == u || info.stamp == u || info.words >= 2 * key.worth)
                    continue;
                info.stamp = u;
                if (probe_->IsSimilar(info)) {
                    latest = v;
                    break;
                }
            }
        }
    }
    if (!breather.Step(qint64(partners_.size())))
        return nullptr;
    std::sort(partners_.begin(), partners_.end());
    latestSimilar_[size_t(u)] = latest < after ? lastOcc_[size_t(latest)] : -1;
    return &partners_;
}

std::optional<bool> SimilarSearch::HasMatchBetween(int a, int end, Breather& breather) {
    Index& x = *index_;
    const int u = NameOf(a);
    SelectProbe(u);
    const auto occursBetween = [&](int v) {
        const int* last = occ_.data() + occStart_[size_t(v) + 1];
        const int* next =
            std::upper_bound(static_cast<const int*>(occ_.data() + occStart_[size_t(v)]), last, a);
        return next != last && *next < end;
    };
    if (probe_->counting) {
        if (!CountShares(u, a, breather))
            return std::nullopt;
        bool found = false;
        for (const int v : x.counted) {
            const quint32 shares = std::exchange(x.shares[size_t(v)], 0);
            found = found || (v != u && SharesEnough(u, v, shares) && occursBetween(v));
        }
        return found;
    }
    const int later = NamesAfter(a);
    for (const Probe::Key& key : probe_->keys) {
        for (quint32 i = key.start; i < key.end; ++i) {
            if (!breather.Step())
                return std::nullopt;
            const int v = x.byLatest[i];
            if (v >= later)
                break;
            if (v == u || x.info[size_t(v)].words >= 2 * key.worth)
                continue;
            if (occursBetween(v) && probe_->IsSimilar(x.info[size_t(v)]))
                return true;
        }
    }
    return false;
}

}  // namespace tallyrook
