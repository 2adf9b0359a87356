#include "catalogueconfig.h"

#include <QSettings>

namespace CatalogueConfig {

QUrl baseUrl()
{
    QString text = qEnvironmentVariable("VELORA_SERVER_URL").trimmed();
    if (text.isEmpty()) {
        QSettings settings(QStringLiteral("Velora"), QStringLiteral("VeloraPlayer"));
        text = settings.value(QStringLiteral("server/baseUrl")).toString().trimmed();
    }
    QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        url = QUrl(QString::fromLatin1(DefaultBaseUrl));
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path);
    return url;
}

QUrl apiUrl()
{
    QUrl url = baseUrl();
    url.setPath(url.path() + QStringLiteral("/music/api.php"));
    return url;
}

QUrl mediaBaseUrl()
{
    QUrl url = baseUrl();
    url.setPath(url.path() + QStringLiteral("/music/"));
    return url;
}

} // namespace CatalogueConfig
