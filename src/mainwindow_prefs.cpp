// Settings menu, preferences, themes, auto-play, the About box and the product web page.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "autostart.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString AutoStartKey = QStringLiteral("autoStart");
const QString AutoPlayKey = QStringLiteral("autoPlay");
const QString DarkModeKey = QStringLiteral("darkMode");
const QString LanguageKey = QStringLiteral("language");

// "darkMode" true selects the light sheet: the key's name predates the two themes' names.
const QString LightSheet = QStringLiteral(":/qss/white.css");
const QString DarkSheet = QStringLiteral(":/qss/default.css");

// The product's web site. The .example host is reserved and resolves nowhere, so nothing is
// sent to a stranger's server until the product's own domain is registered here.
const QString ProductHost = QStringLiteral("velora.example");
const QString ProductSiteUrl = QStringLiteral("https://velora.example");
const QString ProductPageUrl = QStringLiteral("https://velora.example/music");

} // namespace

void MainWindow::setupSettingsMenu()
{
    m_settingsMenu = new QMenu(this);

    m_autoStartAction = new QAction(tr("开机自启动"), this);
    m_autoStartAction->setCheckable(true);
    connect(m_autoStartAction, &QAction::triggered, this, &MainWindow::onAutoStartToggled);
    m_settingsMenu->addAction(m_autoStartAction);

    m_autoPlayAction = new QAction(tr("启动程序自动播放"), this);
    m_autoPlayAction->setCheckable(true);
    connect(m_autoPlayAction, &QAction::triggered, this, &MainWindow::onAutoPlayToggled);
    m_settingsMenu->addAction(m_autoPlayAction);

    m_settingsMenu->addSeparator();

    m_darkModeAction = new QAction(tr("经典模式"), this);
    m_darkModeAction->setCheckable(true);
    connect(m_darkModeAction, &QAction::triggered, this, &MainWindow::onDarkModeToggled);
    m_settingsMenu->addAction(m_darkModeAction);

    auto *languageMenu = new QMenu(tr("语言"), this);
    m_languageGroup = new QActionGroup(this);
    m_languageGroup->setExclusive(true);
    auto *chineseAction = new QAction(tr("简体中文"), this);
    chineseAction->setData(QStringLiteral("zh"));
    chineseAction->setCheckable(true);
    // A language's own name, the same in every language.
    auto *englishAction = new QAction(QStringLiteral("English"), this);
    englishAction->setData(QStringLiteral("en"));
    englishAction->setCheckable(true);
    for (QAction *action : {chineseAction, englishAction}) {
        m_languageGroup->addAction(action);
        languageMenu->addAction(action);
    }
    connect(m_languageGroup, &QActionGroup::triggered, this, &MainWindow::onLanguageChanged);
    m_settingsMenu->addMenu(languageMenu);

    m_settingsMenu->addSeparator();

    m_aboutAction = new QAction(tr("关于维洛拉"), this);
    connect(m_aboutAction, &QAction::triggered, this, &MainWindow::showAbout);
    m_settingsMenu->addAction(m_aboutAction);

    ui->menuBtn->setText(QString());
    ui->menuBtn->setIcon(QIcon(QStringLiteral(":/icons/setting.svg")));
    ui->menuBtn->setIconSize(QSize(20, 20));
    ui->menuBtn->setMenu(m_settingsMenu);
    ui->menuBtn->setArrowType(Qt::NoArrow);
    ui->menuBtn->setPopupMode(QToolButton::InstantPopup);
}

void MainWindow::loadSettings()
{
    const bool autoStart = m_settings.value(AutoStartKey, false).toBool();
    const bool autoPlay = m_settings.value(AutoPlayKey, false).toBool();
    const bool darkMode = m_settings.value(DarkModeKey, false).toBool();
    const QString language = m_settings.value(LanguageKey, QStringLiteral("zh")).toString();

    // Setting the check state does not trigger the actions, so nothing is written back.
    m_autoStartAction->setChecked(autoStart);
    m_autoPlayAction->setChecked(autoPlay);
    m_darkModeAction->setChecked(darkMode);
    const QList<QAction *> languages = m_languageGroup->actions();
    for (QAction *action : languages) {
        if (action->data().toString() == language) {
            action->setChecked(true);
            break;
        }
    }

    applyTheme(darkMode);
    loadTranslation(language);

    // An entry written by another copy of the program (the build, before an install) would
    // start that copy at login: it follows the one running now.
    if (autoStart) {
        const AutoStart::Outcome moved = AutoStart::follow(QCoreApplication::applicationFilePath());
        if (moved.status == AutoStart::Status::Failed)
            qWarning() << "Could not update the start-at-login entry:" << moved.detail;
    }
}

void MainWindow::applyTheme(bool darkMode)
{
    QFile file(darkMode ? LightSheet : DarkSheet);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return;
    const QString sheet = QString::fromUtf8(file.readAll());
    file.close();
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        app->setStyleSheet(sheet);
}

void MainWindow::onDarkModeToggled(bool checked)
{
    m_settings.setValue(DarkModeKey, checked);
    applyTheme(checked);
    showToast(checked ? tr("已切换到经典模式") : tr("已切换到白天模式"));
}

void MainWindow::onAutoStartToggled(bool checked)
{
    const AutoStart::Outcome outcome = AutoStart::setEnabled(checked, QCoreApplication::applicationFilePath());
    if (outcome.status == AutoStart::Status::Failed) {
        // The preference follows what the system really holds; a failure is not a success.
        m_autoStartAction->setChecked(!checked);
        showToast(tr("无法设置开机自启动: %1").arg(outcome.detail), true);
        return;
    }
    m_settings.setValue(AutoStartKey, checked);
    if (outcome.status == AutoStart::Status::Unsupported) {
        // Only the preference is kept; nothing on this system starts the program.
        showToast(tr("此系统不支持开机自启动"));
        return;
    }
    showToast(checked ? tr("已开启开机自启动") : tr("已关闭开机自启动"));
}

void MainWindow::onAutoPlayToggled(bool checked)
{
    m_settings.setValue(AutoPlayKey, checked);
    showToast(checked ? tr("已开启开机自动播放") : tr("已关闭开机自动播放"));
    if (!checked || m_allSongs.isEmpty() || m_player->playbackState() == QMediaPlayer::PlayingState)
        return;
    if (m_currentPlaylist.isEmpty()) {
        m_currentPlaylist = m_allSongs;
        m_player->setPlaylist(m_currentPlaylist);
        updatePlaylistView();
    }
    m_player->play(0);
    // Names the song that really starts: a queue kept from before begins with its own song.
    const QString title = m_currentPlaylist.isEmpty() ? m_allSongs.first().title : m_currentPlaylist.first().title;
    showToast(tr("开始播放: %1").arg(title));
}

void MainWindow::checkAutoPlay()
{
    if (!m_settings.value(AutoPlayKey, false).toBool() || m_allSongs.isEmpty())
        return;
    // A catalogue reload while the user listens must not restart the list under them.
    if (m_player->playbackState() == QMediaPlayer::PlayingState)
        return;
    qDebug() << tr("自动播放已启用，开始播放...");
    m_currentPlaylist = m_allSongs;
    m_player->setPlaylist(m_currentPlaylist);
    updatePlaylistView();
    m_player->play(0);
    showToast(tr("自动播放: %1").arg(m_allSongs.first().title));
}

void MainWindow::showAbout()
{
    QDialog dialog(this);
    dialog.setWindowTitle(tr("关于维洛拉"));
    dialog.setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    dialog.setFixedSize(300, 200);

    auto *layout = new QVBoxLayout(&dialog);
    layout->setSpacing(10);
    layout->setContentsMargins(20, 20, 20, 20);

    auto *logo = new QLabel(&dialog);
    logo->setObjectName(QStringLiteral("aboutLogo"));
    logo->setPixmap(QIcon(QStringLiteral(":/icons/logo.svg")).pixmap(64, 64));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);

    auto *version = new QLabel(tr("维洛拉 v1.0.0"), &dialog);
    version->setObjectName(QStringLiteral("aboutVersion"));
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(version);

    auto *link = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>").arg(ProductSiteUrl, ProductHost), &dialog);
    link->setObjectName(QStringLiteral("aboutLink"));
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    link->setOpenExternalLinks(true);
    link->setAlignment(Qt::AlignCenter);
    layout->addWidget(link);

    layout->addStretch();
    dialog.exec();
}

void MainWindow::openProductPage()
{
    if (QDesktopServices::openUrl(QUrl(ProductPageUrl)))
        showToast(tr("正在打开网页..."));
    else
        showToast(tr("无法打开网页，请检查网络连接"), true);
}
