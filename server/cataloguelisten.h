#pragma once

#include <QHostAddress>
#include <QString>

namespace CatalogueListen {

// "HOST:PORT" with a numeric host ("127.0.0.1:8765", "[::1]:8765", "0.0.0.0:80") or
// "localhost"; port 0 asks for any free port.
bool parse(const QString &text, QHostAddress *address, quint16 *port, QString *error);

} // namespace CatalogueListen
