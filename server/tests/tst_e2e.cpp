// End to end: the catalogue server with the demo catalogue on a free port, and the real main
// window (offscreen) pointed at it through VELORA_SERVER_URL.

#include "cataloguedatabase.h"
#include "catalogueimporter.h"
#include "catalogueserver.h"
#include "democatalogue.h"
#include "mainwindow.h"
#include "modalboxcloser.h"
#include "testhttpserver.h"
#include "musicplayer.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Short enough to play through quickly in real time, long enough for the player to start it.
constexpr int SongMs = 700;
constexpr int PlayTimeoutMs = 30000;

struct ServedRequest
{
    QString path;
    QString query;
    int status;
};

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void catalogueLoads();
    void albumPlaysOverHttpAndMovesOn();
    void songChartShowsThePlays();
    void httpsCatalogueIsVerified();

private:
    int playCount(int songId);
    Song songByTitle(const QString &title);
    bool served(const QString &path, const QList<int> &statuses) const;

    QTemporaryDir m_dir;
    CatalogueDatabase *m_db = nullptr;
    CatalogueServer *m_server = nullptr;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<ModalBoxCloser> m_boxes;
    QList<ServedRequest> m_requests;
};

void TestEndToEnd::initTestCase()
{
    QVERIFY(m_dir.isValid());
    DemoCatalogue demo;
    QVERIFY2(demo.generate(m_dir.filePath(QStringLiteral("music")), SongMs), qPrintable(demo.lastError()));
    m_db = new CatalogueDatabase(this);
    QVERIFY2(m_db->open(m_dir.filePath(QStringLiteral("catalogue.sqlite"))), qPrintable(m_db->lastError()));
    CatalogueImporter importer(m_db);
    CatalogueImporter::Report report;
    QVERIFY2(importer.importFolder(m_dir.filePath(QStringLiteral("music")), &report), qPrintable(importer.lastError()));

    m_server = new CatalogueServer(m_db, this);
    QVERIFY2(m_server->start(QHostAddress::LocalHost, 0), qPrintable(m_server->errorString()));
    connect(m_server, &CatalogueServer::requestHandled, this,
        [this](const QString &path, const QString &query, int status) {
            m_requests.append({ path, query, status });
        });
    qputenv("VELORA_SERVER_URL", QStringLiteral("http://127.0.0.1:%1").arg(m_server->port()).toUtf8());

    // Any error box (an empty album, a failed load) would block the run; record and close them.
    m_boxes = std::make_unique<ModalBoxCloser>();
    m_boxes->start();
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestEndToEnd::cleanupTestCase()
{
    // Stop as the window's close does, so no playback event reaches a window being torn down.
    if (m_window) {
        if (auto *player = m_window->findChild<MusicPlayer *>())
            player->stop();
    }
    m_window.reset();
    m_boxes.reset();
}

int TestEndToEnd::playCount(int songId)
{
    Song song;
    bool found = false;
    if (!m_db->song(songId, &song, &found) || !found)
        return -1;
    return song.playCount;
}

Song TestEndToEnd::songByTitle(const QString &title)
{
    QList<Song> songs;
    m_db->songs(0, &songs);
    for (const Song &song : std::as_const(songs)) {
        if (song.title == title)
            return song;
    }
    return Song();
}

bool TestEndToEnd::served(const QString &path, const QList<int> &statuses) const
{
    for (const ServedRequest &r : m_requests) {
        if (r.path == path && statuses.contains(r.status))
            return true;
    }
    return false;
}

void TestEndToEnd::catalogueLoads()
{
    auto *albums = m_window->findChild<QListWidget *>(QStringLiteral("albumList"));
    auto *songs = m_window->findChild<QListWidget *>(QStringLiteral("allSongsList"));
    QVERIFY(albums && songs);
    QTRY_COMPARE_WITH_TIMEOUT(albums->count(), 3, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(songs->count(), 9, 15000);

    QStringList tiles;
    for (int i = 0; i < albums->count(); ++i)
        tiles.append(albums->item(i)->text());
    QVERIFY2(
        tiles.contains(QStringLiteral("Night Drive (3)\nVelora Synth Club")), qPrintable(tiles.join(QLatin1Char('|'))));
    QVERIFY(tiles.contains(QStringLiteral("晨光序曲 (4)\n林间乐团")));
    const Song neon = songByTitle(QStringLiteral("Neon Lights"));
    bool listed = false;
    for (int i = 0; i < songs->count(); ++i)
        listed = listed || songs->item(i)->data(Qt::UserRole).toInt() == neon.id;
    QVERIFY(listed);

    // Every cover the catalogue names was fetched from the media folder, the embedded one too.
    QList<Album> catalogue;
    QVERIFY(m_db->albums(&catalogue));
    for (const Album &album : std::as_const(catalogue))
        QTRY_VERIFY2_WITH_TIMEOUT(
            served(QStringLiteral("/music/") + album.cover, { 200 }), qPrintable(album.cover), 10000);
    QVERIFY2(m_boxes->texts().isEmpty(), qPrintable(m_boxes->texts().join(QLatin1Char('|'))));
}

void TestEndToEnd::albumPlaysOverHttpAndMovesOn()
{
    auto *albums = m_window->findChild<QListWidget *>(QStringLiteral("albumList"));
    auto *label = m_window->findChild<QLabel *>(QStringLiteral("currentSongLabel"));
    QVERIFY(albums && label);
    const Song first = songByTitle(QStringLiteral("Neon Lights"));
    const Song second = songByTitle(QStringLiteral("Midnight Avenue"));
    QVERIFY(first.id > 0 && second.id > 0);
    QCOMPARE(playCount(first.id), 0);
    QCOMPARE(playCount(second.id), 0);

    QListWidgetItem *tile = nullptr;
    for (int i = 0; i < albums->count(); ++i) {
        if (albums->item(i)->data(Qt::UserRole).toInt() == first.albumId)
            tile = albums->item(i);
    }
    QVERIFY(tile);
    albums->scrollToItem(tile);
    const QPoint centre = albums->visualItemRect(tile).center();
    QTest::mouseClick(albums->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(albums->viewport(), Qt::LeftButton, {}, centre);

    // The album's songs were asked for, the first song streamed from the media folder...
    QTRY_VERIFY_WITH_TIMEOUT(served(QStringLiteral("/music/api.php"), { 200 }), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(served(QStringLiteral("/music/") + first.filePath, { 200, 206 }), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(playCount(first.id), 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(label->text().contains(first.title), 10000);
    // ...played to its end, and the player moved on to the second, which the server counted.
    QTRY_VERIFY_WITH_TIMEOUT(playCount(second.id) >= 1, PlayTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(served(QStringLiteral("/music/") + second.filePath, { 200, 206 }), 10000);
    bool albumAsked = false;
    for (const ServedRequest &r : std::as_const(m_requests))
        albumAsked = albumAsked || r.query.contains(QStringLiteral("album_id=%1").arg(first.albumId));
    QVERIFY(albumAsked);
    QVERIFY2(m_boxes->texts().isEmpty(), qPrintable(m_boxes->texts().join(QLatin1Char('|'))));
}

void TestEndToEnd::songChartShowsThePlays()
{
    auto *selector = m_window->findChild<QComboBox *>(QStringLiteral("rankingTypeSelector"));
    auto *chart = m_window->findChild<QListWidget *>(QStringLiteral("rankingList"));
    QVERIFY(selector && chart);
    const Song first = songByTitle(QStringLiteral("Neon Lights"));
    const Song second = songByTitle(QStringLiteral("Midnight Avenue"));
    QVERIFY(playCount(first.id) >= 1 && playCount(second.id) >= 1);

    selector->setCurrentIndex(0);
    selector->setCurrentIndex(1);
    // Rows read "N. title - artist  (Play: n)" in either language; the played songs lead.
    static const QRegularExpression row(QStringLiteral("^\\d+\\. (.+) - (.+)  \\(.+: (\\d+)\\)$"));
    auto countOf = [&](const Song &song) {
        for (int i = 0; i < chart->count(); ++i) {
            if (chart->item(i)->data(Qt::UserRole).toInt() != song.id)
                continue;
            const QRegularExpressionMatch m = row.match(chart->item(i)->text());
            return m.hasMatch() && m.captured(1) == song.title ? m.captured(3).toInt() : -1;
        }
        return -1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(countOf(first) >= 1 && countOf(second) >= 1, 10000);
    const QRegularExpressionMatch top = row.match(chart->item(0)->text());
    QVERIFY2(top.hasMatch(), qPrintable(chart->item(0)->text()));
    QVERIFY(top.captured(3).toInt() >= 1);
    QVERIFY2(m_boxes->texts().isEmpty(), qPrintable(m_boxes->texts().join(QLatin1Char('|'))));
}

// The same catalogue over TLS: with its certificate trusted the window loads it (catalogue and
// covers); without, the window gets nothing and says so. Media stay out of this: the media
// framework trusts only the system store.
void TestEndToEnd::httpsCatalogueIsVerified()
{
    QTemporaryDir certDir;
    const TestCertificate cert = TestCertificate::make(certDir.path());
    if (!cert.isValid())
        QSKIP("openssl could not make a test certificate");
    CatalogueServer tlsServer(m_db);
    QVERIFY2(
        tlsServer.start(QHostAddress::LocalHost, 0, cert.certificate, cert.key), qPrintable(tlsServer.errorString()));
    int apiAnswers = 0;
    int coverAnswers = 0;
    connect(&tlsServer, &CatalogueServer::requestHandled, this, [&](const QString &path, const QString &, int status) {
        if (status != 200)
            return;
        if (path == QLatin1String("/music/api.php"))
            ++apiAnswers;
        else
            ++coverAnswers;
    });
    qputenv("VELORA_SERVER_URL", QStringLiteral("https://127.0.0.1:%1").arg(tlsServer.port()).toUtf8());
    // The refused load is said on the album page, naming the certificate as the cause.
    auto emptyCatalogueReported = [](MainWindow *window) {
        auto *notice = window->findChild<QLabel *>(QStringLiteral("albumNoticeText"));
        const QString text = notice ? notice->text() : QString();
        return text.contains(QStringLiteral("服务器证书不受信任"))
            || text.contains(QStringLiteral("certificate is not trusted"));
    };
    auto closeWindow = [](MainWindow *window) {
        if (auto *player = window->findChild<MusicPlayer *>())
            player->stop();
        delete window;
    };

    qputenv("VELORA_SERVER_CA_FILE", QFile::encodeName(cert.certificatePath));
    m_boxes->clear();
    auto *trusting = new MainWindow;
    trusting->show();
    auto *albums = trusting->findChild<QListWidget *>(QStringLiteral("albumList"));
    auto *songs = trusting->findChild<QListWidget *>(QStringLiteral("allSongsList"));
    QTRY_COMPARE_WITH_TIMEOUT(albums->count(), 3, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(songs->count(), 9, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(coverAnswers, 3, 10000);
    // (An auto-played song may report that its media could not be fetched over TLS: the media
    // framework does not know this certificate. Only the catalogue's own path is checked here.)
    QVERIFY(!emptyCatalogueReported(trusting));
    closeWindow(trusting);

    qunsetenv("VELORA_SERVER_CA_FILE");
    qunsetenv("VELORA_SERVER_INSECURE");
    const int answersBefore = apiAnswers;
    auto *doubting = new MainWindow;
    doubting->show();
    QTRY_VERIFY_WITH_TIMEOUT(emptyCatalogueReported(doubting), 15000);
    QCOMPARE(doubting->findChild<QListWidget *>(QStringLiteral("albumList"))->count(), 0);
    QCOMPARE(doubting->findChild<QListWidget *>(QStringLiteral("allSongsList"))->count(), 0);
    QCOMPARE(apiAnswers, answersBefore);
    closeWindow(doubting);
    m_boxes->clear();
}

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
