#include "match/similar_index.h"

#include <QHash>
#include <algorithm>
#include <bit>
#include <utility>

#include "search/breather.h"
#include "shared/global.h"

// The names of docs/design/similar-names.md: `needed` is the worth of shared words a similar
// name reaches, half of a name's words and one more; `countFrom` and `capFrom` what a name's
// words from a place on are worth, by its counts and by the caps; `first`, `second` and `third`
// the words of a set, rarest first.

namespace tallyrook {
namespace {

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

// Half of a name's words and one more: what the words a similar name shares are worth at least.
quint32 Needed(int words) {
    return quint32(words) / 2 + 1;
}

}  // namespace

struct SimilarIndex::Sets {
    // Names with more words never list sets: their sets grow as the cube of the words, and such
    // names are rare.
    static constexpr int MaxSetWords = 48;
    static constexpr quint32 NoKey = std::numeric_limits<quint32>::max();

    // Words.
    std::vector<quint32> frequency;  // word -> number of names that have it
    std::vector<quint16> cap;        // word -> the most times one name has it (at most 65535)
    quint32 commonWord = 8;          // words in at least this many names are common
    std::vector<quint8> readBy;  // word -> bit setSize - 2: an anchor that reads such sets has it

    std::vector<quint8> commonWords;  // name -> how many of its words are common (at most 255)
    // Names with at most this many words list their pairs, and their triples.
    int maxPairedWords = 0;
    int maxTripledWords = 0;
    quint64 setsListed = 0;  // pairs and triples of the names within those limits

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

    // One name's words, rarest first, and what its words from each place on are worth, by their
    // counts in the name and by their caps (the vectors only grow).
    struct RankedWord {
        quint64 order;  // the word's frequency, then its number
        quint32 id;
        quint32 count;
        quint32 cap;
        bool common;
        quint8 readBy;
    };
    size_t rankedCount = 0;
    std::vector<RankedWord> ranked;
    std::vector<quint32> countFrom;
    std::vector<quint32> capFrom;

    void Rank(const PreparedNames& names, int name) {
        const std::span<const PreparedNames::Word> words = names.Words(name);
        rankedCount = words.size();
        if (ranked.size() < rankedCount) {
            ranked.resize(rankedCount);
            countFrom.resize(rankedCount + 1);
            capFrom.resize(rankedCount + 1);
        }
        // By insertion: names have few words.
        for (size_t i = 0; i < rankedCount; ++i) {
            const PreparedNames::Word& word = words[i];
            const quint32 having = frequency[word.id];
            const RankedWord rankedWord{quint64(having) << 32 | word.id,
                                        word.id,
                                        word.count,
                                        cap[word.id],
                                        having >= commonWord,
                                        ReadBy(word.id)};
            size_t j = i;
            for (; j > 0 && ranked[j - 1].order > rankedWord.order; --j)
                ranked[j] = ranked[j - 1];
            ranked[j] = rankedWord;
        }
        countFrom[rankedCount] = capFrom[rankedCount] = 0;
        for (size_t i = rankedCount; i-- > 0;) {
            countFrom[i] = countFrom[i + 1] + ranked[i].count;
            capFrom[i] = capFrom[i + 1] + ranked[i].cap;
        }
    }

    bool Common(quint32 word) const { return frequency[word] >= commonWord; }
    quint8 ReadBy(quint32 word) const { return readBy.empty() ? 0 : readBy[word]; }

    // Whether a name lists sets: two common words, and not too many words.
    bool ListsSets(const PreparedNames& names, int name) const {
        return names.WordCount(name) <= std::max(maxPairedWords, maxTripledWords) &&
               commonWords[size_t(name)] >= 2;
    }

    // Calls f(code, countWorth) for every set of setSize (2 or 3) of the ranked words whose
    // rarest is common and whose worth by caps is at least `needed`: the caps of all but its last
    // word plus the caps from its last word on. countWorth is the same by counts. With
    // `readOnly`, only sets of words that some anchor reading sets of that size has.
    template <typename F>
    void ForEachSet(int setSize, quint32 needed, bool readOnly, F f) const {
        const auto skip = [&](size_t i) {
            return readOnly && !(ranked[i].readBy & (1 << (setSize - 2)));
        };
        const size_t end = rankedCount;
        for (size_t first = 0; first + 1 < end && capFrom[first] >= needed; ++first) {
            const RankedWord& firstWord = ranked[first];
            if (!firstWord.common || skip(first))
                continue;
            for (size_t second = first + 1;
                 second < end && firstWord.cap + capFrom[second] >= needed; ++second) {
                const RankedWord& secondWord = ranked[second];
                if (skip(second))
                    continue;
                if (setSize == 2) {
                    f(SetCode(firstWord.id, secondWord.id, NoWord),
                      firstWord.count + countFrom[second]);
                    continue;
                }
                const quint32 caps = firstWord.cap + secondWord.cap;
                for (size_t third = second + 1; third < end && caps + capFrom[third] >= needed;
                     ++third) {
                    if (!skip(third))
                        f(SetCode(firstWord.id, secondWord.id, ranked[third].id),
                          firstWord.count + secondWord.count + countFrom[third]);
                }
            }
        }
    }

    // How many sets ForEachSet(setSize, needed, false, ...) calls f with.
    quint64 CountSets(int setSize, quint32 needed) const {
        // The places from which the caps are worth at least `worth`: a first stretch of them.
        const auto reaching = [this](quint32 worth) {
            size_t end = 0;
            while (end < rankedCount && capFrom[end] >= worth)
                ++end;
            return end;
        };
        quint64 sets = 0;
        for (size_t first = 0; first + 1 < rankedCount && capFrom[first] >= needed; ++first) {
            if (!ranked[first].common)
                continue;
            const quint32 firstCap = ranked[first].cap;
            if (setSize == 2) {
                sets += std::max(reaching(needed - std::min(needed, firstCap)), first + 1) -
                        (first + 1);
                continue;
            }
            for (size_t second = first + 1;
                 second < rankedCount && firstCap + capFrom[second] >= needed; ++second) {
                const quint32 caps = firstCap + ranked[second].cap;
                sets +=
                    std::max(reaching(needed - std::min(needed, caps)), second + 1) - (second + 1);
            }
        }
        return sets;
    }

    // Calls f(code, worth) for every set the ranked name lists; worth: the set's worth by counts
    // when the name reads it as an anchor, else 0.
    template <typename F>
    void ForEachListedSet(const PreparedNames& names, int name, quint8 reads, F f) const {
        const int words = names.WordCount(name);
        const quint32 needed = Needed(words);
        for (int setSize = 2; setSize <= 3; ++setSize) {
            if (words <= (setSize == 2 ? maxPairedWords : maxTripledWords)) {
                ForEachSet(setSize, needed, true, [&](quint64 code, quint32 worth) {
                    f(code, setSize == reads && worth >= needed ? worth : 0);
                });
            }
        }
    }

    // The size of the sets a name reads as an anchor, or 0 when it counts: triples when no two
    // of its words reach `needed`, pairs when no one word does, and only when every name that can
    // be similar to it (fewer than twice its words) lists them.
    int FindProbeSize(const PreparedNames& names, int name) const {
        const int words = names.WordCount(name);
        const quint32 needed = Needed(words);
        quint32 top[2] = {0, 0};
        for (const PreparedNames::Word& word : names.Words(name)) {
            if (word.count > top[0])
                top[1] = std::exchange(top[0], word.count);
            else
                top[1] = std::max(top[1], word.count);
        }
        if (top[0] + top[1] < needed && 2 * words - 1 <= maxTripledWords)
            return 3;
        if (top[0] < needed && 2 * words - 1 <= maxPairedWords)
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
    // Names looked at together by the steps that read all their sets.
    static constexpr int Batch = 64;

    // Collects the codes of the sets of names [firstName, endName) that list sets.
    void CollectCodes(const PreparedNames& names, const std::vector<quint8>& probeSizes,
                      int firstName, int endName) {
        codes.clear();
        for (int name = firstName; name < endName; ++name) {
            if (!ListsSets(names, name))
                continue;
            Rank(names, name);
            ForEachListedSet(names, name, probeSizes[size_t(name)],
                             [this](quint64 code, quint32 worth) {
                                 codes.push_back({code, worth});
                             });
        }
    }

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

// What BuildLists carries from step to step.
struct SimilarIndex::KeyedSets {
    std::vector<quint32> listed;    // key -> how many names it lists, then where the next goes
    std::vector<quint32> setStart;  // name -> its first key in setKeys
    std::vector<quint32> setKeys;  // the keys of every name's sets, kept until the lists are filled
    // A batch of names: where each name's codes and rare words start, and its rare words with
    // their worth.
    std::vector<quint32> codeStart = std::vector<quint32>(Sets::Batch + 1);
    std::vector<quint32> rareStart = std::vector<quint32>(Sets::Batch + 1);
    std::vector<std::pair<quint32, quint32>> rare;
};

SimilarIndex::SimilarIndex(const QLocale& locale)
    : prepared(locale), sets_(std::make_unique<Sets>()) {}

SimilarIndex::~SimilarIndex() = default;

bool SimilarIndex::BuildKeys(Breather& breather) {
    return CountWords(breather) && ChooseSetLimits(breather) && FindSharedBuckets(breather) &&
           BuildLists(breather);
}

bool SimilarIndex::NumberNames(const Global& global, Breather& breather) {
    return FindDistinctNames(global, breather) && NumberByLastOccurrence(breather) &&
           ListOccurrences(breather) && PrepareNames(global, breather);
}

bool SimilarIndex::FindDistinctNames(const Global& global, Breather& breather) {
    const int files = int(global.inventory.FileCount());
    nameOf.resize(size_t(files));
    // Distinct names first, with their characters and words in all, so the prepared names can
    // take room for everything at once: growing a list of a million words by itself would copy
    // it all between two pending-events calls.
    // Views of the inventory's names: freeing a million copies would take a while too.
    QHash<QStringView, int> numbers;
    numbers.reserve(files);
    for (int entry = 0; entry < files; ++entry) {
        if (!breather.Step())
            return false;
        const QString& name = global.inventory.FileNames.at(entry);
        auto it = numbers.find(name);
        if (it == numbers.end()) {
            it = numbers.insert(name, nameCount_++);
            nameCharacters_ += name.size();
            nameWords_ += std::count(name.begin(), name.end(), u' ') + 1;
        }
        nameOf[size_t(entry)] = *it;
    }
    return true;
}

bool SimilarIndex::NumberByLastOccurrence(Breather& breather) {
    if (!breather.Now())
        return false;
    std::vector<int> number(size_t(nameCount_), -1);
    int next = 0;
    for (int entry = int(nameOf.size()) - 1; entry >= 0; --entry) {
        if (!breather.Step())
            return false;
        int& name = number[size_t(nameOf[size_t(entry)])];
        if (name < 0)
            name = next++;
        nameOf[size_t(entry)] = name;
    }
    return true;
}

bool SimilarIndex::ListOccurrences(Breather& breather) {
    if (!breather.Now())
        return false;
    const int files = int(nameOf.size());
    occStart.assign(size_t(nameCount_) + 1, 0);
    for (const int name : nameOf)
        ++occStart[size_t(name) + 1];
    for (int name = 0; name < nameCount_; ++name)
        occStart[size_t(name) + 1] += occStart[size_t(name)];
    if (!breather.Now())
        return false;
    occ.resize(size_t(files));
    {
        std::vector<int> fill(occStart.begin(), occStart.end() - 1);
        for (int entry = 0; entry < files; ++entry) {
            if (!breather.Step())
                return false;
            occ[size_t(fill[size_t(nameOf[size_t(entry)])]++)] = entry;
        }
    }
    lastOcc.resize(size_t(nameCount_));
    for (int name = 0; name < nameCount_; ++name)
        lastOcc[size_t(name)] = occ[size_t(occStart[size_t(name) + 1] - 1)];
    return true;
}

bool SimilarIndex::PrepareNames(const Global& global, Breather& breather) {
    if (!breather.Now())
        return false;
    prepared.Reserve(nameCount_, nameCharacters_, nameWords_);
    if (!breather.Now())
        return false;
    for (int name = 0; name < nameCount_; ++name) {
        if (!breather.Step())
            return false;
        prepared.Add(global.inventory.FileNames.at(lastOcc[size_t(name)]));
    }
    return breather.Now();
}

bool SimilarIndex::CountWords(Breather& breather) {
    Sets& sets = *sets_;
    const int names = prepared.NameCount();
    const size_t words = size_t(prepared.DistinctWordCount());
    sets.frequency.assign(words, 0);
    sets.cap.assign(words, 1);
    info.resize(size_t(names));
    found.assign(size_t(names) / 64 + 1, 0);
    for (int name = 0; name < names; ++name) {
        if (!breather.Step(qint64(prepared.Words(name).size())))
            return false;
        quint64 signature = 0;
        for (const PreparedNames::Word& word : prepared.Words(name)) {
            ++sets.frequency[word.id];
            sets.cap[word.id] = quint16(std::clamp<quint32>(word.count, sets.cap[word.id], 65535));
            signature |= quint64(1) << SignatureBit(word.id);
        }
        const std::span<const PreparedNames::Word> distinct = prepared.Words(name);
        info[size_t(name)] = {signature, distinct.data(), quint32(distinct.size()), -1,
                              quint32(prepared.WordCount(name))};
    }
    // Words in fewer names are read from their own list, never as the first of a set: an anchor
    // reads at most this many candidates per rare word, most of them turned away by their
    // signature, while every set listed costs each name that has it. Small inventories list sets
    // sooner.
    sets.commonWord = quint32(std::clamp(names / 64, 8, 128));
    sets.commonWords.resize(size_t(names));
    for (int name = 0; name < names; ++name) {
        if (!breather.Step(qint64(prepared.Words(name).size())))
            return false;
        int common = 0;
        for (const PreparedNames::Word& word : prepared.Words(name))
            common += sets.Common(word.id);
        sets.commonWords[size_t(name)] = quint8(std::min(common, 255));
    }
    return breather.Now();
}

bool SimilarIndex::ChooseSetLimits(Breather& breather) {
    Sets& sets = *sets_;
    sets.maxPairedWords = sets.maxTripledWords = Sets::MaxSetWords;
    std::vector<int> wordsStart, byWords;
    if (!SortByWordCount(wordsStart, byWords, breather) ||
        !FindLongestWithinBudget(wordsStart, byWords, breather) || !ChooseProbeSizes(breather))
        return false;
    // About as many buckets as sets listed; for a few sets, four times as many, so that sets
    // rarely share a bucket even then.
    const quint64 listed = sets.setsListed;
    sets.bucketBits = std::clamp(int(std::bit_width(listed < (1 << 16) ? 4 * listed : listed)), 12,
                                 Sets::MaxBucketBits);
    return breather.Now();
}

// The names that may list sets by their word count: those with w words are
// byWords[wordsStart[w]] to byWords[wordsStart[w + 1]].
bool SimilarIndex::SortByWordCount(std::vector<int>& wordsStart, std::vector<int>& byWords,
                                   Breather& breather) {
    const Sets& sets = *sets_;
    const int names = prepared.NameCount();
    wordsStart.assign(Sets::MaxSetWords + 2, 0);
    for (int name = 0; name < names; ++name) {
        if (!breather.Step())
            return false;
        if (sets.ListsSets(prepared, name))
            ++wordsStart[size_t(prepared.WordCount(name)) + 1];
    }
    for (size_t w = 1; w < wordsStart.size(); ++w)
        wordsStart[w] += wordsStart[w - 1];
    byWords.resize(size_t(wordsStart.back()));
    std::vector<int> fill(wordsStart.begin(), wordsStart.end() - 1);
    for (int name = 0; name < names; ++name) {
        if (!breather.Step())
            return false;
        if (sets.ListsSets(prepared, name))
            byWords[size_t(fill[size_t(prepared.WordCount(name))]++)] = name;
    }
    return breather.Now();
}

// Names are taken by word count, fewest first, as long as their sets stay within the budget:
// each costs 8 bytes, and a look by every anchor that reads it.
bool SimilarIndex::FindLongestWithinBudget(const std::vector<int>& wordsStart,
                                           const std::vector<int>& byWords, Breather& breather) {
    Sets& sets = *sets_;
    const quint64 budget = 48 * quint64(prepared.NameCount()) + (1 << 16);
    quint64 setCounts[2] = {0, 0};  // pairs and triples of the names so far
    int longest[2] = {0, 0};
    bool open[2] = {true, true};
    for (int words = 2; words <= Sets::MaxSetWords && (open[0] || open[1]); ++words) {
        const int begin = wordsStart[size_t(words)], end = wordsStart[size_t(words) + 1];
        // The sets of all common words at most, and only if that is over the budget, counted.
        quint64 most[2] = {setCounts[0], setCounts[1]};
        for (int i = begin; i < end; ++i) {
            if (!breather.Step())
                return false;
            const quint64 common = sets.commonWords[size_t(byWords[size_t(i)])];
            most[0] += common * (common - 1) / 2;
            most[1] += common * (common - 1) * (common - 2) / 6;
        }
        if ((open[0] && most[0] > budget) || (open[1] && most[1] > budget)) {
            for (int i = begin; i < end; ++i) {
                sets.Rank(prepared, byWords[size_t(i)]);
                for (int setSize = 2; setSize <= 3; ++setSize) {
                    if (open[setSize - 2])
                        setCounts[setSize - 2] += sets.CountSets(setSize, Needed(words));
                }
                if (!breather.Step(qint64(sets.rankedCount) * qint64(sets.rankedCount)))
                    return false;
            }
        } else {
            setCounts[0] = most[0];
            setCounts[1] = most[1];
        }
        for (int k = 0; k < 2; ++k) {
            open[k] = open[k] && setCounts[k] <= budget;
            if (open[k])
                longest[k] = words;
        }
    }
    sets.maxPairedWords = longest[0];
    sets.maxTripledWords = longest[1];
    sets.setsListed = setCounts[0] + setCounts[1];
    return true;
}

// Which sets each anchor reads, and the words of those that read pairs, and triples.
bool SimilarIndex::ChooseProbeSizes(Breather& breather) {
    Sets& sets = *sets_;
    const int names = prepared.NameCount();
    sets.readBy.assign(size_t(prepared.DistinctWordCount()), 0);
    probeSize.resize(size_t(names));
    for (int name = 0; name < names; ++name) {
        if (!breather.Step())
            return false;
        const int setSize = sets.FindProbeSize(prepared, name);
        probeSize[size_t(name)] = quint8(setSize);
        if (setSize > 0) {
            for (const PreparedNames::Word& word : prepared.Words(name))
                sets.readBy[word.id] |= quint8(1 << (setSize - 2));
        }
    }
    return true;
}

bool SimilarIndex::FindSharedBuckets(Breather& breather) {
    Sets& sets = *sets_;
    const int names = prepared.NameCount();
    // The buckets that some name reads and another lists too (a name reads only sets it lists
    // itself): only those get a list.
    std::vector<quint64> shared(size_t(1) << (sets.bucketBits - 6), 0);
    {
        // Of every 64 buckets, those listed once, twice and read, side by side.
        struct Seen {
            quint64 once, twice, read;
        };
        std::vector<Seen> seen(shared.size(), {0, 0, 0});
        for (int first = 0; first < names; first += Sets::Batch) {
            const int end = std::min(names, first + Sets::Batch);
            sets.CollectCodes(prepared, probeSize, first, end);
            // The blocks a few codes ahead are fetched early: at a million names they are
            // rarely in the cache.
            constexpr size_t Ahead = 16;
            for (size_t i = 0; i < sets.codes.size(); ++i) {
                if (i + Ahead < sets.codes.size())
                    FetchEarly(&seen[sets.Bucket(sets.codes[i + Ahead].code) / 64]);
                const Sets::Code& code = sets.codes[i];
                const size_t b = sets.Bucket(code.code);
                const quint64 bit = quint64(1) << (b % 64);
                Seen& block = seen[b / 64];
                block.twice |= block.once & bit;
                block.once |= bit;
                if (code.worth > 0)
                    block.read |= bit;
            }
            if (!breather.Step(qint64(sets.codes.size()) + (end - first)))
                return false;
        }
        for (size_t i = 0; i < seen.size(); ++i)
            shared[i] = seen[i].twice & seen[i].read;
    }
    if (!breather.Now())
        return false;
    sets.buckets.resize(shared.size());
    for (size_t i = 0; i < shared.size(); ++i) {
        sets.buckets[i] = {shared[i], sets.sharedBuckets};
        sets.sharedBuckets += quint32(BitCount(shared[i]));
    }
    if (!breather.Now())
        return false;
    // Most sets listed have no key; a filter of about a byte a key, small enough to stay in the
    // processor's cache, answers for most of them without a look at the buckets.
    sets.filter.assign(std::bit_ceil(size_t(sets.sharedBuckets) / 8 + 1), 0);
    for (size_t i = 0; i < shared.size(); ++i) {
        for (quint64 bits = shared[i]; bits != 0; bits &= bits - 1) {
            const Sets::FilterPlace place =
                sets.FilterPlaceOf(i * 64 + size_t(std::countr_zero(bits)));
            sets.filter[place.word] |= place.bits;
        }
    }
    return breather.Now();
}

bool SimilarIndex::BuildLists(Breather& breather) {
    KeyedSets keyed;
    return KeyEverySet(keyed, breather) && LayOutLists(keyed, breather) &&
           FillLists(keyed, breather) && CopyLiveLists(breather);
}

// How many names each key lists, what each anchor reads, and the keys of every name's sets.
bool SimilarIndex::KeyEverySet(KeyedSets& keyed, Breather& breather) {
    Sets& sets = *sets_;
    const int names = prepared.NameCount();
    keyed.listed.assign(sets.frequency.size() + sets.sharedBuckets, 0);
    std::copy(sets.frequency.begin(), sets.frequency.end(), keyed.listed.begin());
    keyed.setStart.assign(size_t(names) + 1, 0);
    probeStart.assign(size_t(names) + 1, 0);
    // Names a batch at a time: first their sets' codes, then all the look-ups, then the counts,
    // so that the looks at memory do not wait for each other.
    for (int first = 0; first < names; first += Sets::Batch) {
        const int end = std::min(names, first + Sets::Batch);
        CollectBatch(first, end, keyed);
        sets.keys.resize(sets.codes.size());
        for (size_t i = 0; i < sets.codes.size(); ++i) {
            if (i + 16 < sets.codes.size())
                sets.FetchKeyEarly(sets.codes[i + 16].code);
            sets.keys[i] = sets.SetKey(sets.codes[i].code);
        }
        for (const quint32 key : sets.keys) {
            if (key != Sets::NoKey)
                ++keyed.listed[key];
        }
        RecordBatch(first, end, keyed);
        if (!breather.Step(qint64(sets.codes.size() + keyed.rare.size()) + (end - first)))
            return false;
    }
    probeStart[size_t(names)] = quint32(probeKeys.size());
    keyed.setStart[size_t(names)] = quint32(keyed.setKeys.size());
    return breather.Now();
}

// The codes of the sets that names [firstName, endName) list, and the rare words that anchors
// among them read: a rare rarest shared word is read from its own list.
void SimilarIndex::CollectBatch(int firstName, int endName, KeyedSets& keyed) {
    Sets& sets = *sets_;
    sets.codes.clear();
    keyed.rare.clear();
    for (int name = firstName; name < endName; ++name) {
        keyed.codeStart[size_t(name - firstName)] = quint32(sets.codes.size());
        keyed.rareStart[size_t(name - firstName)] = quint32(keyed.rare.size());
        const int reads = probeSize[size_t(name)];
        const bool listsSets = sets.sharedBuckets > 0 && sets.ListsSets(prepared, name);
        if (reads == 0 && !listsSets)
            continue;
        sets.Rank(prepared, name);
        const quint32 needed = Needed(prepared.WordCount(name));
        for (size_t i = 0; reads > 0 && i < sets.rankedCount && sets.countFrom[i] >= needed; ++i) {
            if (!sets.ranked[i].common)
                keyed.rare.emplace_back(sets.ranked[i].id, sets.countFrom[i]);
        }
        if (listsSets) {
            sets.ForEachListedSet(prepared, name, quint8(reads),
                                  [&sets](quint64 code, quint32 worth) {
                                      sets.codes.push_back({code, worth});
                                  });
        }
    }
    keyed.codeStart[size_t(endName - firstName)] = quint32(sets.codes.size());
    keyed.rareStart[size_t(endName - firstName)] = quint32(keyed.rare.size());
}

// Each name's keys of the batch: those it reads as an anchor, and the sets it is listed under.
void SimilarIndex::RecordBatch(int firstName, int endName, KeyedSets& keyed) {
    const Sets& sets = *sets_;
    for (int name = firstName; name < endName; ++name) {
        const size_t place = size_t(name - firstName);
        probeStart[size_t(name)] = quint32(probeKeys.size());
        keyed.setStart[size_t(name)] = quint32(keyed.setKeys.size());
        for (quint32 i = keyed.rareStart[place]; i < keyed.rareStart[place + 1]; ++i) {
            probeKeys.push_back(keyed.rare[i].first);
            probeWorth.push_back(quint8(keyed.rare[i].second));
        }
        for (quint32 i = keyed.codeStart[place]; i < keyed.codeStart[place + 1]; ++i) {
            if (sets.keys[i] == Sets::NoKey)
                continue;
            keyed.setKeys.push_back(sets.keys[i]);
            if (sets.codes[i].worth > 0) {
                probeKeys.push_back(sets.keys[i]);
                probeWorth.push_back(quint8(sets.codes[i].worth));
            }
        }
    }
}

// The bounds of every key's list from the counts. Fresh memory costs a page fault a page: the
// lists of a million names are laid out one at a time, with events between.
bool SimilarIndex::LayOutLists(KeyedSets& keyed, Breather& breather) {
    const size_t keyCount = keyed.listed.size();
    lists.resize(keyCount + 1);
    lists[0].start = 0;
    for (size_t key = 0; key < keyCount; ++key)
        lists[key].liveEnd = lists[key + 1].start = lists[key].start + keyed.listed[key];
    lists[keyCount].first = NoName;
    if (!breather.Now())
        return false;
    byLatest.resize(lists.back().start);
    return breather.Now();
}

// Every name under its words and its sets' keys, in name order; then each list's head beside its
// bounds.
bool SimilarIndex::FillLists(KeyedSets& keyed, Breather& breather) {
    const size_t keyCount = keyed.listed.size();
    std::vector<quint32>& next = keyed.listed;
    for (size_t key = 0; key < keyCount; ++key)
        next[key] = lists[key].start;
    for (int name = 0; name < prepared.NameCount(); ++name) {
        if (!breather.Step(qint64(prepared.Words(name).size())))
            return false;
        for (const PreparedNames::Word& word : prepared.Words(name))
            byLatest[next[word.id]++] = name;
        for (quint32 i = keyed.setStart[size_t(name)]; i < keyed.setStart[size_t(name) + 1]; ++i)
            byLatest[next[keyed.setKeys[i]]++] = name;
    }
    std::vector<quint32>().swap(keyed.setKeys);
    std::vector<quint32>().swap(keyed.listed);
    if (!breather.Now())
        return false;
    for (size_t key = 0; key < keyCount; ++key) {
        Bounds& bounds = lists[key];
        bounds.first = bounds.start < lists[key + 1].start ? byLatest[bounds.start] : NoName;
    }
    return breather.Now();
}

// The live lists start as copies.
bool SimilarIndex::CopyLiveLists(Breather& breather) {
    live.resize(byLatest.size());
    for (size_t i = 0; i < byLatest.size(); i += 1 << 18) {
        if (!breather.Now())
            return false;
        const size_t end = std::min(byLatest.size(), i + (1 << 18));
        std::copy(byLatest.begin() + qsizetype(i), byLatest.begin() + qsizetype(end),
                  live.begin() + qsizetype(i));
    }
    return breather.Now();
}

}  // namespace tallyrook
