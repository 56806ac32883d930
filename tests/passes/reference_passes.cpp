#include "reference_passes.h"

#include "search/file_functions.h"
#include "search/formats.h"
#include "search/similarity.h"

namespace tallyrook::test {

StepResult ReferencePasses::Run(QChar pass, int firstRow) {
    const int k = int(QStringLiteral("NSC").indexOf(pass));
    const QString type = QStringLiteral("Name Size Close").section(u' ', k, k);
    const QString strong = QStringLiteral("blue red green").section(u' ', k, k);
    const int from = k == 0 ? 1 : std::max(firstRow, 1);
    const auto listed = [&](const QString& path) {
        for (int i = from - 1; i < rows.RowCount(); ++i)
            if (rows.Row(i).path == path)
                return true;
        return false;
    };
    const auto addRow = [&](const QString& path, const QString& color) {
        // Size and date asked of the file system now, not taken from the inventory.
        const qint64 bytes = FileSize2(path).value_or(-1);
        const QDateTime modified = LastWriteTimeUtc(path);
        rows.AppendRow({path, bytes >= 0 ? FormatSize(bytes) : QString(),
                        modified.isValid() ? GeneralDateText(FileTimeToDate(modified)) : QString(),
                        type, bytes, modified, groups});
        global.rowColors.SetRowColor(rowsAdded++, color);
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
            if (rowsAdded + int(addA) + int(addB) > rowLimit)
                return StepResult::Full;
            const QString color = strongTurn ? strong : QStringLiteral("light ") + strong;
            if ((addA || addB) && !std::exchange(groupStarted, true))
                ++groups;
            if (addA)
                anchorAdded = true, addRow(pathA, color);
            if (addB)
                addRow(pathB, color);
        }
        strongTurn ^= std::exchange(anchorAdded, false);
    }
    return StepResult::Completed;
}

}  // namespace tallyrook::test
