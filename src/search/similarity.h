#pragma once

#include <QString>
#include <QStringList>

namespace tallyrook {

// The words of a name: split at every blank (code 32) and nowhere else; empty words count.
QStringList SplitWords(const QString& name);
// Matches of the first list's words in the second (ignoring case, locale-aware upper-casing),
// divided by the larger count. Not symmetric: the first list drives the count.
double WordMatchRatio(const QStringList& first, const QStringList& second);
// True when the ratio, rounded half to even, is 1: more than half of the larger word list matched.
bool NamesAreSimilar(const QString& first, const QString& second);

}  // namespace tallyrook
