#pragma once

#include <QString>

// Starting the program when the user logs in. On Windows the per-user Run key of the
// registry holds the value "Velora"; on Linux an XDG autostart desktop entry named
// "velora.desktop" in $XDG_CONFIG_HOME/autostart (default ~/.config/autostart) is written on
// enable and removed on disable. Other platforms have no such mechanism here: every call
// reports Unsupported and changes nothing.
class AutoStart
{
public:
    enum class Status {
        Done,
        Unsupported,
        Failed,
    };

    struct Outcome
    {
        Status status = Status::Done;
        QString detail; // when Failed: the system's reason, or the place that could not be written
    };

    static bool isSupported();
    // Registers (or removes) programPath as the program started at login.
    static Outcome setEnabled(bool enabled, const QString &programPath);
    // Whether an entry for this program is registered at all.
    static bool isEnabled();

    // The XDG autostart entry's file path, and its text for a program path. Exposed because
    // the quoting of the Exec line is easy to get wrong.
    static QString desktopEntryPath();
    static QString desktopEntryText(const QString &programPath);
    // One argument of a desktop entry's Exec key, quoted and escaped so that any path survives.
    static QString quoteExecArgument(const QString &argument);

    // The registry value: the native path in double quotes, so a path with blanks cannot be
    // read as a shorter program followed by arguments.
    static QString windowsRunValue(const QString &programPath);
};
