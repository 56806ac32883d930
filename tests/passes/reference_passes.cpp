#include "reference_passes.h"

#include "search/file_functions.h"
#include "search/formats.h"
#include "search/result_list.h"
#include "search/search_host.h"
#include "search/similarity.h"
#include "shared/global.h"

namespace tallyrook::test {

bool ReferencePasses::Listed(const QString& path, int firstRow) const {
    for (int i = firstRow - 1; i < rows_.RowCount(); ++i) {
        if (rows_.Row(i).path == path)
            return true;
    }
    return false;
}

void ReferencePasses::AddRow(qsizetype k, const QString& type, const QString& color) {
    ResultRow row;
    row.path = global_.FullPath(k);
    row.bytes = FileSize2(row.path).value_or(-1);
    if (row.bytes >= 0)
        row.sizeText = FormatSize(row.bytes);
    row.modified = LastWriteTimeUtc(row.path);
    if (row.modified.isValid())
        row.modifiedText = GeneralDateText(FileTimeToDate(row.modified));
    row.type = type;
    rows_.AppendRow(row);
    colors_.append(color);
    ++rowsAdded_;
}

PassResult ReferencePasses::Run(Kind kind, int firstRow) {
    const QString type = kind == Kind::Name   ? QStringLiteral("Name")
                         : kind == Kind::Size ? QStringLiteral("Size")
                                              : QStringLiteral("Close");
    const QString strong = kind == Kind::Name   ? QStringLiteral("blue")
                           : kind == Kind::Size ? QStringLiteral("red")
                                                : QStringLiteral("green");
    const int from = kind == Kind::Name ? 1 : std::max(firstRow, 1);
    const qsizetype n = global_.FileCount();
    for (qsizetype a = 0; a < n; ++a) {
        host_.SetProgress(int(double(a + 1) / double(n) * 100));
        for (qsizetype b = a + 1; b < n; ++b) {
            if (!host_.ProcessPendingEvents())
                return PassResult::Abandoned;
            const QString& nameA = global_.FileNames.at(a);
            const QString& nameB = global_.FileNames.at(b);
            bool match = false;
            switch (kind) {
                case Kind::Name:
                    match = nameA == nameB;
                    break;
                case Kind::Size:
                    match = global_.FileSizes.at(a) != Global::NoSize &&
                            global_.FileSizeText(a) == global_.FileSizeText(b);
                    break;
                case Kind::Close:
                    match = nameA != nameB && NamesAreSimilar(nameA, nameB);
                    break;
            }
            if (!match)
                continue;
            if (host_.StopRequested())
                return PassResult::Stopped;
            const QString pathA = global_.FullPath(a);
            const QString pathB = global_.FullPath(b);
            const bool addA = !Listed(pathA, from);
            const bool addB = !Listed(pathB, from) && !(addA && pathA == pathB);
            if (rowsAdded_ + int(addA) + int(addB) > rowLimit_)
                return PassResult::RowsFull;
            const QString color = strongTurn_ ? strong : QStringLiteral("light ") + strong;
            if (addA) {
                anchorAdded_ = true;
                AddRow(a, type, color);
            }
            if (addB)
                AddRow(b, type, color);
        }
        if (anchorAdded_) {
            anchorAdded_ = false;
            strongTurn_ = !strongTurn_;
        }
    }
    return PassResult::Completed;
}

}  // namespace tallyrook::test
