#pragma once

#include <QLocale>
#include <memory>
#include <optional>
#include <vector>

#include "match/similarity.h"

namespace tallyrook {

class Breather;
class Global;

// The similar pass. A pair (a, b), a < b, matches when the names differ and the anchor's name
// is similar to the partner's. Whether it does depends only on the two names, so the work is
// done on distinct names, each with its occurrences in inventory order.
//
// At the first occurrence a of a name u the pass finds every name v similar to u that has not
// been found before and lists all occurrences of v after a. Found names leave the candidate lists
// for good: all their later occurrences are listed, and anchors only look forward. So later
// occurrences of u never add partners, and only need to know whether any similar name occurs
// after them: the latest such occurrence, found once per name. Names are numbered by their last
// occurrence, latest first, and so are the lists: a list is read only as far as names still
// occur after the anchor, or occur later than the best found so far.
//
// Candidates come from lists of names under keys: upper-cased words, and sets of two or three of
// them (a set-similarity join with prefix filtering). Words are ranked rarest first (fewest
// names, then word number), the same order for every name. With u's words in that order, each
// worth its count in u (a repeated word counts each time), a similar v shares words worth at
// least t = W / 2 + 1 of u's W words, and more than half of v's own word count. So if s1, s2, s3
// are the rarest shared words, u's words from s1 on are worth t or more, c(s1) + (u's words from
// s2 on) >= t and c(s1) + c(s2) + (u's words from s3 on) >= t; and v has fewer than twice that
// sum of words. v lists its sets by the same rule against its own word count, each word weighted
// by the most times any name has it, since the anchor's counts are not known then.
// - A rare rarest shared word is found through its own list, which is short and lists every name.
// - Otherwise u reads the sets of three common words that can be its rarest shared words when no
//   two of its words are worth t (a similar name shares three), else such pairs when no one word
//   is. Names with few enough words for the inventory's budget of sets list theirs, and u reads
//   sets only if every name that could be similar to it (fewer than 2W words) lists them. Sets
//   are hashed into buckets; only a bucket that some name reads and another lists gets a list.
// - Otherwise u counts, over the lists of all its words, what each name shares with it.
// A candidate's words are first checked against a 64-bit signature of the anchor's words.
class SimilarSearch {
public:
    explicit SimilarSearch(const QLocale& locale);
    ~SimilarSearch();
    SimilarSearch(const SimilarSearch&) = delete;
    SimilarSearch& operator=(const SimilarSearch&) = delete;

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
    struct Index;
    struct Probe;

    // The steps of Prepare; each false when the run was abandoned meanwhile.
    bool NumberNames(const Global& global, Breather& breather);
    bool CountWords(Breather& breather);
    bool ChooseSetLimits(Breather& breather);
    bool FindSharedBuckets(Breather& breather);
    bool BuildLists(Breather& breather);

    // The number of names that occur after entry k: names are numbered by their last occurrence,
    // latest first, so these are the names below that number.
    int NamesAfter(int k);
    // What u reads as an anchor at entry a.
    void SelectProbe(int u);
    // What every name that occurs after entry a shares with u, over the lists of u's words;
    // false when abandoned.
    bool CountShares(int u, int a, Breather& breather);
    bool SharesEnough(int u, int v, quint32 shares) const;

    PreparedNames prepared_;
    std::vector<int> nameOf_;         // entry -> name number
    std::vector<int> occStart_;       // name -> its first index in occ_
    std::vector<int> occ_;            // entries of each name, in inventory order
    std::vector<int> lastOcc_;        // name -> its last entry
    std::vector<int> latestSimilar_;  // latest occurrence of a name similar to it, or -1
    std::vector<int> partners_;
    int afterEntry_ = -1;  // NamesAfter's last question and answer
    int afterNames_ = 0;
    std::unique_ptr<Index> index_;
    std::unique_ptr<Probe> probe_;
};

}  // namespace tallyrook
