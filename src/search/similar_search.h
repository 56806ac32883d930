#pragma once

#include <QHash>
#include <QLocale>
#include <limits>
#include <optional>
#include <vector>

#include "search/similarity.h"

namespace tallyrook {

class Breather;
class Global;

// The similar pass. A pair (a, b), a < b, matches when the names differ and the anchor's name
// is similar to the partner's. Whether it does depends only on the two names, so the work is
// done on distinct names, each with its occurrences in inventory order.
//
// At the first occurrence a of a name u the pass finds every name v similar to u that has not
// been found before and lists all occurrences of v after a. Found names leave the candidate index
// for good: all their later occurrences are listed, and anchors only look forward. So later
// occurrences of u never add partners, and only need to know whether any similar name occurs
// after them (the latest such occurrence, found once per name).
//
// Candidates come from an index whose keys are upper-cased words and sets of two or three of
// them; a probe reads the lists of a few keys that every similar name must have. Words are ranked
// rarest first (fewest names, then word number), the same order for every name.
// - u has no repeated word and d >= 2 words: a similar v shares more than half of them, at least
//   t = d / 2 + 1 distinct words, and more than half of its own W words. The k rarest shared
//   words sit within u's first d + k - 1 - t ranks, and within v's first d' + k - 1 - s (d'
//   distinct words, s = max(k, W / 2 + 1)). So v lists its sets of k words from that range, and
//   u probes its own: triples when t >= 3 (in sets like "a1 b2 c3 d4" even a pair is common),
//   pairs otherwise. A set begins with a common word; a rare rarest shared word is found through
//   its own short list, which u probes instead.
// - Otherwise (a repeated word counts more than once): u probes its rarest words that make up at
//   least half of its words; without one of them too few could match.
// Either way a partner has fewer than twice the anchor's words.
class SimilarSearch {
public:
    explicit SimilarSearch(const QLocale& locale) : prepared_(locale) {}

    // False when the run was abandoned meanwhile.
    bool Prepare(const Global& global, Breather& breather);

    int NameOf(int k) const { return nameOf_[size_t(k)]; }
    bool IsFirstOccurrence(int k) const { return occ_[occStart_[size_t(NameOf(k))]] == k; }
    // Whether a pair (a, b) with b > a matches, for any occurrence a of its name.
    bool HasMatchAfter(int a) const { return latestSimilar_[size_t(NameOf(a))] > a; }
    int LatestMatch(int a) const { return latestSimilar_[size_t(NameOf(a))]; }

    // At the first occurrence a of its name: the partners of a that no earlier anchor could have
    // listed, in inventory order. Null when the run was abandoned meanwhile.
    const std::vector<int>* FirstProbe(int a, Breather& breather);

    // Whether a name similar to a's occurs after a and before `end`; nothing when the run was
    // abandoned meanwhile.
    std::optional<bool> HasMatchBetween(int a, int end, Breather& breather);

private:
    // Names with more distinct words list no pairs (at most 36 a name) or no triples (at most
    // 20); an anchor probes them only when none of its possible partners can have that many.
    static constexpr size_t MaxPairedWords = 15;
    static constexpr size_t MaxTripledWords = 7;

    // Two or three words, rarest first (third: none for a pair).
    struct WordSet {
        quint32 first, second, third;
        friend bool operator==(const WordSet&, const WordSet&) = default;
        friend size_t qHash(const WordSet& set, size_t seed) {
            return qHashMulti(seed, set.first, set.second, set.third);
        }
    };

    // Calls f for every set of k (2 or 3) ranked words whose rarest is common and whose positions
    // are at most `last`.
    template <typename F>
    void ForEachWordSet(size_t k, size_t last, F f) const;
    static constexpr quint32 NoWord = std::numeric_limits<quint32>::max();

    int LastOcc(int u) const { return occ_[occStart_[size_t(u) + 1] - 1]; }
    bool Common(quint32 word) const { return frequency_[word] >= commonWord_; }

    // The distinct words of u, rarest first.
    void RankWords(int u);

    // The keys whose lists hold every name similar to u (see the class comment).
    void SelectProbe(int u);

    PreparedNames prepared_;
    std::vector<int> nameOf_;         // entry -> name number
    std::vector<int> occStart_;       // name -> its first index in occ_
    std::vector<int> occ_;            // entries of each name, in inventory order
    std::vector<quint32> frequency_;  // word -> number of names containing it
    quint32 commonWord_ = 8;
    QHash<WordSet, quint32> setKeys_;  // keys below the word count are words, the rest sets
    std::vector<quint32> postStart_;   // key -> its first index in live_ and byLatest_
    std::vector<int> live_;            // names with the key, not found yet
    std::vector<quint32> liveEnd_;
    std::vector<int> byLatest_;  // names with the key, latest last occurrence first
    std::vector<char> found_;
    std::vector<int> stamp_;          // the anchor name that last looked at a name
    std::vector<int> latestSimilar_;  // latest occurrence of a name similar to it, or -1

    std::vector<PreparedNames::Word> byRarity_;
    std::vector<quint32> probe_;
    std::vector<int> partners_;
};

}  // namespace tallyrook
