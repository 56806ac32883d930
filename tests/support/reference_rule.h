#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <optional>

// The rules as written, one pair or one file at a time, for the tests and the benchmarks to hold
// the program's faster ways against: the program itself uses PreparedNames for the similarity
// rule and reads the rows' sizes and dates folder by folder (FolderMetadataReader).
namespace tallyrook {

// The words of a name: split at every blank (code 32) and nowhere else; empty words count.
QStringList SplitWords(const QString& name);
// Matches of the first list's words in the second (ignoring case, locale-aware upper-casing),
// divided by the larger count. Not symmetric: the first list drives the count.
double WordMatchRatio(const QStringList& first, const QStringList& second,
                      const QLocale& locale = QLocale::system());
// True when the ratio, rounded half to even, is 1: more than half of the larger word list matched.
bool NamesAreSimilar(const QString& first, const QString& second,
                     const QLocale& locale = QLocale::system());

// The file's size in bytes (64-bit), or nothing when its metadata cannot be read.
std::optional<qint64> FileSize2(const QString& path);
// The file's last-write time in UTC; invalid when it cannot be read.
QDateTime LastWriteTimeUtc(const QString& path);
// General date text of the file's last write; the empty text when it cannot be read.
QString LastModifiedText(const QString& path, const QLocale& locale = QLocale::system());

}  // namespace tallyrook
