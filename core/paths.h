#pragma once

#include <QString>

// The data folder shared by the program's files, ending with "/".
QString dataFolderPath();
QString defaultMessageFileName(); // "defaultmail.txt"
QString defaultListFileName();    // "sendlist.csv"
QString settingsFileName();       // "postrun.ini"
// The folder of the running program, ending with "/".
QString programFolderPath();
// The folder of the program's own files (help files, an installer), ending with "/": the program's folder
// when a help file lies there (build tree), else the installed data folder found from it (prefix/bin/ →
// prefix/share/tarnel/) when that holds one, else the program's folder, so a message names a place to look.
QString programFilesFolder(const QString& programFolder);
QString programFilesFolderPath(); // for the running program
