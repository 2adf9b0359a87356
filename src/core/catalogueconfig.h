#pragma once

#include <QSslConfiguration>
#include <QString>
#include <QUrl>

class QNetworkReply;
class QNetworkRequest;

// Where the catalogue server is and how far it is trusted. For every value an environment
// variable wins over the settings key (QSettings "Velora"/"VeloraPlayer"), which wins over the
// compiled-in default. Invalid values are logged and fall back to the default.
//
//   VELORA_SERVER_URL          "server/baseUrl"                 scheme, host and port of the server;
//                                                               default "http://127.0.0.1:8765"
//   VELORA_SERVER_CA_FILE      "server/trustedCertificates"     PEM file of extra certificates to trust
//                                                               (a self-signed server certificate or
//                                                               its CA), on top of the system store
//   VELORA_SERVER_INSECURE     "server/skipCertificateCheck"    true/1/yes/on: accept any server
//                                                               certificate, for this client only
//   VELORA_SERVER_TIMEOUT_MS   "server/transferTimeoutMs"       milliseconds without progress after
//                                                               which a request fails; default 30000
//   VELORA_SERVER_DEADLINE_MS  "server/requestDeadlineMs"       milliseconds after which a catalogue
//                                                               request fails however slowly data
//                                                               still arrives; default 60000
//   VELORA_SERVER_ANSWER_MS    "server/answerTimeoutMs"         milliseconds within which a catalogue
//                                                               server must start its answer (the
//                                                               connection and the first reply
//                                                               bytes); default 10000
//
// The trust settings apply to catalogue requests and cover downloads. Media files over HTTPS are
// fetched by the media framework, which uses the system trust store only.
namespace CatalogueConfig {

inline constexpr const char *DefaultBaseUrl = "http://127.0.0.1:8765";
inline constexpr int DefaultTransferTimeoutMs = 30000;
inline constexpr int DefaultRequestDeadlineMs = 60000;
inline constexpr int DefaultAnswerTimeoutMs = 10000;
// Larger replies are aborted: a catalogue or cover is never near this, a broken server may be.
inline constexpr qint64 MaxReplyBytes = qint64(64) * 1024 * 1024;
inline constexpr const char *UserAgent = "Velora/1.0";

// Scheme and host (and port), without a trailing slash.
QUrl baseUrl();
// baseUrl() + "/music/api.php"
QUrl apiUrl();
// baseUrl() + "/music/": the folder of media files and covers.
QUrl mediaBaseUrl();
// True for a path that names a file inside the media folder: relative, no scheme or drive,
// no backslash or control character, no "." or ".." segment.
bool isSafeMediaPath(const QString &path);
// mediaBaseUrl() + path, each segment percent-encoded once from its raw text (a "%41" in a
// file name stays "%41"). An invalid URL, with a warning, when isSafeMediaPath() is false.
QUrl mediaUrl(const QString &path);

// Path of the PEM file of extra trusted certificates; empty when none is configured.
QString trustedCertificatesFile();
// True only when the user explicitly turned certificate verification off.
bool skipCertificateCheck();
// Inactivity timeout of every catalogue and cover request, always > 0.
int transferTimeoutMs();
// Longest time a catalogue request may take in total, always > 0: a server that sends a byte
// now and then never trips the inactivity timeout.
int requestDeadlineMs();
// Longest wait for a catalogue server to begin its answer, always > 0: one that accepts the
// connection and then says nothing is given up long before the transfer timeout.
int answerTimeoutMs();

// A copy of the process default with the trust settings above applied. The process-wide
// default itself is never changed. Use one result for all requests of a network manager:
// a pooled connection keeps the TLS settings of the request that opened it.
QSslConfiguration sslConfiguration();

// Sets the User-Agent, the given TLS configuration and the transfer timeout on a request.
void prepareRequest(QNetworkRequest &request, const QSslConfiguration &ssl, int timeoutMs);
// Same with freshly read settings (sslConfiguration(), transferTimeoutMs()).
void prepareRequest(QNetworkRequest &request);

// Aborts the reply once its body grows beyond maxBytes (announced or received); the reply then
// finishes with OperationCanceledError and replyTooLarge() is true.
void limitReplySize(QNetworkReply *reply, qint64 maxBytes = MaxReplyBytes);
bool replyTooLarge(const QNetworkReply *reply);
// Aborts the reply once it has run for ms; it then finishes with OperationCanceledError and
// replyPastDeadline() is true.
void limitReplyTime(QNetworkReply *reply, int ms);
bool replyPastDeadline(const QNetworkReply *reply);
// Aborts the reply when no reply header has arrived within ms of sending; it then finishes with
// OperationCanceledError and replyUnanswered() is true. Once the answer begins, the transfer
// timeout and the deadline alone apply.
void limitAnswerTime(QNetworkReply *reply, int ms);
bool replyUnanswered(const QNetworkReply *reply);

} // namespace CatalogueConfig
