#pragma once

#include <QLocale>
#include <memory>
#include <optional>
#include <vector>

#include "match/similar_index.h"

namespace tallyrook {

class Breather;
class Global;

// The similar pass's look-ups. A pair (a, b), a < b, matches when the names differ and the
// anchor's name is similar to the partner's. Whether it does depends only on the two names, so
// the work is done on distinct names, each with its occurrences in inventory order.
//
// At the first occurrence of a name the pass finds every similar name not found before and lists
// all its occurrences after the anchor. Found names leave the candidate lists for good, since
// anchors only look forward; later occurrences only need the latest occurrence of any similar
// name, found once per name. Candidates come from a SimilarIndex. Why nothing is missed:
// docs/design/similar-names.md.
class SimilarSearch {
public:
    explicit SimilarSearch(const QLocale& locale);
    ~SimilarSearch();
    SimilarSearch(const SimilarSearch&) = delete;
    SimilarSearch& operator=(const SimilarSearch&) = delete;

    // False when the run was abandoned meanwhile.
    bool Prepare(const Global& global, Breather& breather);

    int NameOf(int entry) const { return index_.nameOf[size_t(entry)]; }
    bool IsFirstOccurrence(int entry) const {
        return index_.occ[size_t(index_.occStart[size_t(NameOf(entry))])] == entry;
    }
    // Whether a pair (entry, b) with b > entry matches, for any occurrence of the entry's name.
    bool HasMatchAfter(int entry) const { return LatestMatch(entry) > entry; }
    int LatestMatch(int entry) const { return latestSimilar_[size_t(NameOf(entry))]; }

    // At the first occurrence of its name: the partners of the entry that no earlier anchor could
    // have listed, in inventory order. Null when the run was abandoned meanwhile.
    const std::vector<int>* FirstProbe(int entry, Breather& breather);

    // Whether a name similar to the entry's occurs after it and before `end`; nothing when the
    // run was abandoned meanwhile.
    std::optional<bool> HasMatchBetween(int entry, int end, Breather& breather);

private:
    struct Probe;

    // The number of names that occur after an entry: names are numbered by their last
    // occurrence, latest first, so these are the names below that number.
    int NamesAfter(int entry);
    // What the anchor reads.
    void SelectProbe(int anchor);
    // What every name that occurs after the entry shares with the anchor, over the lists of the
    // anchor's words; false when abandoned.
    bool CountShares(int anchor, int entry, Breather& breather);
    bool SharesEnough(int anchor, int candidate, quint32 shares) const;

    // The steps of FirstProbe: each lowers `latest` to the similar name found latest, and false
    // when abandoned.
    bool ProbeByCounting(int anchor, int entry, int& latest, Breather& breather);
    bool ProbeLists(int anchor, int entry, int current, int& latest, Breather& breather);
    bool FindLatestSimilar(int anchor, int& latest, Breather& breather);
    // Marks a similar name found and lists its occurrences after the entry.
    void AddPartners(int candidate, int entry);

    SimilarIndex index_;
    std::unique_ptr<Probe> probe_;
    std::vector<int> latestSimilar_;  // latest occurrence of a name similar to it, or -1
    std::vector<int> partners_;
    int afterEntry_ = -1;  // NamesAfter's last question and answer
    int afterNames_ = 0;
    // Counting: what each name shares with the anchor, and the names that share anything.
    std::vector<quint32> shares_;
    std::vector<int> counted_;
};

}  // namespace tallyrook
