#pragma once

#include "testhttpserver.h"

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>

// A catalogue server for main window tests: answers "/music/api.php?action=..." from JSON set
// per action, and serves the files of a private folder under "/music/" (short WAV songs,
// PNG covers). Unknown actions answer an empty array; a failing server answers 500 to all.
class WindowCatalogue : public QObject
{
    Q_OBJECT

public:
    explicit WindowCatalogue(QObject *parent = nullptr);

    // Starts listening and points the catalogue client of windows built afterwards at it.
    bool start();
    QUrl baseUrl() const { return m_server.baseUrl(); }
    TestHttpServer &server() { return m_server; }

    void setReply(const QString &action, const QByteArray &json) { m_replies.insert(action, json); }
    void setFailing(bool failing) { m_failing = failing; }
    // Requests for this action are taken but never answered (keeps a reply from racing a check).
    void setSilent(const QString &action) { m_silent.append(action); }
    void setAnswering(const QString &action) { m_silent.removeAll(action); }

    // A small default catalogue: two albums (the second without cover), three songs with WAV
    // files, lyrics on songs 1 and 3, two artists that differ only in case, and both charts.
    void useDefaultCatalogue();
    // Writes a short WAV as "audio/<name>" and returns its media path relative to "/music/".
    QString addSong(const QString &name, int milliseconds = 200);
    // Writes a PNG cover of the given size and colour as "covers/<name>".
    QString addCover(const QString &name, const QSize &size, const QColor &colour);

    // Requests seen so far: the api actions in order, and every target.
    QStringList actions() const;
    QStringList targets() const;
    int count(const QString &action) const { return actions().count(action); }
    void clear() { m_server.clearRequests(); }

private:
    TestHttpServer::Response answer(const TestHttpServer::Request &request);

    TestHttpServer m_server;
    QTemporaryDir m_dir;
    QHash<QString, QByteArray> m_replies;
    bool m_failing = false;
    QStringList m_silent;
};

class MainWindow;
class QListWidget;
class QPushButton;

// Small lookups shared by the window tests.
namespace WindowTest {

template<typename T>
T *widget(QObject *window, const char *name)
{
    return window->findChild<T *>(QString::fromLatin1(name));
}
QListWidget *list(QObject *window, const char *name);
// The sidebar tab button with the given tabIndex.
QPushButton *tab(QObject *window, int index);
QStringList tabTexts(QObject *window);
QStringList rowTexts(QListWidget *list);

} // namespace WindowTest
