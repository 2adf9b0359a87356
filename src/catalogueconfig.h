#pragma once

#include <QUrl>

// Where the catalogue server is: the environment variable VELORA_SERVER_URL wins, then the
// settings key "server/baseUrl", then the compiled-in default (the bundled catalogue server).
namespace CatalogueConfig {

inline constexpr const char *DefaultBaseUrl = "http://127.0.0.1:8765";

// Scheme and host (and port), without a trailing slash.
QUrl baseUrl();
// baseUrl() + "/music/api.php"
QUrl apiUrl();
// baseUrl() + "/music/": the folder of media files and covers.
QUrl mediaBaseUrl();

} // namespace CatalogueConfig
