#pragma once

#include <QString>

// The data folder shared by the program's files, ending with "/".
QString dataFolderPath();
QString defaultMessageFileName(); // "defaultmail.txt"
QString defaultListFileName();    // "sendlist.csv"
QString settingsFileName();       // "postrun.ini"
// The folder of the running program, ending with "/".
QString programFolderPath();
