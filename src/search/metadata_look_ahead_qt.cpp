// The look-ups one at a time, as each file is taken: for platforms without the POSIX calls.
#include <deque>

#include "search/metadata_look_ahead.h"

namespace tallyrook {

struct MetadataLookAhead::Shared {
    std::deque<std::pair<QString, QString>> asked;
    FolderMetadataReader reader;
};

MetadataLookAhead::MetadataLookAhead(int) : shared_(std::make_shared<Shared>()) {}

MetadataLookAhead::~MetadataLookAhead() = default;

bool MetadataLookAhead::Ask(const QString& folder, const QString& name) {
    if (shared_->asked.size() >= Window)
        return false;
    shared_->asked.emplace_back(folder, name);
    return true;
}

std::optional<FileMetadata> MetadataLookAhead::Take(int) {
    if (shared_->asked.empty())
        return std::nullopt;
    const auto [folder, name] = std::move(shared_->asked.front());
    shared_->asked.pop_front();
    return shared_->reader.Read(folder, name);
}

}  // namespace tallyrook
