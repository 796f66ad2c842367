#pragma once
// Where the program keeps its files.
//   accounts.dat  beside the executable when one is there (a portable copy, or the file
//                 of an earlier build), else in the configuration directory
//   kormoran.ini  the configuration directory
//   Kormoran.hlp  beside the executable in a build tree, else the installed data directory
// The configuration directory is $XDG_CONFIG_HOME/kormoran, else ~/.config/kormoran; a
// relative $XDG_CONFIG_HOME counts as unset. What the checks saw goes to the state
// directory, $XDG_STATE_HOME/kormoran, else ~/.local/state/kormoran (the same rule).

#include <string>

std::string ConfigDirectory();
std::string StateDirectory();

std::string AccountFilePath();
std::string SettingsFilePath();
std::string HelpFilePath();

// Where the save dialog opens: the user's download directory ($XDG_DOWNLOAD_DIR, else
// the one user-dirs.dirs in the user's configuration names) when it exists, else the
// home directory; never the working directory, which may be home itself, where a proposed
// ".profile" would be one Enter away.
std::string DownloadDirectory();
