#pragma once
// Where the program keeps its files.
//   accounts.dat  beside the executable when one is there (a portable copy, or the file
//                 of an earlier build), else in the configuration directory
//   kormoran.ini  the configuration directory
//   senders.txt   the configuration directory
//   Kormoran.hlp  beside the executable in a build tree, else the installed data directory
// The configuration directory is $XDG_CONFIG_HOME/kormoran, else ~/.config/kormoran; a
// relative $XDG_CONFIG_HOME counts as unset.

#include <string>

std::string ConfigDirectory();

std::string AccountFilePath();
std::string SettingsFilePath();
std::string SenderListFilePath();
std::string HelpFilePath();
