#include "search/match_passes.h"

#include <QHash>
#include <QLocale>
#include <QSet>
#include <algorithm>
#include <numeric>
#include <optional>
#include <vector>

#include "search/file_functions.h"
#include "search/formats.h"
#include "search/result_list.h"
#include "search/search_host.h"
#include "search/similarity.h"
#include "shared/global.h"

// The passes give the rows of comparing every pair of inventory entries in order (anchor a, then
// every later partner b), without comparing every pair: the exact passes group entries by
// hashing, the similar pass looks up candidates in an index of upper-cased words. Rows, their
// order, colours and the points where the stop request is read follow that pairwise order.

namespace tallyrook {

namespace {

// Lets the host handle pending events every so many steps of a long loop, so the window stays
// responsive while tables are built. A step is a hash insertion or a similarity test at most.
class Breather {
public:
    explicit Breather(SearchHost& host) : host_(host) {}
    // False once the run must be abandoned: the caller then returns without another host call.
    bool Step(qint64 cost = 1) {
        budget_ -= cost;
        return budget_ > 0 || Now();
    }
    bool Now() {
        budget_ = Interval;
        return host_.ProcessPendingEvents();
    }

private:
    static constexpr qint64 Interval = 4096;
    SearchHost& host_;
    qint64 budget_ = Interval;
};

// What the passes of one run share.
struct RunState {
    SearchHost& host;
    Global& global;
    ResultList& rows;
    Breather breather{host};
    QLocale locale = QLocale::system();
    int rowLimit = MatchPasses::RowCapacity;
    int rowsAdded = 0;         // R: also the RowColors index of the next row
    int groups = 0;            // number of the last group started
    bool strongTurn = false;   // T: the next group takes the strong colour of the pair
    bool anchorAdded = false;  // F: the current anchor added its own row
};

// One pass over the inventory: its row texts and the paths it has listed.
class Pass {
public:
    Pass(RunState& state, QString type, QString strong, QString light, int firstRow)
        : s_(state),
          type_(std::move(type)),
          strong_(std::move(strong)),
          light_(std::move(light)),
          firstRow_(std::max(firstRow, 1)) {}

    // Rows already in the list from firstRow on count as listed for this pass. False when the
    // run was abandoned meanwhile.
    bool Prepare() {
        if (!s_.breather.Now())
            return false;
        for (int i = firstRow_ - 1; i < s_.rows.RowCount(); ++i) {
            listed_.insert(s_.rows.Row(i).path);
            if (!s_.breather.Step())
                return false;
        }
        return true;
    }

    qsizetype FileCount() const { return s_.global.FileCount(); }
    Breather& Breath() { return s_.breather; }
    // Room for this many more listed paths at once: growing the table by itself rehashes it all
    // between two pending-events calls.
    bool ReserveListed(qsizetype more) {
        listed_.reserve(listed_.size() + more);
        return s_.breather.Now();
    }
    // The progress of the anchor, then pending events; false when the run must be abandoned.
    bool StartAnchor(qsizetype a) {
        const int percent = int(double(a + 1) / double(FileCount()) * 100);
        if (percent != lastPercent_) {
            lastPercent_ = percent;
            s_.host.SetProgress(percent);
        }
        return s_.host.ProcessPendingEvents();
    }
    bool ProcessEvents() { return s_.host.ProcessPendingEvents(); }
    bool StopRequested() { return s_.host.StopRequested(); }

    bool Listed(qsizetype k) const { return listed_.contains(s_.global.FullPath(k)); }

    // The rows of a matched pair: the anchor's unless listed, then the partner's unless listed
    // (partner < 0: none). False when they would not fit: then neither is added, so a group never
    // ends in an anchor whose partner is missing.
    bool AddPair(qsizetype anchor, qsizetype partner) {
        const QString anchorPath = s_.global.FullPath(anchor);
        const bool addAnchor = !listed_.contains(anchorPath);
        QString partnerPath;
        bool addPartner = false;
        if (partner >= 0) {
            partnerPath = s_.global.FullPath(partner);
            addPartner =
                !listed_.contains(partnerPath) && !(addAnchor && partnerPath == anchorPath);
        }
        if (qint64(s_.rowsAdded) + addAnchor + addPartner > s_.rowLimit)
            return false;
        if ((addAnchor || addPartner) && anchor != groupAnchor_) {
            // The first row of an anchor's turn starts its group.
            groupAnchor_ = anchor;
            ++s_.groups;
        }
        if (addAnchor) {
            AddRow(anchorPath);
            s_.anchorAdded = true;
        }
        if (addPartner)
            AddRow(partnerPath);
        return true;
    }

    // After the anchor's last partner: a new group flips the colour for the next one.
    void EndAnchor() {
        if (s_.anchorAdded) {
            s_.anchorAdded = false;
            s_.strongTurn = !s_.strongTurn;
        }
    }

private:
    void AddRow(const QString& path) {
        ResultRow row;
        row.path = path;
        // Size and date as they are now, not as the walk saw them.
        const FileMetadata metadata = ReadFileMetadata(path);
        row.bytes = metadata.size.value_or(-1);
        if (row.bytes >= 0)
            row.sizeText = FormatSize(row.bytes, s_.locale);
        row.modified = metadata.modifiedUtc;
        if (row.modified.isValid())
            row.modifiedText = GeneralDateText(FileTimeToDate(row.modified), s_.locale);
        row.type = type_;
        row.group = s_.groups;
        s_.rows.AppendRow(std::move(row));
        s_.global.SetRowColor(s_.rowsAdded, s_.strongTurn ? strong_ : light_);
        ++s_.rowsAdded;
        listed_.insert(path);
    }

    RunState& s_;
    const QString type_;
    const QString strong_;
    const QString light_;
    const int firstRow_;
    QSet<QString> listed_;
    int lastPercent_ = -1;
    qsizetype groupAnchor_ = -1;  // the anchor whose turn numbered the last group
};

// Entries with equal keys form a group; the first entry of a group is the anchor that adds it.
// keyOf(k) gives the key of entry k, or nothing when the entry takes no part.
template <typename Key, typename KeyOf>
PassResult ExactPass(Pass& pass, KeyOf keyOf) {
    if (!pass.Prepare())
        return PassResult::Abandoned;
    Breather& breather = pass.Breath();
    const int n = int(pass.FileCount());
    std::vector<int> groupOf(size_t(n), -1);
    std::vector<int> groupSize;
    {
        QHash<Key, int> groups;
        groups.reserve(n);
        for (int k = 0; k < n; ++k) {
            if (!breather.Step())
                return PassResult::Abandoned;
            const std::optional<Key> key = keyOf(k);
            if (!key)
                continue;
            auto it = groups.find(*key);
            if (it == groups.end()) {
                it = groups.insert(*key, int(groupSize.size()));
                groupSize.push_back(0);
            }
            groupOf[size_t(k)] = *it;
            ++groupSize[size_t(*it)];
        }
    }
    // Freeing the table takes a while too.
    if (!breather.Now())
        return PassResult::Abandoned;
    // Members laid out group by group, each group in inventory order.
    std::vector<int> groupStart(groupSize.size() + 1, 0);
    for (size_t g = 0; g < groupSize.size(); ++g)
        groupStart[g + 1] = groupStart[g] + groupSize[g];
    std::vector<int> members(size_t(groupStart.back()));
    std::vector<int> seen(groupSize.size(), 0);
    for (int k = 0; k < n; ++k) {
        if (const int g = groupOf[size_t(k)]; g >= 0)
            members[size_t(groupStart[size_t(g)] + seen[size_t(g)]++)] = k;
    }
    std::fill(seen.begin(), seen.end(), 0);
    qsizetype matched = 0;
    for (const int size : groupSize)
        matched += size > 1 ? size : 0;
    if (!pass.ReserveListed(matched))
        return PassResult::Abandoned;

    for (int a = 0; a < n; ++a) {
        if (!pass.StartAnchor(a))
            return PassResult::Abandoned;
        const int g = groupOf[size_t(a)];
        if (g < 0 || groupSize[size_t(g)] < 2)
            continue;
        const int rank = seen[size_t(g)]++;
        if (rank > 0) {
            // A later member matches the members after it, all listed by now: the matches add
            // nothing, but the stop request is still read at them.
            if (rank + 1 < groupSize[size_t(g)] && pass.StopRequested())
                return PassResult::Stopped;
            continue;
        }
        for (int i = 1; i < groupSize[size_t(g)]; ++i) {
            if (i > 1 && !pass.ProcessEvents())
                return PassResult::Abandoned;
            if (pass.StopRequested())
                return PassResult::Stopped;
            if (!pass.AddPair(a, members[size_t(groupStart[size_t(g)] + i)]))
                return PassResult::RowsFull;
        }
        pass.EndAnchor();
    }
    return PassResult::Completed;
}

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
    bool Prepare(const Global& global, Breather& breather) {
        const int n = int(global.FileCount());
        nameOf_.resize(size_t(n));
        {
            QHash<QString, int> numbers;
            numbers.reserve(n);
            for (int k = 0; k < n; ++k) {
                if (!breather.Step())
                    return false;
                const QString& name = global.FileNames.at(k);
                auto it = numbers.find(name);
                if (it == numbers.end())
                    it = numbers.insert(name, prepared_.Add(name));
                nameOf_[size_t(k)] = *it;
            }
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
        occ_.resize(size_t(n));
        {
            std::vector<int> fill(occStart_.begin(), occStart_.end() - 1);
            for (int k = 0; k < n; ++k)
                occ_[size_t(fill[size_t(nameOf_[size_t(k)])]++)] = k;
        }

        frequency_.assign(size_t(prepared_.DistinctWordCount()), 0);
        for (int u = 0; u < m; ++u) {
            for (const PreparedNames::Word& w : prepared_.Words(u))
                ++frequency_[w.id];
        }
        if (!breather.Now())
            return false;

        // The keys of every name, and how many names have each key.
        std::vector<quint32> keyStart(size_t(m) + 1, 0);
        std::vector<quint32> keys;
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

        const size_t keyCount = keyFrequency.size();
        postStart_.assign(keyCount + 1, 0);
        for (size_t key = 0; key < keyCount; ++key)
            postStart_[key + 1] = postStart_[key] + keyFrequency[key];
        live_.resize(postStart_.back());
        byLatest_.resize(postStart_.back());
        liveEnd_.assign(postStart_.begin(), postStart_.end() - 1);
        for (int u = 0; u < m; ++u) {
            for (quint32 i = keyStart[size_t(u)]; i < keyStart[size_t(u) + 1]; ++i)
                live_[liveEnd_[keys[i]]++] = u;
        }
        if (!breather.Now())
            return false;
        // Names by their last occurrence, latest first: each entry that is its name's last.
        std::vector<quint32> fill(postStart_.begin(), postStart_.end() - 1);
        for (int k = n - 1; k >= 0; --k) {
            const int u = nameOf_[size_t(k)];
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

    int NameOf(int k) const { return nameOf_[size_t(k)]; }
    bool IsFirstOccurrence(int k) const { return occ_[occStart_[size_t(NameOf(k))]] == k; }
    // Whether a pair (a, b) with b > a matches, for any occurrence a of its name.
    bool HasMatchAfter(int a) const { return latestSimilar_[size_t(NameOf(a))] > a; }
    int LatestMatch(int a) const { return latestSimilar_[size_t(NameOf(a))]; }

    // At the first occurrence a of its name: the partners of a that no earlier anchor could have
    // listed, in inventory order. Null when the run was abandoned meanwhile.
    const std::vector<int>* FirstProbe(int a, Breather& breather) {
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

    // Whether a name similar to a's occurs after a and before `end`; nothing when the run was
    // abandoned meanwhile.
    std::optional<bool> HasMatchBetween(int a, int end, Breather& breather) {
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
    void ForEachWordSet(size_t k, size_t last, F f) const {
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
    static constexpr quint32 NoWord = std::numeric_limits<quint32>::max();

    int LastOcc(int u) const { return occ_[occStart_[size_t(u) + 1] - 1]; }
    bool Common(quint32 word) const { return frequency_[word] >= commonWord_; }

    // The distinct words of u, rarest first.
    void RankWords(int u) {
        const std::span<const PreparedNames::Word> words = prepared_.Words(u);
        byRarity_.assign(words.begin(), words.end());
        std::sort(byRarity_.begin(), byRarity_.end(),
                  [this](const PreparedNames::Word& x, const PreparedNames::Word& y) {
                      const quint32 fx = frequency_[x.id], fy = frequency_[y.id];
                      return fx != fy ? fx < fy : x.id < y.id;
                  });
    }

    // The keys whose lists hold every name similar to u (see the class comment).
    void SelectProbe(int u) {
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

PassResult SimilarPass(Pass& pass, const Global& global, const QLocale& locale) {
    if (!pass.Prepare())
        return PassResult::Abandoned;
    const int n = int(pass.FileCount());
    if (n == 0)
        return PassResult::Completed;
    Breather& breather = pass.Breath();
    SimilarSearch search(locale);
    if (!search.Prepare(global, breather))
        return PassResult::Abandoned;
    static const std::vector<int> none;
    for (int a = 0; a < n; ++a) {
        if (!pass.StartAnchor(a))
            return PassResult::Abandoned;
        const std::vector<int>* probed =
            search.IsFirstOccurrence(a) ? search.FirstProbe(a, breather) : &none;
        if (!probed)
            return PassResult::Abandoned;
        const std::vector<int>& partners = *probed;
        if (!search.HasMatchAfter(a))
            continue;
        // The anchor's first match.
        if (pass.StopRequested())
            return PassResult::Stopped;
        // The anchor's row comes with its first match's partner, unless that partner is listed
        // already: then the anchor's row is added alone, and the next partner at a later match.
        bool anchorAlone = false;
        if (!pass.Listed(a)) {
            if (partners.empty() || pass.Listed(partners.front())) {
                anchorAlone = true;
            } else {
                const std::optional<bool> earlier =
                    search.HasMatchBetween(a, partners.front(), breather);
                if (!earlier)
                    return PassResult::Abandoned;
                anchorAlone = *earlier;
            }
        }
        if (anchorAlone && !pass.AddPair(a, -1))
            return PassResult::RowsFull;
        int lastAdded = -1;
        for (int b : partners) {
            if (pass.Listed(b))
                continue;
            if (anchorAlone || lastAdded >= 0) {
                if (!pass.ProcessEvents())
                    return PassResult::Abandoned;
                if (pass.StopRequested())
                    return PassResult::Stopped;
            }
            if (!pass.AddPair(a, b))
                return PassResult::RowsFull;
            lastAdded = b;
        }
        // Matches after the last rows added still read the stop request.
        bool laterMatches = lastAdded >= 0 && search.LatestMatch(a) > lastAdded;
        if (lastAdded < 0 && anchorAlone) {
            const std::optional<bool> between =
                search.HasMatchBetween(a, search.LatestMatch(a), breather);
            if (!between)
                return PassResult::Abandoned;
            laterMatches = *between;
        }
        if (laterMatches) {
            if (!pass.ProcessEvents())
                return PassResult::Abandoned;
            if (pass.StopRequested())
                return PassResult::Stopped;
        }
        pass.EndAnchor();
    }
    return PassResult::Completed;
}

}  // namespace

struct MatchPasses::State {
    RunState run;
};

MatchPasses::MatchPasses(SearchHost& host, Global& global, ResultList& rows)
    : state_(std::make_unique<State>(State{RunState{host, global, rows}})) {}

MatchPasses::~MatchPasses() = default;

void MatchPasses::SetRowLimit(int limit) {
    state_->run.rowLimit = std::max(limit, 0);
}

PassResult MatchPasses::ExactFilenamePass() {
    // "Already listed" looks at every row of the list.
    Pass pass(state_->run, QStringLiteral("Name"), QStringLiteral("blue"),
              QStringLiteral("light blue"), 1);
    const Global& global = state_->run.global;
    return ExactPass<QString>(
        pass, [&global](int k) { return std::optional<QString>(global.FileNames.at(k)); });
}

PassResult MatchPasses::ExactFilesizePass(int firstRow) {
    Pass pass(state_->run, QStringLiteral("Size"), QStringLiteral("red"),
              QStringLiteral("light red"), firstRow);
    const Global& global = state_->run.global;
    // Entries without a recorded size match nothing: unknown sizes are not equal sizes.
    return ExactPass<qint64>(pass, [&global](int k) {
        const qint64 size = global.FileSizes.at(k);
        return size == Global::NoSize ? std::nullopt : std::optional<qint64>(size);
    });
}

PassResult MatchPasses::SimilarFilenamePass(int firstRow) {
    Pass pass(state_->run, QStringLiteral("Close"), QStringLiteral("green"),
              QStringLiteral("light green"), firstRow);
    return SimilarPass(pass, state_->run.global, state_->run.locale);
}

}  // namespace tallyrook
