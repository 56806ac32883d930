#include "match/match_passes.h"

#include <QHash>
#include <QLocale>
#include <algorithm>
#include <bit>
#include <deque>
#include <limits>
#include <numeric>
#include <optional>
#include <vector>

#include "match/similar_search.h"
#include "search/breather.h"
#include "search/file_functions.h"
#include "search/formats.h"
#include "search/metadata_look_ahead.h"
#include "search/result_list.h"
#include "search/run_options.h"
#include "search/search_host.h"
#include "shared/global.h"

// The passes give the rows of comparing every pair of inventory entries in order (anchor a, then
// every later partner b), without comparing every pair: the exact passes group entries by
// hashing, the similar pass looks up candidates in an index of upper-cased words. Rows, their
// order, colours and the points where the stop request is read follow that pairwise order.

namespace tallyrook {

namespace {

// A file's size and date as its first row read them; a file listed by more than one pass shows
// the same in each of its rows.
struct CachedMetadata {
    static constexpr qint64 NotRead = -2;
    static constexpr qint64 Wanted = -3;  // to be read as the pass ends
    static constexpr qint64 NoSize = -1;
    static constexpr qint64 NoDate = std::numeric_limits<qint64>::min();
    qint64 bytes = NotRead;
    qint64 msecs = NoDate;  // the last write, UTC
};

// Records that share a full path are one file, listed once by a pass and never as its own
// duplicate. The walk enters every folder once, so only a folder listing read while the folder
// changes (a name met twice) or a hand-made inventory holds a path twice. Names hold no "/" and
// folders end with one, so equal paths are equal folders with equal names.
class SamePath {
public:
    // False when the run was abandoned meanwhile.
    bool Find(const FileInventory& inventory, Breather& breather) {
        const int n = int(inventory.FileCount());
        // Folders numbered; the records of one folder come together and share its text, so the
        // table is asked about once a folder.
        std::vector<int> folderOf(static_cast<size_t>(n));
        QHash<QString, int> folders;
        const QChar* lastText = nullptr;
        qsizetype lastSize = -1;
        int id = -1;
        for (int k = 0; k < n; ++k) {
            const QString& folder = inventory.FileFolders.at(k);
            if (folder.constData() != lastText || folder.size() != lastSize) {
                // A folder of another machine is not the folder of that path here.
                const std::optional<FileInventory::Recorded> recorded = inventory.RecordedOf(k);
                const QString key =
                    recorded ? folder + QChar(0) + QString::number(recorded->source) : folder;
                auto it = folders.find(key);
                if (it == folders.end())
                    it = folders.insert(key, int(folders.size()));
                id = *it;
                lastText = folder.constData();
                lastSize = folder.size();
            }
            folderOf[size_t(k)] = id;
            if (!breather.Step())
                return false;
        }
        // The records folder by folder, each folder's in inventory order.
        std::vector<int> end(size_t(folders.size()) + 1, 0);
        for (const int f : folderOf)
            ++end[size_t(f) + 1];
        std::partial_sum(end.begin(), end.end(), end.begin());
        std::vector<int> order(static_cast<size_t>(n));
        for (int k = 0; k < n; ++k)
            order[size_t(end[size_t(folderOf[size_t(k)])]++)] = k;
        if (!breather.Now())
            return false;
        // A name met again in its folder: an open-addressed table of the folder's names, seeded
        // like Qt's own, so that names made to collide cannot make it quadratic.
        std::vector<int> slots;
        for (size_t f = 0, begin = 0; f + 1 < end.size(); begin = size_t(end[f++])) {
            if (size_t(end[f]) - begin < 2)
                continue;
            const size_t mask = std::bit_ceil(2 * (size_t(end[f]) - begin)) - 1;
            slots.assign(mask + 1, -1);
            for (size_t i = begin; i < size_t(end[f]); ++i) {
                const int k = order[i];
                const QString& name = inventory.FileNames.at(k);
                size_t slot = qHash(name, QHashSeed::globalSeed()) & mask;
                while (slots[slot] >= 0 && inventory.FileNames.at(slots[slot]) != name)
                    slot = (slot + 1) & mask;
                if (slots[slot] < 0) {
                    slots[slot] = k;
                } else {
                    if (first_.empty()) {
                        first_.resize(size_t(n));
                        std::iota(first_.begin(), first_.end(), 0);
                    }
                    first_[size_t(k)] = slots[slot];
                }
                if (!breather.Step())
                    return false;
            }
        }
        return true;
    }

    // The first record with the path of record k.
    qsizetype First(qsizetype k) const { return first_.empty() ? k : first_[size_t(k)]; }

private:
    std::vector<int> first_;  // by record; empty while every path is unique
};

// What the passes of one run share.
struct RunState {
    SearchHost& host;
    Global& global;
    ResultList& rows;
    const RunOptions& options;
    Breather breather{host};
    RowTexts texts{options.locale};
    int rowsAdded = 0;
    int groups = 0;                          // number of the last group started
    bool strongTurn = false;                 // the next group takes the strong colour of the pair
    bool anchorAdded = false;                // the current anchor added its own row
    std::vector<CachedMetadata> metadata{};  // by inventory index
    std::optional<SamePath> samePath{};      // found as the first pass begins
};

// One pass over the inventory: its criterion, its colours and the files it has listed.
class Pass {
public:
    // `wholeList`: rows in the list before the pass count as listed too.
    Pass(RunState& state, Criterion criterion, RowColor strong, RowColor light, bool wholeList)
        : s_(state),
          criterion_(criterion),
          strong_(strong),
          light_(light),
          firstRow_(wholeList ? 0 : state.rows.RowCount()) {}

    // Rows already in the list from firstRow_ on count as listed for this pass. False when the
    // run was abandoned meanwhile.
    bool Prepare() {
        if (!s_.breather.Now())
            return false;
        if (!s_.samePath) {
            s_.samePath.emplace();
            if (!s_.samePath->Find(s_.global.inventory, s_.breather))
                return false;
        }
        listed_.assign(size_t(FileCount()), false);
        // The list is emptied as the run begins, so its rows are this run's and say their file.
        for (int i = firstRow_; i < s_.rows.RowCount(); ++i) {
            const qsizetype file = s_.rows.RowFile(i);
            Q_ASSERT(file >= 0 && file < FileCount());
            listed_[size_t(s_.samePath->First(file))] = true;
            if (!s_.breather.Step())
                return false;
        }
        return true;
    }

    qsizetype FileCount() const { return s_.global.inventory.FileCount(); }
    Breather& Breath() { return s_.breather; }
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

    bool Listed(qsizetype k) const { return listed_[size_t(s_.samePath->First(k))]; }

    // The rows of a matched pair: the anchor's unless listed, then the partner's unless listed
    // (partner < 0: none). False when they would not fit: then the rows the anchor's turn added
    // are taken back too, so the list ends before a group rather than inside it, and a user never
    // takes part of a group for all of it.
    bool AddPair(qsizetype anchor, qsizetype partner) {
        const bool addAnchor = !Listed(anchor);
        const bool addPartner =
            partner >= 0 && !Listed(partner) &&
            !(addAnchor && s_.samePath->First(partner) == s_.samePath->First(anchor));
        if (qint64(s_.rowsAdded) + addAnchor + addPartner > s_.options.rowLimit) {
            if (anchor == groupAnchor_)
                TakeBackGroup();
            return false;
        }
        if ((addAnchor || addPartner) && anchor != groupAnchor_) {
            // The first row of an anchor's turn starts its group.
            groupAnchor_ = anchor;
            groupStart_ = pending_.size();
            ++s_.groups;
        }
        if (addAnchor) {
            AddRow(anchor, anchor);
            s_.anchorAdded = true;
        }
        if (addPartner)
            AddRow(partner, anchor);
        return true;
    }

    // After the anchor's last partner: a new group flips the colour for the next one.
    void EndAnchor() {
        if (s_.anchorAdded) {
            s_.anchorAdded = false;
            s_.strongTurn = !s_.strongTurn;
        }
    }

    // Gives the rows added so far their size and date and appends them to the list; every pass
    // ends through here. Abandoned stays Abandoned, and no more rows are made then. A stop read
    // while the look-ups wait (or a pass that stopped) ends the pass at a look-up that keeps it
    // waiting, with the rows made so far.
    StepResult Finish(StepResult result) {
        if (result == StepResult::Abandoned)
            return StepResult::Abandoned;
        return BuildRows(result);
    }

private:
    // While a look-up keeps the rows waiting, the host gets its events this often.
    static constexpr int WaitMs = 20;

    // The pass ends at the full list, so only what is written out needs undoing.
    void TakeBackGroup() {
        s_.rowsAdded -= int(pending_.size() - groupStart_);
        pending_.resize(groupStart_);
        --s_.groups;
        groupAnchor_ = -1;
    }

    void AddRow(qsizetype k, qsizetype anchor) {
        pending_.push_back({int(k), int(anchor), s_.groups, s_.strongTurn ? strong_ : light_});
        ++s_.rowsAdded;
        listed_[size_t(s_.samePath->First(k))] = true;
    }

    // Recorded files whose rows are wanted, read back from their inventories at once.
    static constexpr size_t RecordedBatch = 4096;
    bool TakeRecorded(std::vector<qsizetype>& records) {
        const std::vector<FileInventory::RecordedDetails> details =
            s_.global.inventory.ReadRecorded(records);
        for (size_t i = 0; i < records.size(); ++i) {
            CachedMetadata& cached = s_.metadata[size_t(records[i])];
            cached.bytes = details[i].bytes;
            if (details[i].msecs != FileInventory::NoDate)
                cached.msecs = details[i].msecs;
        }
        records.clear();
        return s_.breather.Now();
    }

    // Rows show the size and date their files have as the pass ends, not as the walk saw them;
    // a file listed by a later pass too shows the same again. The files are read once per run
    // and in inventory order, so each folder is opened once for all its files: looking a million
    // files up one by one by full path costs the system a walk of every path. Workers ask
    // ahead, several at once, so that a share's round trips overlap; then the rows are appended
    // in order.
    StepResult BuildRows(StepResult result) {
        s_.metadata.resize(size_t(FileCount()));
        qsizetype wanted = 0;
        bool stopped = result == StepResult::Stopped;
        if (!MarkWanted(wanted) || !LookUpWanted(wanted, stopped) || !AppendPendingRows())
            return StepResult::Abandoned;
        pending_.clear();
        if (!stopped)
            return result;
        // Files left unread are read again should their rows be made after all.
        for (CachedMetadata& cached : s_.metadata) {
            if (cached.bytes == CachedMetadata::Wanted)
                cached.bytes = CachedMetadata::NotRead;
        }
        return StepResult::Stopped;
    }

    // Marks the files of the pending rows not read yet; counts them in `wanted`.
    bool MarkWanted(qsizetype& wanted) {
        std::vector<CachedMetadata>& cache = s_.metadata;
        for (const PendingRow& pending : pending_) {
            qint64& bytes = cache[size_t(pending.file)].bytes;
            if (bytes == CachedMetadata::NotRead) {
                bytes = CachedMetadata::Wanted;
                ++wanted;
            }
            if (!s_.breather.Step())
                return false;
        }
        return true;
    }

    // Reads the size and date of each wanted file: recorded ones back from their inventories,
    // the others asked ahead of the rows. A stop (`stopped`, or asked meanwhile) ends the wait
    // for late answers and sets `stopped`.
    bool LookUpWanted(qsizetype wanted, bool& stopped) {
        std::vector<CachedMetadata>& cache = s_.metadata;
        // A scan in inventory order rather than a sort of the wanted files: sorting a million
        // indices is one long stretch without pending events.
        MetadataLookAhead lookups(s_.options.readAhead.workers);
        std::deque<qsizetype> asked;  // in the order of the answers
        std::vector<qsizetype> recorded;
        for (qsizetype k = 0;;) {
            for (; wanted > 0 && k < FileCount(); ++k) {
                CachedMetadata& cached = cache[size_t(k)];
                if (cached.bytes != CachedMetadata::Wanted) {
                    if (!s_.breather.Step())
                        return false;
                    continue;
                }
                // Not here to look at: as the inventory recorded it, read back in batches.
                if (s_.global.inventory.RecordedOf(k)) {
                    --wanted;
                    recorded.push_back(k);
                    if (recorded.size() == RecordedBatch && !TakeRecorded(recorded))
                        return false;
                    continue;
                }
                if (!lookups.Ask(s_.global.inventory.FileFolders.at(k),
                                 s_.global.inventory.FileNames.at(k)))
                    break;
                --wanted;
                asked.push_back(k);
            }
            if (!recorded.empty() && !TakeRecorded(recorded))
                return false;
            if (asked.empty())
                break;
            const std::optional<FileMetadata> read = lookups.Take(WaitMs);
            if (!read) {
                if (!s_.breather.Now())
                    return false;
                if (stopped || s_.host.StopRequested()) {
                    stopped = true;
                    break;
                }
                continue;
            }
            CachedMetadata& cached = cache[size_t(asked.front())];
            asked.pop_front();
            cached.bytes = read->size.value_or(CachedMetadata::NoSize);
            if (read->modifiedUtc.isValid())
                cached.msecs = read->modifiedUtc.toMSecsSinceEpoch();
            // A look-up may wait on the disk: a few between pending events, as in the walk.
            if (!s_.breather.Step(256))
                return false;
        }
        return true;
    }

    // Appends the pending rows in order, up to the first whose file is still being looked up.
    bool AppendPendingRows() {
        const std::vector<CachedMetadata>& cache = s_.metadata;
        const bool wantsPaths = s_.rows.WantsPaths();
        for (const PendingRow& pending : pending_) {
            const CachedMetadata& cached = cache[size_t(pending.file)];
            // Stopped: the rows end before the first file still being looked up.
            if (cached.bytes == CachedMetadata::Wanted)
                break;
            ResultRow row;
            if (wantsPaths)
                row.path = s_.global.inventory.FullPath(pending.file);
            row.bytes = cached.bytes;
            row.sizeText = s_.texts.Size(row.bytes);
            if (cached.msecs != CachedMetadata::NoDate) {
                row.modified = QDateTime::fromMSecsSinceEpoch(cached.msecs, Qt::UTC);
                row.modifiedText = s_.texts.Date(FileTimeToDate(row.modified));
            }
            row.criterion = criterion_;
            row.color = pending.color;
            row.group = pending.group;
            row.file = pending.file;
            row.anchor = pending.anchor;
            row.source = s_.global.inventory.SourceOf(pending.file);
            s_.rows.AppendRow(std::move(row));
            if (!s_.breather.Step())
                return false;
        }
        return true;
    }

    struct PendingRow {
        int file;  // inventory index
        int anchor;
        int group;
        RowColor color;
    };

    RunState& s_;
    const Criterion criterion_;
    const RowColor strong_;
    const RowColor light_;
    const int firstRow_;               // 0-based
    std::vector<bool> listed_;         // by the first record of each path
    std::vector<PendingRow> pending_;  // rows added, still without their size and date
    int lastPercent_ = -1;
    qsizetype groupAnchor_ = -1;  // the anchor whose turn numbered the last group
    size_t groupStart_ = 0;       // where that group's rows begin in pending_
};

// Entries with equal keys form a group; the first entry of a group is the anchor that adds it.
// keyOf(k) gives the key of entry k, or nothing when the entry takes no part.
template <typename Key, typename KeyOf>
StepResult ExactPass(Pass& pass, KeyOf keyOf) {
    if (!pass.Prepare())
        return StepResult::Abandoned;
    Breather& breather = pass.Breath();
    const int n = int(pass.FileCount());
    std::vector<int> groupOf(size_t(n), -1);
    std::vector<int> groupSize;
    {
        QHash<Key, int> groups;
        groups.reserve(n);
        for (int k = 0; k < n; ++k) {
            if (!breather.Step())
                return StepResult::Abandoned;
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
        return StepResult::Abandoned;
    // Members laid out group by group, each group in inventory order.
    std::vector<int> groupStart(groupSize.size() + 1, 0);
    for (size_t g = 0; g < groupSize.size(); ++g)
        groupStart[g + 1] = groupStart[g] + groupSize[g];
    std::vector<int> members(size_t(groupStart.back()));
    std::vector<int> seen(groupSize.size(), 0);
    for (int k = 0; k < n; ++k) {
        if (const int g = groupOf[size_t(k)]; g >= 0)
            members[size_t(groupStart[size_t(g)]) + size_t(seen[size_t(g)]++)] = k;
    }
    std::fill(seen.begin(), seen.end(), 0);

    for (int a = 0; a < n; ++a) {
        if (!pass.StartAnchor(a))
            return StepResult::Abandoned;
        const int g = groupOf[size_t(a)];
        if (g < 0 || groupSize[size_t(g)] < 2)
            continue;
        const int rank = seen[size_t(g)]++;
        if (rank > 0) {
            // A later member matches the members after it, all listed by now: the matches add
            // nothing, but the stop request is still read at them.
            if (rank + 1 < groupSize[size_t(g)] && pass.StopRequested())
                return StepResult::Stopped;
            continue;
        }
        for (int i = 1; i < groupSize[size_t(g)]; ++i) {
            if (i > 1 && !pass.ProcessEvents())
                return StepResult::Abandoned;
            if (pass.StopRequested())
                return StepResult::Stopped;
            if (!pass.AddPair(a, members[size_t(groupStart[size_t(g)]) + size_t(i)]))
                return StepResult::Full;
        }
        pass.EndAnchor();
    }
    return StepResult::Completed;
}

// The similar pass: see SimilarSearch for how it finds the pairs without comparing every one.

StepResult SimilarPass(Pass& pass, const Global& global, const QLocale& locale) {
    if (!pass.Prepare())
        return StepResult::Abandoned;
    const int n = int(pass.FileCount());
    if (n == 0)
        return StepResult::Completed;
    Breather& breather = pass.Breath();
    SimilarSearch search(locale);
    if (!search.Prepare(global, breather))
        return StepResult::Abandoned;
    static const std::vector<int> none;
    for (int a = 0; a < n; ++a) {
        if (!pass.StartAnchor(a))
            return StepResult::Abandoned;
        const std::vector<int>* probed =
            search.IsFirstOccurrence(a) ? search.FirstProbe(a, breather) : &none;
        if (!probed)
            return StepResult::Abandoned;
        const std::vector<int>& partners = *probed;
        if (!search.HasMatchAfter(a))
            continue;
        // The anchor's first match.
        if (pass.StopRequested())
            return StepResult::Stopped;
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
                    return StepResult::Abandoned;
                anchorAlone = *earlier;
            }
        }
        if (anchorAlone && !pass.AddPair(a, -1))
            return StepResult::Full;
        int lastAdded = -1;
        for (int b : partners) {
            if (pass.Listed(b))
                continue;
            if (anchorAlone || lastAdded >= 0) {
                if (!pass.ProcessEvents())
                    return StepResult::Abandoned;
                if (pass.StopRequested())
                    return StepResult::Stopped;
            }
            if (!pass.AddPair(a, b))
                return StepResult::Full;
            lastAdded = b;
        }
        // Matches after the last rows added still read the stop request.
        bool laterMatches = lastAdded >= 0 && search.LatestMatch(a) > lastAdded;
        if (lastAdded < 0 && anchorAlone) {
            const std::optional<bool> between =
                search.HasMatchBetween(a, search.LatestMatch(a), breather);
            if (!between)
                return StepResult::Abandoned;
            laterMatches = *between;
        }
        if (laterMatches) {
            if (!pass.ProcessEvents())
                return StepResult::Abandoned;
            if (pass.StopRequested())
                return StepResult::Stopped;
        }
        pass.EndAnchor();
    }
    return StepResult::Completed;
}

}  // namespace

struct MatchPasses::State {
    RunState run;
};

MatchPasses::MatchPasses(SearchHost& host, Global& global, ResultList& rows,
                         const RunOptions& options)
    : state_(new State{RunState{host, global, rows, options}}) {}

MatchPasses::~MatchPasses() = default;

StepResult MatchPasses::ExactFilenamePass() {
    Pass pass(state_->run, Criterion::ExactFilename, RowColor::Blue, RowColor::LightBlue, true);
    const Global& global = state_->run.global;
    return pass.Finish(ExactPass<QString>(pass, [&global](int k) {
        return std::optional<QString>(global.inventory.FileNames.at(k));
    }));
}

StepResult MatchPasses::ExactFilesizePass() {
    Pass pass(state_->run, Criterion::ExactFilesize, RowColor::Red, RowColor::LightRed, false);
    const Global& global = state_->run.global;
    // Entries without a recorded size match nothing: unknown sizes are not equal sizes.
    return pass.Finish(ExactPass<qint64>(pass, [&global](int k) {
        const qint64 size = global.inventory.FileSizes.at(k);
        return size == FileInventory::NoSize ? std::nullopt : std::optional<qint64>(size);
    }));
}

StepResult MatchPasses::SimilarFilenamePass() {
    Pass pass(state_->run, Criterion::SimilarFilename, RowColor::Green, RowColor::LightGreen,
              false);
    return pass.Finish(SimilarPass(pass, state_->run.global, state_->run.options.locale));
}

StepResult MatchPasses::ExactContentsPass(const std::vector<int>& copySetOf) {
    Pass pass(state_->run, Criterion::ExactContents, RowColor::Yellow, RowColor::LightYellow,
              false);
    // A copy set is the files of one key: the exact skeleton lists each whole, in list order.
    return pass.Finish(ExactPass<int>(pass, [&copySetOf](int k) {
        const int set = size_t(k) < copySetOf.size() ? copySetOf[size_t(k)] : 0;
        return set > 0 ? std::optional<int>(set) : std::nullopt;
    }));
}

}  // namespace tallyrook
