// The user's folders, from the platform's own queries. Available before any editor exists, so the shell
// can find its settings at construction. Paths carry no trailing separator; empty when unknown.
#pragma once

#include <string>

// Windows: the local application-data folder. Linux: $XDG_CONFIG_HOME, else ~/.config.
std::string LocalAppDataFolder();
// Windows: the application-data folder shared by all users. Linux: the first of $XDG_CONFIG_DIRS, else /etc/xdg.
std::string CommonAppDataFolder();
// Windows: the user's documents. Linux: the XDG documents directory, else ~/Documents.
std::string DocumentsFolder();
// Windows: the user's desktop. Linux: the XDG desktop directory, else ~/Desktop.
std::string DesktopFolder();
// The separator the platform's paths use between folder and file.
char PathSeparator();
