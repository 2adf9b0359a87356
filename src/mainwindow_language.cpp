// Interface language: the translator and the refresh of every translated text.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "mainwindowhelpers.h"
#include "qttranslation.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTranslator>

namespace {

const QString ChineseResource = QStringLiteral(":/translations/vl_zh.qm");
const QString EnglishResource = QStringLiteral(":/translations/vl_en.qm");
const QString ChineseFile = QStringLiteral("vl_zh.qm");
const QString EnglishFile = QStringLiteral("vl_en.qm");

const QString NotPlayingSource = QStringLiteral("未播放");

// The texts a label may still carry from the language shown before the switch.
const QStringList ArtistPrefixes = {QStringLiteral("演唱: "), QStringLiteral("Singer: "), QStringLiteral("Artist: ")};
const QStringList AlbumPrefixes = {QStringLiteral("专辑: "), QStringLiteral("Album: ")};
const QStringList NotPlayingTexts = {QStringLiteral("未播放"), QStringLiteral("Not Playing")};

// Re-labels a label that starts with one of the prefixes; any other text stays as it is.
void retranslatePrefix(QLabel *label, const QStringList &prefixes, const QString &translated)
{
    if (!label)
        return;
    const QString text = label->text();
    for (const QString &prefix : prefixes) {
        if (text.startsWith(prefix)) {
            label->setText(translated + text.mid(prefix.size()));
            return;
        }
    }
}

} // namespace

void MainWindow::onLanguageChanged(QAction *action)
{
    const QString language = action->data().toString();
    m_settings.setValue(QStringLiteral("language"), language);
    loadTranslation(language);
    refreshUITexts();
    // Looked up after the new catalogue is installed, so it speaks the new language.
    showToast(language == QLatin1String("zh") ? tr("已切换到简体中文") : tr("Switched to English"));
}

void MainWindow::loadTranslation(const QString &language)
{
    // Removed whatever it holds: the Chinese catalogue is empty but installed all the same,
    // and installing it twice would leave it in the application's list twice.
    QCoreApplication::removeTranslator(m_translator);
    QCoreApplication::removeTranslator(m_qtTranslator);

    const bool english = language == QLatin1String("en");
    const QString resource = english ? EnglishResource : ChineseResource;
    if (m_translator->load(resource)) {
        QCoreApplication::installTranslator(m_translator);
        qDebug() << tr("已加载翻译:") << resource;
    } else {
        qDebug() << tr("加载翻译失败:") << resource;
        const QString file = QCoreApplication::applicationDirPath() + QStringLiteral("/translations/")
                             + (language == QLatin1String("zh") ? ChineseFile : EnglishFile);
        if (m_translator->load(file)) {
            QCoreApplication::installTranslator(m_translator);
            qDebug() << tr("从文件加载翻译:") << file;
        }
    }
    // Qt's own texts follow the catalogue that was really loaded: an unknown code can end in
    // either language.
    const QString shown = m_translator->language().startsWith(QLatin1String("en")) ? QStringLiteral("en")
                                                                                     : QStringLiteral("zh");
    if (!QtTranslation::load(m_qtTranslator, shown).isEmpty())
        QCoreApplication::installTranslator(m_qtTranslator);
    else
        qDebug() << "Qt's own catalogue not found for" << shown << "in" << QtTranslation::searchFolders();
    refreshUITexts();
}

void MainWindow::refreshUITexts()
{
    setWindowTitle(tr("维洛拉"));
    ui->logo->setText(tr("  维洛拉"));

    // Sidebar: the translated name with the count the label already shows.
    const QStringList &names = MainWindowHelpers::tabNames();
    static const QRegularExpression countPattern(QStringLiteral("\\((\\d+)\\)"));
    for (int i = 0; i < m_tabButtons.size() && i < names.size(); ++i) {
        QPushButton *button = m_tabButtons.at(i);
        if (!button)
            continue;
        const QRegularExpressionMatch match = countPattern.match(button->text());
        const QString count = match.hasMatch() ? match.captured(1) : QStringLiteral("0");
        button->setText(QStringLiteral("%1 (%2)").arg(tr(names.at(i).toUtf8().constData()), count));
    }

    ui->searchInput->setPlaceholderText(tr("搜索歌曲..."));

    // Refilled with the signals on: the search mode and chart handlers run as the items change.
    const int searchMode = ui->searchModeCombo->currentIndex();
    ui->searchModeCombo->clear();
    ui->searchModeCombo->addItem(tr("网络"));
    ui->searchModeCombo->addItem(tr("本地"));
    ui->searchModeCombo->setCurrentIndex(searchMode);

    ui->addBtn->setText(tr("创作"));

    const int rankingType = ui->rankingTypeSelector->currentIndex();
    ui->rankingTypeSelector->clear();
    ui->rankingTypeSelector->addItem(tr("歌手排行"));
    ui->rankingTypeSelector->addItem(tr("歌曲排行"));
    ui->rankingTypeSelector->setCurrentIndex(rankingType);

    ui->playAllBtn->setText(tr("全部播放"));
    ui->clearPlaylistBtn->setText(tr("清空"));
    ui->playlistInfo->setText(tr("共 %1 首歌曲").arg(m_currentPlaylist.size()));

    // The tool tips name what the buttons do now, not a fixed state.
    ui->playBtn->setToolTip(m_player->playbackState() == QMediaPlayer::PlayingState ? tr("暂停") : tr("播放"));

    ui->selectFolderBtn->setText(tr("选择目录"));
    ui->scanLocalBtn->setText(tr("扫描音乐"));
    ui->clearLocalBtn->setText(tr("清除"));

    if (m_autoStartAction)
        m_autoStartAction->setText(tr("开机自启动"));
    if (m_autoPlayAction)
        m_autoPlayAction->setText(tr("启动程序自动播放"));
    if (m_darkModeAction)
        m_darkModeAction->setText(tr("经典模式"));
    if (m_aboutAction)
        m_aboutAction->setText(tr("关于维洛拉"));
    if (m_settingsMenu) {
        const QList<QAction *> actions = m_settingsMenu->actions();
        for (QAction *action : actions) {
            if (action->menu()) {
                action->setText(tr("语言"));
                break;
            }
        }
    }
    if (m_languageGroup) {
        const QList<QAction *> languages = m_languageGroup->actions();
        for (QAction *action : languages) {
            const QString code = action->data().toString();
            if (code == QLatin1String("zh"))
                action->setText(tr("简体中文"));
            else if (code == QLatin1String("en"))
                action->setText(QStringLiteral("English"));
        }
    }

    ui->volumeIcon->setToolTip(tr("音量"));
    ui->lyricsToggleBtn->setToolTip(tr("显示/隐藏歌词"));
    switch (m_player->playMode()) {
    case MusicPlayer::Sequential:
        ui->modeBtn->setToolTip(tr("顺序播放"));
        break;
    case MusicPlayer::ListLoop:
        ui->modeBtn->setToolTip(tr("列表循环"));
        break;
    case MusicPlayer::SingleLoop:
        ui->modeBtn->setToolTip(tr("单曲循环"));
        break;
    case MusicPlayer::Shuffle:
        ui->modeBtn->setToolTip(tr("随机播放"));
        break;
    }

    const Song song = m_player->currentSong();
    if (song.id > 0 || song.id == -1) {
        updateCurrentSongUI(song);
    } else {
        ui->currentSongLabel->setText(tr("未播放"));
        setWindowTitle(tr("维洛拉"));
    }

    // The lyrics header keeps the song's own texts; only the fixed parts are translated. The
    // texts of both languages are recognised, so switching back also works.
    const QString lyricsTitle = ui->lyricsTitle->text();
    if (lyricsTitle.isEmpty() || NotPlayingTexts.contains(lyricsTitle)) {
        ui->lyricsTitle->setText(tr("未播放"));
    } else {
        retranslatePrefix(ui->lyricsArtist, ArtistPrefixes, tr("演唱: "));
        retranslatePrefix(ui->lyricsAlbum, AlbumPrefixes, tr("专辑: "));
    }

    if (ui->statusBar->text() == NotPlayingSource)
        ui->statusBar->setText(tr("未播放"));

    qDebug() << "UI retranslated successfully";
}
