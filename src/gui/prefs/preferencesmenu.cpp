#include "preferencesmenu.h"

#include "autostart.h"
#include "settings.h"
#include "statusline.h"
#include "windowtext.h"

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

// Settings' darkMode true selects the light sheet: the key's name predates the two themes' names.
const QString LightSheet = QStringLiteral(":/qss/white.css");
const QString DarkSheet = QStringLiteral(":/qss/default.css");

// The product's web site. The .example host is reserved and resolves nowhere, so nothing is
// sent to a stranger's server until the product's own domain is registered here.
const QString ProductHost = QStringLiteral("velora.example");
const QString ProductSiteUrl = QStringLiteral("https://velora.example");
const QString ProductPageUrl = QStringLiteral("https://velora.example/music");

const QString ChineseCode = QStringLiteral("zh");
const QString EnglishCode = QStringLiteral("en");
// A language's own name, the same in every language.
const QString EnglishName = QStringLiteral("English");

} // namespace

PreferencesMenu::PreferencesMenu(Settings *settings, StatusLine *status, QWidget *window, QToolButton *menuButton)
    : QObject(window)
    , m_settings(settings)
    , m_status(status)
    , m_window(window)
    , m_menu(new QMenu(window))
{
    m_autoStartAction = new QAction(WindowText::tr("开机自启动"), window);
    m_autoStartAction->setCheckable(true);
    connect(m_autoStartAction, &QAction::triggered, this, &PreferencesMenu::setAutoStart);
    m_menu->addAction(m_autoStartAction);

    m_autoPlayAction = new QAction(WindowText::tr("启动程序自动播放"), window);
    m_autoPlayAction->setCheckable(true);
    connect(m_autoPlayAction, &QAction::triggered, this, &PreferencesMenu::autoPlayToggled);
    m_menu->addAction(m_autoPlayAction);

    m_menu->addSeparator();

    m_darkModeAction = new QAction(WindowText::tr("浅色主题"), window);
    m_darkModeAction->setCheckable(true);
    connect(m_darkModeAction, &QAction::triggered, this, &PreferencesMenu::setDarkMode);
    m_menu->addAction(m_darkModeAction);

    m_languageMenu = new QMenu(WindowText::tr("语言"), window);
    m_languageGroup = new QActionGroup(window);
    m_languageGroup->setExclusive(true);
    auto *chineseAction = new QAction(WindowText::tr("简体中文"), window);
    chineseAction->setData(ChineseCode);
    chineseAction->setCheckable(true);
    auto *englishAction = new QAction(EnglishName, window);
    englishAction->setData(EnglishCode);
    englishAction->setCheckable(true);
    for (QAction *action : { chineseAction, englishAction }) {
        m_languageGroup->addAction(action);
        m_languageMenu->addAction(action);
    }
    connect(m_languageGroup, &QActionGroup::triggered, this, &PreferencesMenu::languageTriggered);
    m_menu->addMenu(m_languageMenu);

    m_menu->addSeparator();

    m_aboutAction = new QAction(WindowText::tr("关于维洛拉"), window);
    connect(m_aboutAction, &QAction::triggered, this, &PreferencesMenu::showAbout);
    m_menu->addAction(m_aboutAction);

    menuButton->setText(QString());
    menuButton->setIcon(QIcon(QStringLiteral(":/icons/setting.svg")));
    menuButton->setIconSize(QSize(20, 20));
    menuButton->setMenu(m_menu);
    menuButton->setArrowType(Qt::NoArrow);
    menuButton->setPopupMode(QToolButton::InstantPopup);
}

QString PreferencesMenu::load()
{
    const bool darkMode = m_settings->darkMode();
    const QString language = m_settings->language();

    // Setting the check state does not trigger the actions, so nothing is written back.
    m_autoStartAction->setChecked(m_settings->autoStart());
    m_autoPlayAction->setChecked(m_settings->autoPlay());
    m_darkModeAction->setChecked(darkMode);
    const QList<QAction *> languages = m_languageGroup->actions();
    for (QAction *action : languages) {
        if (action->data().toString() == language) {
            action->setChecked(true);
            break;
        }
    }

    applyTheme(darkMode);

    // An entry written by another copy of the program (the build, before an install) would
    // start that copy at login: it follows the one running now.
    if (m_settings->autoStart()) {
        const AutoStart::Outcome moved = AutoStart::follow(QCoreApplication::applicationFilePath());
        if (moved.status == AutoStart::Status::Failed)
            qWarning() << "Could not update the start-at-login entry:" << moved.detail;
    }
    return language;
}

void PreferencesMenu::applyTheme(bool darkMode)
{
    QFile file(darkMode ? LightSheet : DarkSheet);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return;
    const QString sheet = QString::fromUtf8(file.readAll());
    file.close();
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        app->setStyleSheet(sheet);
}

void PreferencesMenu::setDarkMode(bool checked)
{
    m_settings->setDarkMode(checked);
    applyTheme(checked);
    // Checked is the light sheet, as the stored value has always meant; the message names the sheet applied.
    m_status->show(checked ? WindowText::tr("已切换到浅色主题") : WindowText::tr("已切换到深色主题"));
}

void PreferencesMenu::setAutoStart(bool checked)
{
    const AutoStart::Outcome outcome = AutoStart::setEnabled(checked, QCoreApplication::applicationFilePath());
    if (outcome.status == AutoStart::Status::Failed) {
        // The preference follows what the system really holds; a failure is not a success.
        m_autoStartAction->setChecked(!checked);
        m_status->show(WindowText::tr("无法设置开机自启动: %1").arg(outcome.detail), true);
        return;
    }
    m_settings->setAutoStart(checked);
    if (outcome.status == AutoStart::Status::Unsupported) {
        // Only the preference is kept; nothing on this system starts the program.
        m_status->show(WindowText::tr("此系统不支持开机自启动"));
        return;
    }
    m_status->show(checked ? WindowText::tr("已开启开机自启动") : WindowText::tr("已关闭开机自启动"));
}

void PreferencesMenu::storeAutoPlay(bool checked)
{
    m_settings->setAutoPlay(checked);
    m_status->show(checked ? WindowText::tr("已开启开机自动播放") : WindowText::tr("已关闭开机自动播放"));
}

void PreferencesMenu::showAbout()
{
    QDialog dialog(m_window);
    dialog.setWindowTitle(WindowText::tr("关于维洛拉"));
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

    auto *version = new QLabel(WindowText::tr("维洛拉 v1.0.0"), &dialog);
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

void PreferencesMenu::openProductPage()
{
    if (QDesktopServices::openUrl(QUrl(ProductPageUrl)))
        m_status->show(WindowText::tr("正在打开网页..."));
    else
        m_status->show(WindowText::tr("无法打开网页，请检查网络连接"), true);
}

void PreferencesMenu::retranslate()
{
    m_autoStartAction->setText(WindowText::tr("开机自启动"));
    m_autoPlayAction->setText(WindowText::tr("启动程序自动播放"));
    m_darkModeAction->setText(WindowText::tr("浅色主题"));
    m_aboutAction->setText(WindowText::tr("关于维洛拉"));
    m_languageMenu->menuAction()->setText(WindowText::tr("语言"));
    const QList<QAction *> languages = m_languageGroup->actions();
    for (QAction *action : languages) {
        const QString code = action->data().toString();
        if (code == ChineseCode)
            action->setText(WindowText::tr("简体中文"));
        else if (code == EnglishCode)
            action->setText(EnglishName);
    }
}
