#include "search/similar_search.h"

#include <algorithm>

#include "search/breather.h"
#include "shared/global.h"

namespace tallyrook {

template <typename F>
void SimilarSearch::ForEachWordSet(size_t k, size_t last, F f) const {
    const auto id = [this](size_t i) { return byRarity_[i].id; };
    for (size_t i1 = 0; i1 + k - 1 <= last; ++i1) {
        if (!Common(id(i1)))
            continue;
        for (size_t i2 = i1 + 1; i2 + k - 2 <= last; ++i2) {
            if (k == 2) {
                f(WordSet{id(i1), id(i2), NoWord});
                continue;
            }
            for (size_t i3 = i2 + 1; i3 <= last; ++i3)
                f(WordSet{id(i1), id(i2), id(i3)});
        }
    }
}

bool SimilarSearch::Prepare(const Global& global, Breather& breather) {
    const int n = int(global.inventory.FileCount());
    nameOf_.resize(size_t(n));
    // Distinct names first, with their characters and words in all, so the prepared names can
    // take room for everything at once: growing a list of a million words by itself would copy
    // it all between two pending-events calls.
    std::vector<int> firstEntry;
    qsizetype nameCharacters = 0, nameWords = 0;
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
                it = numbers.insert(name, int(firstEntry.size()));
                firstEntry.push_back(k);
                nameCharacters += name.size();
                nameWords += name.count(u' ') + 1;
            }
            nameOf_[size_t(k)] = *it;
        }
    }
    if (!breather.Now())
        return false;
    prepared_.Reserve(qsizetype(firstEntry.size()), nameCharacters, nameWords);
    if (!breather.Now())
        return false;
    for (const int k : firstEntry) {
        if (!breather.Step())
            return false;
        prepared_.Add(global.inventory.FileNames.at(k));
    }
    if (!breather.Now())
        return false;
    const int m = prepared_.NameCount();
    // Words in fewer names are read from their own list, never first in a set: an anchor
    // reads at most this many candidates per rare word, while every set listed costs each
    // name that has it a table look-up. Small inventories list sets sooner.
    commonWord_ = quint32(std::clamp(m / 64, 8, 128));

    occStart_.assign(size_t(m) + 1, 0);
    for (int u : nameOf_)
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

    frequency_.assign(size_t(prepared_.DistinctWordCount()), 0);
    for (int u = 0; u < m; ++u) {
        if (!breather.Step(qint64(prepared_.Words(u).size())))
            return false;
        for (const PreparedNames::Word& w : prepared_.Words(u))
            ++frequency_[w.id];
    }
    if (!breather.Now())
        return false;

    // The keys of every name, and how many names have each key.
    std::vector<quint32> keyStart(size_t(m) + 1, 0);
    std::vector<quint32> keys;
    keys.reserve(size_t(nameWords));  // the words; sets of words may still grow it
    std::vector<quint32> keyFrequency(frequency_.begin(), frequency_.end());
    for (int u = 0; u < m; ++u) {
        if (!breather.Step(prepared_.Words(u).size()))
            return false;
        int common = 0;
        for (const PreparedNames::Word& w : prepared_.Words(u)) {
            keys.push_back(w.id);
            common += Common(w.id);
        }
        keyStart[size_t(u) + 1] = quint32(keys.size());
        // Every set starts with a common word, and the rest are no rarer.
        if (common < 2)
            continue;
        RankWords(u);
        const auto list = [&](const WordSet& set) {
            const qsizetype known = setKeys_.size();
            quint32& key = setKeys_[set];
            if (setKeys_.size() != known) {
                key = quint32(keyFrequency.size());
                keyFrequency.push_back(0);
            }
            keys.push_back(key);
            ++keyFrequency[key];
        };
        // A partner of an anchor that probes sets shares more than half of its own words.
        const size_t d = byRarity_.size();
        const size_t words = size_t(prepared_.WordCount(u));
        for (size_t k = 2; k <= 3; ++k) {
            const size_t shared = std::max(k, words / 2 + 1);
            if (d >= shared && words <= (k == 2 ? MaxPairedWords : MaxTripledWords))
                ForEachWordSet(k, d + k - 1 - shared, list);
        }
        keyStart[size_t(u) + 1] = quint32(keys.size());
    }
    if (!breather.Now())
        return false;

    // Fresh memory costs a page fault a page: the lists of a million names are laid out one at a
    // time, with events between.
    const size_t keyCount = keyFrequency.size();
    postStart_.assign(keyCount + 1, 0);
    for (size_t key = 0; key < keyCount; ++key)
        postStart_[key + 1] = postStart_[key] + keyFrequency[key];
    if (!breather.Now())
        return false;
    live_.resize(postStart_.back());
    if (!breather.Now())
        return false;
    byLatest_.resize(postStart_.back());
    if (!breather.Now())
        return false;
    liveEnd_.assign(postStart_.begin(), postStart_.end() - 1);
    if (!breather.Now())
        return false;
    for (int u = 0; u < m; ++u) {
        if (!breather.Step(keyStart[size_t(u) + 1] - keyStart[size_t(u)]))
            return false;
        for (quint32 i = keyStart[size_t(u)]; i < keyStart[size_t(u) + 1]; ++i)
            live_[liveEnd_[keys[i]]++] = u;
    }
    if (!breather.Now())
        return false;
    // Names by their last occurrence, latest first: each entry that is its name's last.
    std::vector<quint32> fill(postStart_.begin(), postStart_.end() - 1);
    for (int k = n - 1; k >= 0; --k) {
        const int u = nameOf_[size_t(k)];
        if (!breather.Step())
            return false;
        if (LastOcc(u) != k)
            continue;
        for (quint32 i = keyStart[size_t(u)]; i < keyStart[size_t(u) + 1]; ++i)
            byLatest_[fill[keys[i]]++] = u;
    }
    if (!breather.Now())
        return false;

    found_.assign(size_t(m), 0);
    stamp_.assign(size_t(m), -1);
    latestSimilar_.assign(size_t(m), -1);
    return true;
}

const std::vector<int>* SimilarSearch::FirstProbe(int a, Breather& breather) {
    const int u = NameOf(a);
    partners_.clear();
    SelectProbe(u);
    const quint32 maxWords = 2 * quint32(prepared_.WordCount(u)) - 1;
    int latest = -1;
    for (quint32 key : probe_) {
        // Names found earlier drop out of the list as it is read.
        int* out = live_.data() + postStart_[key];
        for (int* p = out; p != live_.data() + liveEnd_[key]; ++p) {
            if (!breather.Step())
                return nullptr;
            const int v = *p;
            if (found_[size_t(v)])
                continue;
            *out++ = v;
            if (v == u || stamp_[size_t(v)] == u)
                continue;
            stamp_[size_t(v)] = u;
            if (quint32(prepared_.WordCount(v)) > maxWords || !prepared_.Similar(u, v))
                continue;
            found_[size_t(v)] = 1;
            latest = std::max(latest, LastOcc(v));
            const int* first = occ_.data() + occStart_[size_t(v)];
            const int* last = occ_.data() + occStart_[size_t(v) + 1];
            partners_.insert(partners_.end(), std::upper_bound(first, last, a), last);
        }
        liveEnd_[key] = quint32(out - live_.data());
    }
    if (!breather.Step(qint64(partners_.size())))
        return nullptr;
    std::sort(partners_.begin(), partners_.end());

    // The latest occurrence of any similar name, found ones included: lists ordered latest
    // first, read until nothing later than the best so far is left.
    for (quint32 key : probe_) {
        for (quint32 i = postStart_[key]; i < postStart_[key + 1]; ++i) {
            if (!breather.Step())
                return nullptr;
            const int v = byLatest_[i];
            if (LastOcc(v) <= std::max(latest, a))
                break;
            if (v == u || stamp_[size_t(v)] == u)
                continue;
            stamp_[size_t(v)] = u;
            if (quint32(prepared_.WordCount(v)) <= maxWords && prepared_.Similar(u, v)) {
                latest = LastOcc(v);
                break;
            }
        }
    }
    latestSimilar_[size_t(u)] = latest > a ? latest : -1;
    return &partners_;
}

std::optional<bool> SimilarSearch::HasMatchBetween(int a, int end, Breather& breather) {
    const int u = NameOf(a);
    SelectProbe(u);
    const quint32 maxWords = 2 * quint32(prepared_.WordCount(u)) - 1;
    for (quint32 key : probe_) {
        for (quint32 i = postStart_[key]; i < postStart_[key + 1]; ++i) {
            if (!breather.Step())
                return std::nullopt;
            const int v = byLatest_[i];
            if (LastOcc(v) <= a)
                break;
            if (v == u || quint32(prepared_.WordCount(v)) > maxWords)
                continue;
            const int* last = occ_.data() + occStart_[size_t(v) + 1];
            const int* next = std::upper_bound(
                static_cast<const int*>(occ_.data() + occStart_[size_t(v)]), last, a);
            if (next != last && *next < end && prepared_.Similar(u, v))
                return true;
        }
    }
    return false;
}

void SimilarSearch::RankWords(int u) {
    const std::span<const PreparedNames::Word> words = prepared_.Words(u);
    byRarity_.assign(words.begin(), words.end());
    std::sort(byRarity_.begin(), byRarity_.end(),
              [this](const PreparedNames::Word& x, const PreparedNames::Word& y) {
                  const quint32 fx = frequency_[x.id], fy = frequency_[y.id];
                  return fx != fy ? fx < fy : x.id < y.id;
              });
}

void SimilarSearch::SelectProbe(int u) {
    RankWords(u);
    probe_.clear();
    const quint64 words = quint64(prepared_.WordCount(u));
    const size_t d = byRarity_.size();
    if (words >= 2 && d == words && 2 * words - 1 <= MaxPairedWords) {
        const size_t t = d / 2 + 1;
        const size_t k = t >= 3 && 2 * words - 1 <= MaxTripledWords ? 3 : 2;
        for (size_t i = 0; i <= d - t; ++i) {
            if (!Common(byRarity_[i].id))
                probe_.push_back(byRarity_[i].id);
        }
        ForEachWordSet(k, d + k - 1 - t, [this](const WordSet& set) {
            const auto it = setKeys_.constFind(set);
            if (it != setKeys_.cend())
                probe_.push_back(*it);
        });
        return;
    }
    quint64 weight = 0;
    for (const PreparedNames::Word& w : byRarity_) {
        if (2 * weight >= words)
            break;
        probe_.push_back(w.id);
        weight += w.count;
    }
}

}  // namespace tallyrook
