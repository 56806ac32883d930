#pragma once

#include <QString>
#include <QStringList>

namespace tallyrook {

// The language the user's desktop asks for (LANGUAGE, LC_ALL, LC_MESSAGES, LANG, in that order
// of preference, as QLocale reads them) that we have a catalogue of, such as "de"; empty when
// English comes first or none is known. `languages` is the order of preference.
QString CatalogueLanguage(const QStringList& languages);

// Installs our catalogue of that language, and Qt's own (its buttons and command-line errors),
// into the running application. English needs nothing: it is the source of every text. Returns
// the language installed, empty for English.
QString InstallTranslations();

}  // namespace tallyrook
