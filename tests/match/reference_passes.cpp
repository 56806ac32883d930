#include "reference_passes.h"

#include "search/file_functions.h"
#include "search/formats.h"
#include "support/reference_rule.h"

#include <algorithm>
#include <array>

namespace tallyrook::test {

StepResult ReferencePasses::Run(QChar pass) {
    const int k = int(QStringLiteral("NSC").indexOf(pass));
    const Criterion criterion = Criterion(k);
    const RowColor strong = std::array{RowColor::Blue, RowColor::Red, RowColor::Green}[size_t(k)];
    const RowColor light = RowColor(int(strong) + 1);
    // Exact Filename looks at the whole list, the others at their own rows.
    const int from = k == 0 ? 0 : rows.RowCount();
    // An anchor's turn is listed whole or not at all.
    std::vector<ResultRow> turn;
    const auto listed = [&](const QString& path) {
        for (int i = from; i < rows.RowCount(); ++i)
            if (rows.Row(i).path == path)
                return true;
        return std::any_of(turn.begin(), turn.end(), [&](auto& row) { return row.path == path; });
    };
    const auto addRow = [&](const QString& path, RowColor color, qsizetype anchor) {
        // Size and date asked of the file system now, not taken from the inventory.
        const qint64 bytes = FileSize2(path).value_or(-1);
        const QDateTime modified = LastWriteTimeUtc(path);
        ResultRow row{path,
                      bytes >= 0 ? FormatSize(bytes) : QString(),
                      modified.isValid() ? GeneralDateText(FileTimeToDate(modified)) : QString(),
                      criterion,
                      color,
                      bytes,
                      modified,
                      groups};
        row.anchor = anchor;
        turn.push_back(std::move(row));
        ++rowsAdded;
    };
    const qsizetype n = global.inventory.FileCount();
    for (qsizetype a = 0; a < n; ++a) {
        host.SetProgress(int(double(a + 1) / double(n) * 100));
        bool groupStarted = false;
        for (qsizetype b = a + 1; b < n; ++b) {
            if (!host.ProcessPendingEvents())
                return StepResult::Abandoned;
            const QString &nameA = global.inventory.FileNames.at(a),
                          &nameB = global.inventory.FileNames.at(b);
            const bool match =
                k == 0   ? nameA == nameB
                : k == 1 ? global.inventory.FileSizes.at(a) != FileInventory::NoSize &&
                               global.inventory.FileSizeText(a) == global.inventory.FileSizeText(b)
                         : nameA != nameB && NamesAreSimilar(nameA, nameB);
            if (!match)
                continue;
            if (host.StopRequested())
                return StepResult::Stopped;
            const QString pathA = global.inventory.FullPath(a),
                          pathB = global.inventory.FullPath(b);
            const bool addA = !listed(pathA), addB = !listed(pathB) && !(addA && pathA == pathB);
            if (rowsAdded + int(addA) + int(addB) > rowLimit) {
                rowsAdded -= int(turn.size());
                groups -= int(groupStarted);
                return StepResult::Full;
            }
            const RowColor color = strongTurn ? strong : light;
            if ((addA || addB) && !std::exchange(groupStarted, true))
                ++groups;
            if (addA)
                anchorAdded = true, addRow(pathA, color, a);
            if (addB)
                addRow(pathB, color, a);
        }
        for (ResultRow& row : turn)
            rows.AppendRow(std::move(row));
        turn.clear();
        strongTurn ^= std::exchange(anchorAdded, false);
    }
    return StepResult::Completed;
}

}  // namespace tallyrook::test
