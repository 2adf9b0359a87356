#pragma once

#include <QObject>
#include <QString>

class QTranslator;

// The interface language: the program's catalogue and Qt's own, installed for the application.
class LanguageSwitch : public QObject
{
    Q_OBJECT

public:
    explicit LanguageSwitch(QObject *parent);

    // Installs the catalogues of a language code ("zh", "en"); the caller then retranslates.
    void load(const QString &language);

private:
    QTranslator *m_translator;
    QTranslator *m_qtTranslator; // Qt's own texts, in the same language
};
