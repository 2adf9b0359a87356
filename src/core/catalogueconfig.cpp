#include "catalogueconfig.h"

#include "settings.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>
#include <QSslCertificate>
#include <QStringList>
#include <QTimer>

namespace CatalogueConfig {

namespace {

    const char *const TooLargeProperty = "veloraReplyTooLarge";
    const char *const PastDeadlineProperty = "veloraReplyPastDeadline";
    const char *const UnansweredProperty = "veloraReplyUnanswered";

    // Texts are marked with QT_TRANSLATE_NOOP so that lupdate finds them in this context.
    QString translate(const char *text)
    {
        return QCoreApplication::translate("CatalogueConfig", text);
    }

    struct Configured
    {
        QString text;
        QString source; // the variable or key it came from, for messages
    };

    // The environment variable when it holds something, else the setting.
    Configured configured(const char *envName, Settings::CatalogueKey key)
    {
        const QString fromEnv = qEnvironmentVariable(envName).trimmed();
        if (!fromEnv.isEmpty())
            return { fromEnv, QLatin1String(envName) };
        return { Settings().catalogueValue(key).trimmed(), Settings::catalogueKeyName(key) };
    }

    // Settings are read for every request; a bad value is reported once, not per request.
    bool firstReport(const QString &what)
    {
        static QMutex mutex;
        static QSet<QString> reported;
        QMutexLocker lock(&mutex);
        if (reported.contains(what))
            return false;
        reported.insert(what);
        return true;
    }

    void warnInvalid(const Configured &value)
    {
        if (firstReport(value.source + QLatin1Char('=') + value.text))
            qWarning().noquote() << translate(QT_TRANSLATE_NOOP("CatalogueConfig", "无效的设置值，使用默认值:"))
                                 << value.source << value.text;
    }

} // namespace

QUrl baseUrl()
{
    const Configured value = configured("VELORA_SERVER_URL", Settings::CatalogueKey::ServerUrl);
    const QString &text = value.text;
    QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        if (!text.isEmpty())
            warnInvalid(value);
        url = QUrl(QString::fromLatin1(DefaultBaseUrl));
    }
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

bool isSafeMediaPath(const QString &path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.contains(QLatin1Char('\\')))
        return false;
    for (const QChar c : path) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    const QStringList segments = path.split(QLatin1Char('/'));
    // A colon in the first segment is a scheme ("file:", "http:") or a drive ("C:").
    if (segments.first().contains(QLatin1Char(':')))
        return false;
    for (const QString &segment : segments) {
        if (segment == QLatin1String(".") || segment == QLatin1String(".."))
            return false;
    }
    return true;
}

QUrl mediaUrl(const QString &path)
{
    if (!isSafeMediaPath(path)) {
        qWarning().noquote() << translate(QT_TRANSLATE_NOOP("CatalogueConfig", "拒绝媒体文件夹之外的路径:")) << path;
        return QUrl();
    }
    QByteArray encoded = mediaBaseUrl().toEncoded();
    const QStringList segments = path.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (i > 0)
            encoded += '/';
        encoded += QUrl::toPercentEncoding(segments.at(i));
    }
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

QString trustedCertificatesFile()
{
    return configured("VELORA_SERVER_CA_FILE", Settings::CatalogueKey::TrustedCertificates).text;
}

bool skipCertificateCheck()
{
    const Configured value = configured("VELORA_SERVER_INSECURE", Settings::CatalogueKey::SkipCertificateCheck);
    const QString text = value.text.toLower();
    if (text.isEmpty() || text == QLatin1String("0") || text == QLatin1String("false") || text == QLatin1String("no")
        || text == QLatin1String("off"))
        return false;
    if (text == QLatin1String("1") || text == QLatin1String("true") || text == QLatin1String("yes")
        || text == QLatin1String("on"))
        return true;
    // Anything unclear keeps verification on: the safe reading of a typo.
    warnInvalid(value);
    return false;
}

namespace {

    // A positive millisecond count from the environment or settings, else the default.
    int positiveMs(const char *envName, Settings::CatalogueKey key, int defaultMs)
    {
        const Configured value = configured(envName, key);
        const QString &text = value.text;
        if (text.isEmpty())
            return defaultMs;
        bool ok = false;
        const int ms = text.toInt(&ok);
        if (!ok || ms <= 0) {
            warnInvalid(value);
            return defaultMs;
        }
        return ms;
    }

} // namespace

int requestDeadlineMs()
{
    return positiveMs("VELORA_SERVER_DEADLINE_MS", Settings::CatalogueKey::RequestDeadlineMs, DefaultRequestDeadlineMs);
}

int answerTimeoutMs()
{
    return positiveMs("VELORA_SERVER_ANSWER_MS", Settings::CatalogueKey::AnswerTimeoutMs, DefaultAnswerTimeoutMs);
}

int transferTimeoutMs()
{
    // 0 would mean "wait forever" to the network stack; that is exactly what must not happen.
    return positiveMs("VELORA_SERVER_TIMEOUT_MS", Settings::CatalogueKey::TransferTimeoutMs, DefaultTransferTimeoutMs);
}

QSslConfiguration sslConfiguration()
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    if (skipCertificateCheck()) {
        config.setPeerVerifyMode(QSslSocket::VerifyNone);
        return config;
    }
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    const QString path = trustedCertificatesFile();
    if (path.isEmpty())
        return config;
    if (!QFileInfo(path).isReadable()) {
        if (firstReport(QStringLiteral("unreadable:") + path))
            qWarning().noquote() << translate(QT_TRANSLATE_NOOP("CatalogueConfig", "无法读取受信任证书文件:")) << path;
        return config;
    }
    const QList<QSslCertificate> certificates
        = QSslCertificate::fromPath(path, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
    if (certificates.isEmpty()) {
        if (firstReport(QStringLiteral("empty:") + path))
            qWarning().noquote() << translate(QT_TRANSLATE_NOOP("CatalogueConfig", "受信任证书文件中没有证书:"))
                                 << path;
        return config;
    }
    config.addCaCertificates(certificates);
    return config;
}

void prepareRequest(QNetworkRequest &request, const QSslConfiguration &ssl, int timeoutMs)
{
    request.setRawHeader("User-Agent", UserAgent);
    request.setSslConfiguration(ssl);
    request.setTransferTimeout(timeoutMs);
}

void prepareRequest(QNetworkRequest &request)
{
    prepareRequest(request, sslConfiguration(), transferTimeoutMs());
}

void limitReplySize(QNetworkReply *reply, qint64 maxBytes)
{
    if (!reply)
        return;
    auto abortIfTooLarge = [reply, maxBytes](qint64 size) {
        if (size <= maxBytes || reply->property(TooLargeProperty).toBool())
            return;
        reply->setProperty(TooLargeProperty, true);
        reply->abort();
    };
    // The announced length stops an honest server early; the received count stops the others,
    // and bytesAvailable() covers bodies that grow when decompressed.
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, abortIfTooLarge] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid())
            abortIfTooLarge(length.toLongLong());
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
        [abortIfTooLarge](qint64 received, qint64) { abortIfTooLarge(received); });
    QObject::connect(reply, &QNetworkReply::readyRead, reply,
        [reply, abortIfTooLarge] { abortIfTooLarge(reply->bytesAvailable()); });
}

bool replyTooLarge(const QNetworkReply *reply)
{
    return reply && reply->property(TooLargeProperty).toBool();
}

void limitReplyTime(QNetworkReply *reply, int ms)
{
    if (!reply || ms <= 0)
        return;
    // The reply is the timer's context: a reply that finished and was deleted stops its timer.
    QTimer::singleShot(ms, reply, [reply] {
        if (reply->isFinished())
            return;
        reply->setProperty(PastDeadlineProperty, true);
        reply->abort();
    });
}

bool replyPastDeadline(const QNetworkReply *reply)
{
    return reply && reply->property(PastDeadlineProperty).toBool();
}

void limitAnswerTime(QNetworkReply *reply, int ms)
{
    if (!reply || ms <= 0)
        return;
    // A child of the reply: it goes with the reply, and the first header or byte stops it.
    auto *timer = new QTimer(reply);
    timer->setSingleShot(true);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, timer, &QTimer::stop);
    QObject::connect(reply, &QNetworkReply::readyRead, timer, &QTimer::stop);
    QObject::connect(reply, &QNetworkReply::finished, timer, &QTimer::stop);
    QObject::connect(timer, &QTimer::timeout, reply, [reply] {
        if (reply->isFinished())
            return;
        reply->setProperty(UnansweredProperty, true);
        reply->abort();
    });
    timer->start(ms);
}

bool replyUnanswered(const QNetworkReply *reply)
{
    return reply && reply->property(UnansweredProperty).toBool();
}

} // namespace CatalogueConfig
