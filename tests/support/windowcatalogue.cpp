#include "windowcatalogue.h"

#include "wavwriter.h"

#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

WindowCatalogue::WindowCatalogue(QObject *parent)
    : QObject(parent)
{
    m_server.setHandler([this](const TestHttpServer::Request &request) { return answer(request); });
}

bool WindowCatalogue::start()
{
    if (!m_dir.isValid() || !m_server.start())
        return false;
    qputenv("VELORA_SERVER_URL", m_server.baseUrl().toString().toUtf8());
    return true;
}

QString WindowCatalogue::addSong(const QString &name, int milliseconds)
{
    QDir(m_dir.path()).mkpath(QStringLiteral("audio"));
    writeWav(m_dir.filePath(QStringLiteral("audio/") + name), milliseconds);
    return QStringLiteral("audio/") + name;
}

QString WindowCatalogue::addCover(const QString &name, const QSize &size, const QColor &colour)
{
    QDir(m_dir.path()).mkpath(QStringLiteral("covers"));
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    image.save(m_dir.filePath(QStringLiteral("covers/") + name), "PNG");
    return QStringLiteral("covers/") + name;
}

void WindowCatalogue::useDefaultCatalogue()
{
    const QString a = addSong(QStringLiteral("a.wav"));
    const QString b = addSong(QStringLiteral("b.wav"));
    const QString c = addSong(QStringLiteral("c.wav"));
    const QString cover = addCover(QStringLiteral("one.png"), QSize(300, 150), Qt::red);
    setReply(QStringLiteral("getAlbums"),
        QStringLiteral(R"([
        {"id": 1, "name": "First", "artist": "Foo", "cover": "%1", "year": 2020, "song_count": 2},
        {"id": 2, "name": "Second", "artist": "foo", "cover": "", "year": 2021, "song_count": 1}
    ])")
            .arg(cover)
            .toUtf8());
    setReply(QStringLiteral("getSongs"),
        QStringLiteral(R"({"songs": [
        {"id": 11, "album_id": 1, "title": "Alpha", "artist": "Foo", "duration": 61, "file_path": "%1",
         "lyrics": "[00:00.00]first line\n[00:00.10]second line", "play_count": 5},
        {"id": 12, "album_id": 1, "title": "Beta", "artist": "Foo", "duration": 0, "file_path": "%2"},
        {"id": 13, "album_id": 99, "title": "Gamma", "artist": "foo", "duration": 3725, "file_path": "%3",
         "lyrics": "[00:00.00]gamma line"}
    ]})")
            .arg(a, b, c)
            .toUtf8());
    setReply(QStringLiteral("getArtistRanking"), QByteArrayLiteral(R"([
        {"artist": "Foo", "song_count": 12, "total_plays": 3456},
        {"artist": "foo", "song_count": 1, "total_plays": 7},
        {"artist": "Nobody", "song_count": 0, "total_plays": 0}
    ])"));
    setReply(QStringLiteral("getSongRanking"), QByteArrayLiteral(R"({"songs": [
        {"id": 13, "title": "Gamma", "artist": "foo", "play_count": 40},
        {"id": 11, "title": "Alpha", "artist": "Foo", "play_count": 5},
        {"id": 77, "title": "Gone", "artist": "Ghost", "play_count": 1}
    ]})"));
}

QStringList WindowCatalogue::actions() const
{
    QStringList result;
    const QList<TestHttpServer::Request> requests = m_server.requests();
    for (const TestHttpServer::Request &request : requests) {
        if (request.url.path() == QLatin1String("/music/api.php"))
            result.append(QUrlQuery(request.url).queryItemValue(QStringLiteral("action")));
    }
    return result;
}

QStringList WindowCatalogue::targets() const
{
    QStringList result;
    const QList<TestHttpServer::Request> requests = m_server.requests();
    for (const TestHttpServer::Request &request : requests)
        result.append(QString::fromUtf8(request.target));
    return result;
}

TestHttpServer::Response WindowCatalogue::answer(const TestHttpServer::Request &request)
{
    if (m_failing)
        return TestHttpServer::json("{\"error\": \"broken\"}", 500);
    const QString path = request.url.path();
    if (path == QLatin1String("/music/api.php")) {
        const QUrlQuery query(request.url);
        const QString action = query.queryItemValue(QStringLiteral("action"));
        if (m_silent.contains(action)) {
            TestHttpServer::Response silent;
            silent.noAnswer = true;
            return silent;
        }
        if (action == QLatin1String("search")) {
            // Matches titles case-insensitively, like a catalogue would.
            const QString term = query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
            const QByteArray all = m_replies.value(QStringLiteral("getSongs"));
            const QJsonArray songs = QJsonDocument::fromJson(all).object().value(QStringLiteral("songs")).toArray();
            QJsonArray found;
            for (const QJsonValue &song : songs) {
                if (song.toObject().value(QStringLiteral("title")).toString().contains(term, Qt::CaseInsensitive))
                    found.append(song);
            }
            return TestHttpServer::json(QJsonDocument(QJsonObject { { QStringLiteral("results"), found } }).toJson());
        }
        if (action == QLatin1String("getSongs") && query.hasQueryItem(QStringLiteral("album_id"))) {
            const int albumId = query.queryItemValue(QStringLiteral("album_id")).toInt();
            const QByteArray all = m_replies.value(QStringLiteral("getSongs"));
            const QJsonArray songs = QJsonDocument::fromJson(all).object().value(QStringLiteral("songs")).toArray();
            QJsonArray found;
            for (const QJsonValue &song : songs) {
                if (song.toObject().value(QStringLiteral("album_id")).toInt() == albumId)
                    found.append(song);
            }
            return TestHttpServer::json(QJsonDocument(found).toJson());
        }
        return TestHttpServer::json(m_replies.value(action, QByteArrayLiteral("[]")));
    }
    if (path.startsWith(QLatin1String("/music/"))) {
        const QString file = m_dir.filePath(path.mid(7));
        return TestHttpServer::file(file, path.endsWith(QLatin1String(".png")) ? "image/png" : "audio/wav");
    }
    return TestHttpServer::json("not found", 404);
}

namespace WindowTest {

QListWidget *list(QObject *window, const char *name)
{
    return widget<QListWidget>(window, name);
}

QPushButton *tab(QObject *window, int index)
{
    const QList<QPushButton *> buttons = window->findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        const QVariant value = button->property("tabIndex");
        if (value.isValid() && value.toInt() == index)
            return button;
    }
    return nullptr;
}

QStringList tabTexts(QObject *window)
{
    QStringList texts;
    for (int i = 0; i < 5; ++i) {
        QPushButton *button = tab(window, i);
        texts.append(button ? button->text() : QString());
    }
    return texts;
}

QStringList rowTexts(QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

} // namespace WindowTest
