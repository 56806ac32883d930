#pragma once

#include <QByteArray>

namespace tallyrook {
class Global;
class ResultList;
}  // namespace tallyrook

namespace tallyrook::cli {

// One line per row: path, size text, modified text, type, colour name, tab-separated, with
// backslash, tab and newline inside a field written as \\, \t and \n. Scripts rely on this.
QByteArray TsvText(const ResultList& rows, const Global& global);

// One JSON array of row objects.
QByteArray JsonText(const ResultList& rows, const Global& global);

// A table for a person: a blank line wherever the results window would change colour or type.
QByteArray TableText(const ResultList& rows, const Global& global);

}  // namespace tallyrook::cli
