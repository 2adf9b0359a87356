#pragma once

#include <QString>
#include <QStringList>

class QTranslator;

// Qt's own texts (the buttons of question boxes, the folder dialog) in the interface language.
// The catalogue "qtbase_<locale>" is looked for in Qt's translations folder, then in the
// "translations" folder beside the program, where a bundled install keeps it.
namespace QtTranslation {

// The catalogue's base name for an interface language code ("zh", "en").
QString catalogueName(const QString &language);

// The folders searched, in order.
QStringList searchFolders();

// Loads the catalogue into translator; returns the file loaded, or an empty string when no
// folder holds one (Qt's texts then stay in their English source).
QString load(QTranslator *translator, const QString &language);

} // namespace QtTranslation
