#include "cataloguelisten.h"

namespace CatalogueListen {

bool parse(const QString &text, QHostAddress *address, quint16 *port, QString *error)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) {
        *error = QStringLiteral("--listen wants HOST:PORT, not \"%1\"").arg(text);
        return false;
    }
    QString host = text.left(colon);
    const QString portText = text.mid(colon + 1);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint value = portText.toUInt(&ok);
    if (!ok || value > 65535) {
        *error = QStringLiteral("\"%1\" is not a port number").arg(portText);
        return false;
    }
    QHostAddress parsed;
    if (host == QLatin1String("localhost"))
        parsed = QHostAddress(QHostAddress::LocalHost);
    else if (!parsed.setAddress(host)) {
        *error = QStringLiteral("\"%1\" is not a numeric host address").arg(host);
        return false;
    }
    *address = parsed;
    *port = quint16(value);
    return true;
}

} // namespace CatalogueListen
