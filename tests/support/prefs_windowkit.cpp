#include "prefs_windowkit.h"

#include "mainwindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <QTimer>

namespace WindowKit {

bool writeTaggedAudio(const QList<TaggedAudio> &files)
{
    if (files.isEmpty())
        return true;
    QStringList args { QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
        QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("anullsrc=r=8000:cl=mono") };
    for (const TaggedAudio &file : files) {
        args << QStringLiteral("-t") << QString::number(file.seconds) << QStringLiteral("-c:a")
             << QStringLiteral("flac");
        if (!file.title.isEmpty())
            args << QStringLiteral("-metadata") << QStringLiteral("title=") + file.title;
        if (!file.artist.isEmpty())
            args << QStringLiteral("-metadata") << QStringLiteral("artist=") + file.artist;
        if (!file.album.isEmpty())
            args << QStringLiteral("-metadata") << QStringLiteral("album=") + file.album;
        args << QStringLiteral("-f") << QStringLiteral("flac") << file.path;
    }
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0) {
        qWarning() << "ffmpeg failed:" << ffmpeg.readAllStandardError();
        return false;
    }
    return true;
}

void clearSettings()
{
    QSettings settings(QStringLiteral("Velora"), QStringLiteral("VeloraPlayer"));
    settings.clear();
    settings.sync();
}

QAction *menuAction(MainWindow &window, const QString &text)
{
    const QList<QAction *> actions = window.findChildren<QAction *>();
    for (QAction *action : actions) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

QAction *languageAction(MainWindow &window, const QString &code)
{
    const QList<QActionGroup *> groups = window.findChildren<QActionGroup *>();
    for (QActionGroup *group : groups) {
        const QList<QAction *> actions = group->actions();
        for (QAction *action : actions) {
            if (action->data().toString() == code)
                return action;
        }
    }
    return nullptr;
}

// One attempt; false in *shown when the menu closed before it could be answered (a modal
// box of the failing catalogue load closes open pop-ups).
static bool triggerRowMenuOnce(
    QListWidget *list, QListWidgetItem *item, const QString &entry, bool *seen, QString *statusAfter)
{
    bool found = false;
    bool shown = false;
    QTimer poller;
    poller.setInterval(10);
    QObject::connect(&poller, &QTimer::timeout, &poller, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        shown = true;
        poller.stop();
        const QList<QAction *> actions = menu->actions();
        for (QAction *action : actions) {
            if (action->text() == entry) {
                found = true;
                menu->close();
                action->trigger();
                if (statusAfter)
                    *statusAfter = statusText(*list->window());
                return;
            }
        }
        menu->close();
    });
    poller.start();
    const QPoint pos = list->visualItemRect(item).center();
    if (list->itemAt(pos) != item)
        return false;
    emit list->customContextMenuRequested(pos);
    poller.stop();
    *seen = shown;
    return shown && found;
}

bool triggerRowMenu(QListWidget *list, int row, const QString &entry, QString *statusAfter)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        // Fetched anew: the page may rebuild its rows while a menu is open.
        QListWidgetItem *item = list->item(row);
        if (!item)
            return false;
        bool seen = false;
        const bool done = triggerRowMenuOnce(list, item, entry, &seen, statusAfter);
        if (seen)
            return done;
    }
    return false;
}

QStringList rowTexts(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

QString statusText(QWidget &window)
{
    auto *label = window.findChild<QLabel *>(QStringLiteral("statusBar"));
    return label ? label->text() : QString();
}

} // namespace WindowKit
