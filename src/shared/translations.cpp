#include "shared/translations.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tallyrook {

namespace {

const QString CatalogueFolder = QStringLiteral(":/i18n/");
const QString CatalogueName = QStringLiteral("tallyrook_");

// "de_DE.UTF-8", "de-DE" and "de" all ask for "de_DE" first, then "de".
QStringList Candidates(const QString& language) {
    QString name = language.section(u'.', 0, 0).section(u'@', 0, 0);
    name.replace(u'-', u'_');
    QStringList candidates{name};
    const QString base = name.section(u'_', 0, 0);
    if (base != name)
        candidates.append(base);
    return candidates;
}

}  // namespace

QString CatalogueLanguage(const QStringList& languages) {
    for (const QString& language : languages) {
        const QStringList candidates = Candidates(language);
        // English is the source: asked for before any catalogue, it wins.
        if (candidates.last() == u"en" || candidates.last() == u"C" ||
            candidates.last() == u"POSIX")
            return {};
        for (const QString& candidate : candidates) {
            if (QFileInfo::exists(CatalogueFolder + CatalogueName + candidate + u".qm"))
                return candidate;
        }
    }
    return {};
}

QString InstallTranslations() {
    auto* app = QCoreApplication::instance();
    QString language = CatalogueLanguage(QLocale::system().uiLanguages());
    if (!app || language.isEmpty())
        return {};
    auto* ours = new QTranslator(app);
    if (!ours->load(CatalogueName + language, CatalogueFolder)) {
        delete ours;
        return {};
    }
    QCoreApplication::installTranslator(ours);
    // Qt's catalogue, where Debian's qt6-translations-l10n put it; without it Qt's few texts stay
    // English.
    auto* qt = new QTranslator(app);
    if (qt->load(QStringLiteral("qtbase_") + language,
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    return language;
}

}  // namespace tallyrook
