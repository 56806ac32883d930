#include "selection/copy_choice.h"

#include <algorithm>

namespace tallyrook {

CopyChoice::CopyChoice(const QList<ContentsFile>& files, const std::vector<ContentsResult>& results,
                       const std::vector<CopyPlace>& places) {
    const bool compared = size_t(files.size()) == results.size();
    std::vector<const ContentsResult*> resultOf;
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (index_.contains(files[i].path))
            continue;
        index_.insert(files[i].path, int(paths_.size()));
        const ContentsResult* result = compared ? &results[size_t(i)] : nullptr;
        const bool empty = files[i].size == 0 || (result && result->identity.size == 0);
        const qint64 bytes = files[i].size >= 0 || !result ? files[i].size : result->identity.size;
        const CopyPlace place = size_t(i) < places.size() ? places[size_t(i)] : CopyPlace{};
        paths_.push_back(
            {files[i].path, bytes, files[i].modified, empty, 0, place.source, place.byFingerprint});
        resultOf.push_back(result);
    }
    // Files as the check read them (device and inode alone may name two files on a share that
    // passes numbers on); each path is one where it could not tell.
    QHash<int, int> byId;
    QHash<int, int> setOfCheck;  // the check's set number: our set's file list index + 1
    for (int p = 0; p < PathCount(); ++p) {
        const ContentsResult* result = resultOf[size_t(p)];
        const bool known = result && result->file > 0;
        const int key = known ? result->file : 0;
        int f = known ? byId.value(key, -1) : -1;
        if (f < 0) {
            f = int(files_.size());
            files_.emplace_back();
            if (known)
                byId.insert(key, f);
        }
        FileEntry& file = files_[size_t(f)];
        file.names.append(p);
        paths_[size_t(p)].file = f;
        if (result)
            file.links = std::max(file.links, result->links);
        // The check's copy set, minus empty files, gathered by file.
        if (result && result->copySet > 0 && !paths_[size_t(p)].empty && file.set == 0) {
            auto set = setOfCheck.find(result->copySet);
            if (set == setOfCheck.end()) {
                set = setOfCheck.insert(result->copySet, int(sets_.size()));
                sets_.emplace_back();
            }
            file.set = *set + 1;
            sets_[size_t(*set)].append(f);
        }
    }
    // A set of one file's names alone is no copy set; the rest are numbered anew.
    std::vector<QList<int>> kept;
    for (const QList<int>& set : sets_) {
        const int number = set.size() > 1 ? int(kept.size()) + 1 : 0;
        for (const int f : set)
            files_[size_t(f)].set = number;
        if (number > 0)
            kept.push_back(set);
    }
    sets_ = std::move(kept);
    int number = 0;
    for (FileEntry& file : files_) {
        if (file.names.size() > 1)
            file.number = ++number;
    }
}

QList<int> CopyChoice::OtherCopies(int p) const {
    QList<int> others;
    const FileEntry& own = files_[size_t(paths_[size_t(p)].file)];
    if (own.set == 0)
        return others;
    for (const int f : sets_[size_t(own.set - 1)]) {
        if (f != paths_[size_t(p)].file)
            others += files_[size_t(f)].names;
    }
    return others;
}

int CopyChoice::OtherCopyCount(int p) const {
    const int set = CopySet(p);
    return set == 0 ? 0 : int(sets_[size_t(set - 1)].size()) - 1;
}

QList<int> CopyChoice::OtherNames(int p) const {
    QList<int> names = files_[size_t(paths_[size_t(p)].file)].names;
    names.removeOne(p);
    return names;
}

std::vector<bool> CopyChoice::Choose(KeeperRule rule,
                                     const ProtectedFolders& protectedFolders) const {
    const auto shortest = [this](const FileEntry& file) {
        qsizetype length = PTRDIFF_MAX;
        for (const int p : file.names)
            length = std::min(length, paths_[size_t(p)].path.size());
        return length;
    };
    // Whether file a beats file b; a tie keeps b, the earlier. The names of one file share its
    // size and date.
    const auto beats = [&](const FileEntry& a, const FileEntry& b) {
        const PathEntry& x = paths_[size_t(a.names.first())];
        const PathEntry& y = paths_[size_t(b.names.first())];
        switch (rule) {
            case KeeperRule::Newest:
            case KeeperRule::Oldest:
                if (!x.modified.isValid() || !y.modified.isValid())
                    return x.modified.isValid() && !y.modified.isValid();
                return rule == KeeperRule::Newest ? x.modified > y.modified
                                                  : x.modified < y.modified;
            case KeeperRule::Largest:
                return x.bytes > y.bytes;  // -1 (unknown) loses to any size
            case KeeperRule::ShortestPath:
                return shortest(a) < shortest(b);
        }
        return false;
    };
    // A file not here is never checked here, and stays.
    const auto isProtected = [&](const FileEntry& file) {
        return std::any_of(file.names.begin(), file.names.end(), [&](int p) {
            return !paths_[size_t(p)].source.isEmpty() ||
                   protectedFolders.Protects(paths_[size_t(p)].path);
        });
    };
    std::vector<bool> checked(paths_.size(), false);
    for (const QList<int>& set : sets_) {
        std::vector<bool> keep(size_t(set.size()), false);
        bool anyProtected = false;
        for (qsizetype k = 0; k < set.size(); ++k) {
            keep[size_t(k)] = isProtected(files_[size_t(set[k])]);
            anyProtected = anyProtected || keep[size_t(k)];
        }
        if (!anyProtected) {
            qsizetype keeper = 0;
            for (qsizetype k = 1; k < set.size(); ++k) {
                if (beats(files_[size_t(set[k])], files_[size_t(set[keeper])]))
                    keeper = k;
            }
            keep[size_t(keeper)] = true;
        }
        for (qsizetype k = 0; k < set.size(); ++k) {
            for (const int p : files_[size_t(set[k])].names)
                checked[size_t(p)] = !keep[size_t(k)];
        }
    }
    return checked;
}

QString CopyChoice::OnlyCopyLeftElsewhere(int p, const std::vector<bool>& going) const {
    QSet<int> left;  // files
    QString source;
    for (const int other : OtherCopies(p)) {
        if (size_t(other) < going.size() && going[size_t(other)])
            continue;
        left.insert(paths_[size_t(other)].file);
        source = paths_[size_t(other)].source;
    }
    return left.size() == 1 ? source : QString();
}

CopyChoice::Summary CopyChoice::CopySummary() const {
    Summary summary;
    summary.sets = CopySetCount();
    for (const QList<int>& set : sets_) {
        summary.files += int(set.size());
        const qint64 bytes = paths_[size_t(files_[size_t(set.first())].names.first())].bytes;
        summary.extraBytes += std::max<qint64>(bytes, 0) * (set.size() - 1);
    }
    return summary;
}

CopyChoice::Space CopyChoice::SpaceFreed(const QList<int>& checked) const {
    QHash<int, int> namesGoing;  // by file
    for (const int p : checked)
        ++namesGoing[paths_[size_t(p)].file];
    Space space;
    for (auto it = namesGoing.cbegin(); it != namesGoing.cend(); ++it) {
        const FileEntry& file = files_[size_t(it.key())];
        const quint64 links = std::max<quint64>(file.links, quint64(file.names.size()));
        if (quint64(it.value()) < links) {
            space.namesFreeingNothing += it.value();
            continue;
        }
        ++space.files;
        const qint64 bytes = paths_[size_t(file.names.first())].bytes;
        if (bytes >= 0)
            space.bytes = std::max<qint64>(space.bytes, 0) + bytes;
    }
    return space;
}

}  // namespace tallyrook
