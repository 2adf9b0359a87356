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
    // The program a registered entry starts; empty when none is registered or it is unreadable.
    static QString registeredProgram();
    // Points a registered entry at programPath when it names another copy (a build left
    // behind after an install, or the other way round), so login starts the copy in use.
    // Creates nothing when no entry is registered.
    static Outcome follow(const QString &programPath);

    // The XDG autostart entry's file path, and its text for a program path. Exposed because
    // the quoting of the Exec line is easy to get wrong.
    static QString desktopEntryPath();
    static QString desktopEntryText(const QString &programPath);
    // One argument of a desktop entry's Exec key, quoted and escaped so that any path survives.
    static QString quoteExecArgument(const QString &argument);
    // The inverse of quoteExecArgument; empty when the value is not one quoted argument.
    static QString unquoteExecArgument(const QString &value);

    // The registry value: the native path in double quotes, so a path with blanks cannot be
    // read as a shorter program followed by arguments.
    static QString windowsRunValue(const QString &programPath);
};
