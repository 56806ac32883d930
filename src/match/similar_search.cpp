#include "match/similar_search.h"

#include <algorithm>
#include <bit>
#include <span>
#include <utility>

#include "search/breather.h"

namespace tallyrook {

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

    // Whether the candidate can share more than half of the larger word count, by the
    // signatures.
    bool MayBeSimilar(const SimilarIndex::NameInfo& candidate) const {
        quint32 most = 0;
        for (quint64 both = signature & candidate.signature; both != 0; both &= both - 1)
            most += worthAt[std::countr_zero(both)];
        return 2 * quint64(most) > std::max(words, quint32(candidate.words));
    }
    // Whether the anchor's name is similar to the candidate's.
    bool IsSimilar(const SimilarIndex::NameInfo& candidate) const {
        return MayBeSimilar(candidate) &&
               PreparedNames::SimilarWords(distinctWords, words,
                                           {candidate.distinctWords, candidate.distinctCount},
                                           candidate.words);
    }
};

SimilarSearch::SimilarSearch(const QLocale& locale)
    : index_(locale), probe_(std::make_unique<Probe>()) {}

SimilarSearch::~SimilarSearch() = default;

bool SimilarSearch::Prepare(const Global& global, Breather& breather) {
    if (!index_.NumberNames(global, breather))
        return false;
    afterEntry_ = -1;
    afterNames_ = index_.prepared.NameCount();
    latestSimilar_.assign(size_t(afterNames_), -1);
    return index_.BuildKeys(breather);
}

int SimilarSearch::NamesAfter(int entry) {
    const std::vector<int>& lastOcc = index_.lastOcc;
    // The pass asks about entries in inventory order, mostly: a cursor moves down the names.
    if (entry < afterEntry_) {
        afterEntry_ = entry;
        afterNames_ = int(std::partition_point(lastOcc.begin(), lastOcc.end(),
                                               [entry](int last) { return last > entry; }) -
                          lastOcc.begin());
    }
    for (; afterEntry_ < entry; ++afterEntry_) {
        if (afterNames_ > 0 && lastOcc[size_t(afterNames_ - 1)] == afterEntry_ + 1)
            --afterNames_;
    }
    return afterNames_;
}

void SimilarSearch::SelectProbe(int anchor) {
    Probe& probe = *probe_;
    // Only the last anchor's bits need clearing.
    for (quint64 bits = probe.signature; bits != 0; bits &= bits - 1)
        probe.worthAt[std::countr_zero(bits)] = 0;
    probe.signature = index_.info[size_t(anchor)].signature;
    probe.words = quint32(index_.prepared.WordCount(anchor));
    probe.distinctWords = index_.prepared.Words(anchor);
    for (const PreparedNames::Word& word : index_.prepared.Words(anchor))
        probe.worthAt[SignatureBit(word.id)] += word.count;
    probe.counting = index_.probeSize[size_t(anchor)] == 0;
    probe.keys.clear();
    // At a million names the keys' bounds and the heads of their lists are rarely in the cache:
    // all are asked for before the first is read.
    const quint32 begin = index_.probeStart[size_t(anchor)],
                  end = index_.probeStart[size_t(anchor) + 1];
    for (quint32 i = begin; i < end; ++i)
        FetchEarly(&index_.lists[index_.probeKeys[i]]);
    for (quint32 i = begin; i < end; ++i) {
        const quint32 key = index_.probeKeys[i];
        const SimilarIndex::Bounds& bounds = index_.lists[key];
        FetchEarly(index_.live.data() + bounds.start);
        FetchEarly(index_.byLatest.data() + bounds.start);
        probe.keys.push_back({key, index_.probeWorth[i], bounds.start, index_.lists[key + 1].start,
                              bounds.liveEnd, bounds.first});
    }
}

bool SimilarSearch::CountShares(int anchor, int entry, Breather& breather) {
    if (shares_.empty())
        shares_.assign(size_t(index_.prepared.NameCount()), 0);
    counted_.clear();
    const int later = NamesAfter(entry);
    for (const PreparedNames::Word& word : index_.prepared.Words(anchor)) {
        for (quint32 i = index_.lists[word.id].start; i < index_.lists[word.id + 1].start; ++i) {
            if (!breather.Step())
                return false;
            const int candidate = index_.byLatest[i];
            if (candidate >= later)
                break;
            if (shares_[size_t(candidate)] == 0)
                counted_.push_back(candidate);
            shares_[size_t(candidate)] += word.count;
        }
    }
    return true;
}

bool SimilarSearch::SharesEnough(int anchor, int candidate, quint32 shares) const {
    return 2 * quint64(shares) > quint64(std::max(index_.prepared.WordCount(anchor),
                                                  index_.prepared.WordCount(candidate)));
}

const std::vector<int>* SimilarSearch::FirstProbe(int entry, Breather& breather) {
    const int anchor = NameOf(entry);
    partners_.clear();
    SelectProbe(anchor);
    const int current = NamesAfter(entry - 1);  // the names that occur at the entry or later
    // The similar name that occurs latest after the entry, if any: the lowest number, names
    // being numbered latest first. Only names that occur after the entry can be it.
    const int after = NamesAfter(entry);
    int latest = after;
    const bool done = probe_->counting ? ProbeByCounting(anchor, entry, latest, breather)
                                       : ProbeLists(anchor, entry, current, latest, breather) &&
                                             FindLatestSimilar(anchor, latest, breather);
    if (!done || !breather.Step(qint64(partners_.size())))
        return nullptr;
    std::sort(partners_.begin(), partners_.end());
    latestSimilar_[size_t(anchor)] = latest < after ? index_.lastOcc[size_t(latest)] : -1;
    return &partners_;
}

void SimilarSearch::AddPartners(int candidate, int entry) {
    index_.MarkFound(candidate);
    const int* first = index_.occ.data() + index_.occStart[size_t(candidate)];
    const int* last = index_.occ.data() + index_.occStart[size_t(candidate) + 1];
    partners_.insert(partners_.end(), std::upper_bound(first, last, entry), last);
}

bool SimilarSearch::ProbeByCounting(int anchor, int entry, int& latest, Breather& breather) {
    if (!CountShares(anchor, entry, breather))
        return false;
    for (const int candidate : counted_) {
        const quint32 shares = std::exchange(shares_[size_t(candidate)], 0);
        if (candidate == anchor || !SharesEnough(anchor, candidate, shares))
            continue;
        latest = std::min(latest, candidate);
        if (!index_.Found(candidate))
            AddPartners(candidate, entry);
    }
    return true;
}

// Every similar name not found before, from the anchor's live lists. Names found earlier drop
// out of a list as it is read, and so do names that occur no more: the list is latest first, and
// anchors only move on.
bool SimilarSearch::ProbeLists(int anchor, int entry, int current, int& latest,
                               Breather& breather) {
    for (const Probe::Key& key : probe_->keys) {
        int* out = index_.live.data() + key.start;
        for (int *next = out, *end = index_.live.data() + key.liveEnd; next != end; ++next) {
            if (!breather.Step())
                return false;
            index_.FetchCandidatesEarly(next, end);
            const int candidate = *next;
            if (candidate >= current)
                break;
            if (index_.Found(candidate))
                continue;
            *out++ = candidate;
            if (candidate == anchor)
                continue;
            SimilarIndex::NameInfo& info = index_.info[size_t(candidate)];
            if (info.stamp == anchor || info.words >= 2 * key.worth)
                continue;
            info.stamp = anchor;
            if (!probe_->IsSimilar(info))
                continue;
            latest = std::min(latest, candidate);
            AddPartners(candidate, entry);
        }
        index_.lists[key.key].liveEnd = quint32(out - index_.live.data());
    }
    return true;
}

// The latest occurrence of any similar name, found ones included: the full lists are read until
// nothing later than the best so far is left.
bool SimilarSearch::FindLatestSimilar(int anchor, int& latest, Breather& breather) {
    for (const Probe::Key& key : probe_->keys) {
        if (key.first >= latest)
            continue;
        for (quint32 i = key.start; i < key.end; ++i) {
            if (!breather.Step())
                return false;
            index_.FetchCandidatesEarly(index_.byLatest.data() + i,
                                        index_.byLatest.data() + key.end);
            const int candidate = index_.byLatest[i];
            if (candidate >= latest)
                break;
            SimilarIndex::NameInfo& info = index_.info[size_t(candidate)];
            if (candidate == anchor || info.stamp == anchor || info.words >= 2 * key.worth)
                continue;
            info.stamp = anchor;
            if (probe_->IsSimilar(info)) {
                latest = candidate;
                break;
            }
        }
    }
    return true;
}

std::optional<bool> SimilarSearch::HasMatchBetween(int entry, int end, Breather& breather) {
    const int anchor = NameOf(entry);
    SelectProbe(anchor);
    const auto occursBetween = [&](int candidate) {
        const int* occ = index_.occ.data();
        const int* last = occ + index_.occStart[size_t(candidate) + 1];
        const int* next = std::upper_bound(occ + index_.occStart[size_t(candidate)], last, entry);
        return next != last && *next < end;
    };
    if (probe_->counting) {
        if (!CountShares(anchor, entry, breather))
            return std::nullopt;
        bool found = false;
        for (const int candidate : counted_) {
            const quint32 shares = std::exchange(shares_[size_t(candidate)], 0);
            found = found || (candidate != anchor && SharesEnough(anchor, candidate, shares) &&
                              occursBetween(candidate));
        }
        return found;
    }
    const int later = NamesAfter(entry);
    for (const Probe::Key& key : probe_->keys) {
        for (quint32 i = key.start; i < key.end; ++i) {
            if (!breather.Step())
                return std::nullopt;
            const int candidate = index_.byLatest[i];
            if (candidate >= later)
                break;
            if (candidate == anchor || index_.info[size_t(candidate)].words >= 2 * key.worth)
                continue;
            if (occursBetween(candidate) && probe_->IsSimilar(index_.info[size_t(candidate)]))
                return true;
        }
    }
    return false;
}

}  // namespace tallyrook
