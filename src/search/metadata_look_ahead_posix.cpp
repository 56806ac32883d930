// The look-ups asked ahead by a few worker threads, each with a FolderMetadataReader of its own.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "search/metadata_look_ahead.h"
#include "shared/descriptors.h"

namespace tallyrook {

namespace {

// A worker keeps one folder open, and two more for a moment on a path past the length limit: the
// workers take at most a sixteenth of the descriptor limit, the rest is the program's.
int WorkersWithin(int wanted) {
    return DescriptorShare(16, 0, std::max(wanted, 0));
}

// The files one worker takes at once: a run of one folder's, so that the folder is opened once
// for many of them, and short enough that the others share a large folder.
constexpr qint64 Run = 16;

}  // namespace

struct MetadataLookAhead::Shared {
    explicit Shared(int wanted) : most(WorkersWithin(wanted)) {}

    struct Slot {
        QString folder, name;
        FileMetadata read;
        bool done = false;
    };

    const int most;
    std::mutex mutex;
    std::condition_variable work;      // to the workers: files to look up, or stop
    std::condition_variable answered;  // to the taker: the file it waits for is done
    std::vector<Slot> slots = std::vector<Slot>(Window);  // file s in slot s % Window
    qint64 asked = 0, claimed = 0, taken = 0;
    int workers = 0;
    int idle = 0;  // workers waiting for files, or started and not yet waiting
    bool stop = false;
    FolderMetadataReader reader;  // the taker's own, without workers

    Slot& At(qint64 s) { return slots[size_t(s % Window)]; }

    // Started counted as idle.
    void Work() {
        FolderMetadataReader own;
        std::unique_lock lock(mutex);
        for (;; ++idle) {
            work.wait(lock, [this] { return stop || claimed < asked; });
            --idle;
            if (stop)
                return;
            const qint64 first = claimed;
            qint64 end = first + 1;
            while (end < asked && end - first < Run && At(end).folder == At(first).folder)
                ++end;
            claimed = end;
            if (claimed < asked)
                work.notify_one();
            for (qint64 s = first; s < end; ++s) {
                // The taker leaves a slot alone from Ask() until it is done.
                lock.unlock();
                Slot& slot = At(s);
                FileMetadata read = own.Read(slot.folder, slot.name);
                lock.lock();
                if (stop)
                    return;
                slot.read = std::move(read);
                slot.done = true;
                if (s == taken)
                    answered.notify_one();
            }
        }
    }
};

MetadataLookAhead::MetadataLookAhead(int workers) : shared_(std::make_shared<Shared>(workers)) {}

MetadataLookAhead::~MetadataLookAhead() {
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->stop = true;
    }
    shared_->work.notify_all();
}

bool MetadataLookAhead::Ask(const QString& folder, const QString& name) {
    Shared& s = *shared_;
    {
        const std::lock_guard lock(s.mutex);
        if (s.asked - s.taken >= Window)
            return false;
        Shared::Slot& slot = s.At(s.asked++);
        slot.folder = folder;
        slot.name = name;
        slot.done = false;
        if (s.most == 0)
            return true;
        // Another worker while the idle ones have more than a run each to take.
        if (s.asked - s.claimed <= qint64(s.idle) * Run || s.workers >= s.most)
            return true;
        ++s.workers;
        ++s.idle;
    }
    // Detached, as the walk's read-ahead: a worker in a look-up that hangs must not hold up a run
    // that stopped; it keeps what it shares alive until it ends.
    std::thread([shared = shared_] { shared->Work(); }).detach();
    return true;
}

std::optional<FileMetadata> MetadataLookAhead::Take(int ms) {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    if (s.taken == s.asked)
        return std::nullopt;
    Shared::Slot& slot = s.At(s.taken);
    if (s.most == 0) {
        // One at a time: looked up here, as it is taken.
        s.claimed = ++s.taken;
        lock.unlock();
        FileMetadata read = s.reader.Read(slot.folder, slot.name);
        slot.folder.clear();
        slot.name.clear();
        return read;
    }
    // Idle workers are woken for a whole run, or for the file waited for: not at every file asked
    // for, which costs more than a look-up the cache answers.
    if (s.idle > 0 && (s.asked - s.claimed >= Run || s.claimed == s.taken))
        s.work.notify_one();
    if (!s.answered.wait_for(lock, std::chrono::milliseconds(ms), [&slot] { return slot.done; }))
        return std::nullopt;
    ++s.taken;
    slot.folder.clear();
    slot.name.clear();
    return std::move(slot.read);
}

}  // namespace tallyrook
