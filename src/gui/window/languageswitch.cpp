#include "languageswitch.h"

#include "qttranslation.h"
#include "windowtext.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTranslator>

namespace {

const QString ChineseResource = QStringLiteral(":/translations/vl_zh.qm");
const QString EnglishResource = QStringLiteral(":/translations/vl_en.qm");
const QString ChineseFile = QStringLiteral("vl_zh.qm");
const QString EnglishFile = QStringLiteral("vl_en.qm");

} // namespace

LanguageSwitch::LanguageSwitch(QObject *parent)
    : QObject(parent)
    , m_translator(new QTranslator(parent))
    , m_qtTranslator(new QTranslator(parent))
{
}

void LanguageSwitch::load(const QString &language)
{
    // Removed whatever it holds: the Chinese catalogue is empty but installed all the same,
    // and installing it twice would leave it in the application's list twice.
    QCoreApplication::removeTranslator(m_translator);
    QCoreApplication::removeTranslator(m_qtTranslator);

    const bool english = language == QLatin1String("en");
    const QString resource = english ? EnglishResource : ChineseResource;
    if (m_translator->load(resource)) {
        QCoreApplication::installTranslator(m_translator);
        qDebug() << WindowText::tr("已加载翻译:") << resource;
    } else {
        qDebug() << WindowText::tr("加载翻译失败:") << resource;
        const QString file = QCoreApplication::applicationDirPath() + QStringLiteral("/translations/")
            + (language == QLatin1String("zh") ? ChineseFile : EnglishFile);
        if (m_translator->load(file)) {
            QCoreApplication::installTranslator(m_translator);
            qDebug() << WindowText::tr("从文件加载翻译:") << file;
        }
    }
    // Qt's own texts follow the catalogue that was really loaded: an unknown code can end in
    // either language.
    const QString shown
        = m_translator->language().startsWith(QLatin1String("en")) ? QStringLiteral("en") : QStringLiteral("zh");
    if (!QtTranslation::load(m_qtTranslator, shown).isEmpty())
        QCoreApplication::installTranslator(m_qtTranslator);
    else
        qDebug() << "Qt's own catalogue not found for" << shown << "in" << QtTranslation::searchFolders();
}
