#pragma once

#include <QSettings>

// The file of the program's own options beyond the settings file (the sending options, the sign-in
// method): QSettings, organisation and application "tarnel", native format, which makes it
// $XDG_CONFIG_HOME/tarnel/tarnel.conf. Each part keeps to its own group.
QSettings openOptionsFile();
