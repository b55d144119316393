#pragma once

#include <QString>
#include <QStringList>

// What the program is told when it starts: its command line, the file hotel.conf
// and the user's folders. Shared by the program and its launcher, so that both
// read them the same way. No widgets: Qt Core only.
namespace StartOptions {

// The program's command line, after Qt has taken its own options.
struct CommandLine
{
    QString database; // --database FILE, empty when not given
    bool help = false;
    bool version = false;
    QString error; // what is wrong with the arguments; empty when nothing is
    QString helpText;
};

// Reads `arguments` (the program's name first): --database FILE (or
// --database=FILE), -h/--help, -v/--version. Anything else is an error.
CommandLine parse(const QStringList &arguments);

// The configuration file's name, looked for beside the executable and in the
// user's configuration folder ($XDG_CONFIG_HOME/hotel/).
inline constexpr char ConfigFileName[] = "hotel.conf";

// The database to open, and where that choice came from.
struct Target
{
    enum class Source { CommandLine, ConfigFile, Default };
    QString target; // a file path, absolute, or a postgresql:// URL as given
    Source source = Source::Default;
    QString configFile; // the hotel.conf read, when it named the target
    QString error;      // a hotel.conf that cannot be read; target is empty then
};

// The --database value when given (relative to the current folder); otherwise
// [database] target of the first hotel.conf found, beside the executable
// (programFolder) and then in configHome/hotel/, relative to the file's own
// folder, "~/" meaning the home folder; otherwise Hotel.db in programFolder. A
// hotel.conf without that key is passed over.
Target databaseTarget(const QString &commandLineDatabase, const QString &programFolder, const QString &configHome);

// The user's folders after the XDG base directory rules: the variable when it
// holds an absolute path, else the default under the home folder.
QString configHome(); // $XDG_CONFIG_HOME or ~/.config
QString dataHome();   // $XDG_DATA_HOME or ~/.local/share
QString stateHome();  // $XDG_STATE_HOME or ~/.local/state

} // namespace StartOptions
