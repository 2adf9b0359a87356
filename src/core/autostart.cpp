#include "autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace {

[[maybe_unused]] const char *const WindowsRunKey =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
[[maybe_unused]] const char *const WindowsRunValueName = "Velora";
const char *const DesktopEntryFileName = "velora.desktop";

#if defined(Q_OS_WIN)

AutoStart::Outcome setWindowsRunValue(bool enabled, const QString &programPath)
{
    QSettings run(QString::fromLatin1(WindowsRunKey), QSettings::NativeFormat);
    if (enabled)
        run.setValue(QString::fromLatin1(WindowsRunValueName), AutoStart::windowsRunValue(programPath));
    else
        run.remove(QString::fromLatin1(WindowsRunValueName));
    run.sync();
    if (run.status() != QSettings::NoError)
        return {AutoStart::Status::Failed, QString::fromLatin1(WindowsRunKey)};
    return {};
}

#elif defined(Q_OS_LINUX)

AutoStart::Outcome writeDesktopEntry(const QString &programPath)
{
    const QString path = AutoStart::desktopEntryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return {AutoStart::Status::Failed, QFileInfo(path).absolutePath()};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return {AutoStart::Status::Failed, file.errorString()};
    file.write(AutoStart::desktopEntryText(programPath).toUtf8());
    if (!file.commit())
        return {AutoStart::Status::Failed, file.errorString()};
    return {};
}

AutoStart::Outcome removeDesktopEntry()
{
    QFile file(AutoStart::desktopEntryPath());
    if (!file.exists())
        return {};
    if (!file.remove())
        return {AutoStart::Status::Failed, file.errorString()};
    return {};
}

#endif

} // namespace

bool AutoStart::isSupported()
{
#if defined(Q_OS_WIN) || defined(Q_OS_LINUX)
    return true;
#else
    return false;
#endif
}

AutoStart::Outcome AutoStart::setEnabled(bool enabled, const QString &programPath)
{
#if defined(Q_OS_WIN)
    return setWindowsRunValue(enabled, programPath);
#elif defined(Q_OS_LINUX)
    return enabled ? writeDesktopEntry(programPath) : removeDesktopEntry();
#else
    Q_UNUSED(enabled)
    Q_UNUSED(programPath)
    return {Status::Unsupported, QString()};
#endif
}

bool AutoStart::isEnabled()
{
#if defined(Q_OS_WIN)
    QSettings run(QString::fromLatin1(WindowsRunKey), QSettings::NativeFormat);
    return run.contains(QString::fromLatin1(WindowsRunValueName));
#elif defined(Q_OS_LINUX)
    return QFile::exists(desktopEntryPath());
#else
    return false;
#endif
}

QString AutoStart::registeredProgram()
{
#if defined(Q_OS_WIN)
    QSettings run(QString::fromLatin1(WindowsRunKey), QSettings::NativeFormat);
    QString value = run.value(QString::fromLatin1(WindowsRunValueName)).toString();
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        value = value.mid(1, value.size() - 2);
    return QDir::fromNativeSeparators(value);
#elif defined(Q_OS_LINUX)
    QFile file(desktopEntryPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("Exec=")))
            return unquoteExecArgument(line.mid(5));
    }
    return QString();
#else
    return QString();
#endif
}

AutoStart::Outcome AutoStart::follow(const QString &programPath)
{
    if (!isEnabled())
        return {};
    const QString registered = registeredProgram();
    if (!registered.isEmpty() && QFileInfo(registered) == QFileInfo(programPath))
        return {};
    return setEnabled(true, programPath);
}

QString AutoStart::desktopEntryPath()
{
    // GenericConfigLocation is $XDG_CONFIG_HOME, or ~/.config when that is unset.
    const QString configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return configHome + QStringLiteral("/autostart/") + QString::fromLatin1(DesktopEntryFileName);
}

QString AutoStart::desktopEntryText(const QString &programPath)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Version=1.0\n"
                          "Name=Velora\n"
                          "Comment=Velora music player\n"
                          "Exec=%1\n"
                          "Icon=velora\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(quoteExecArgument(programPath));
}

QString AutoStart::quoteExecArgument(const QString &argument)
{
    // Inside double quotes the Exec key needs \ before " ` $ and \; a literal % is %%. The
    // value as a whole is then a string value, whose own escaping doubles every backslash
    // again and turns line breaks and tabs into \n, \t, \r.
    QString quoted;
    quoted.reserve(argument.size() + 8);
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    QString escaped;
    escaped.reserve(quoted.size() + 8);
    for (const QChar c : std::as_const(quoted)) {
        if (c == u'\\')
            escaped += QStringLiteral("\\\\");
        else if (c == u'\n')
            escaped += QStringLiteral("\\n");
        else if (c == u'\t')
            escaped += QStringLiteral("\\t");
        else if (c == u'\r')
            escaped += QStringLiteral("\\r");
        else
            escaped += c;
    }
    return u'"' + escaped + u'"';
}

QString AutoStart::unquoteExecArgument(const QString &value)
{
    // First the string escaping of the value, then the quoting of the argument.
    QString quoted;
    quoted.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != u'\\' || i + 1 == value.size()) {
            quoted += c;
            continue;
        }
        const QChar next = value.at(++i);
        if (next == u'n')
            quoted += u'\n';
        else if (next == u't')
            quoted += u'\t';
        else if (next == u'r')
            quoted += u'\r';
        else if (next == u's')
            quoted += u' ';
        else
            quoted += next;
    }
    if (quoted.size() < 2 || !quoted.startsWith(u'"') || !quoted.endsWith(u'"'))
        return QString();
    QString argument;
    argument.reserve(quoted.size());
    for (qsizetype i = 1; i + 1 < quoted.size(); ++i) {
        const QChar c = quoted.at(i);
        if (c == u'\\' && i + 2 < quoted.size())
            argument += quoted.at(++i);
        else if (c == u'%' && i + 2 < quoted.size() && quoted.at(i + 1) == u'%')
            argument += quoted.at(++i);
        else if (c == u'"')
            return QString(); // an unescaped quote inside: more than one argument
        else
            argument += c;
    }
    return argument;
}

QString AutoStart::windowsRunValue(const QString &programPath)
{
    return u'"' + QDir::toNativeSeparators(programPath) + u'"';
}
