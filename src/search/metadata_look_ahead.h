#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "search/file_functions.h"

namespace tallyrook {

// The size and date look-ups of many files, answered in the order they were asked for. With
// workers (POSIX only) they are asked ahead, several at once, so that a share that answers each
// question after a round trip has many in flight; without, each file is looked up as it is taken.
// Either way each answer is FolderMetadataReader's for the file at some moment between Ask() and
// Take(), as a look-up made then would have given it.
class MetadataLookAhead {
public:
    // At most this many files asked for and not yet taken.
    static constexpr int Window = 1024;

    // At most `workers` threads (0: none), fewer under a low descriptor limit: each keeps one
    // folder open.
    explicit MetadataLookAhead(int workers);
    // Does not wait for a worker in a look-up that hangs (a share gone): it ends after that call.
    ~MetadataLookAhead();
    MetadataLookAhead(const MetadataLookAhead&) = delete;
    MetadataLookAhead& operator=(const MetadataLookAhead&) = delete;

    // Asks for the file `name` in `folder` (ending with "/"). False while the window is full:
    // take one first.
    bool Ask(const QString& folder, const QString& name);
    // The first file asked for and not yet taken: its size and date, once looked up. Waits up to
    // `ms` milliseconds for the workers; nothing when they have not answered by then.
    std::optional<FileMetadata> Take(int ms);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace tallyrook
