#pragma once

#include "core/accountfields.h"
#include "core/sharedstate.h"
#include "settings/settingsfile.h"

#include <QDateTime>

// Between the settings file and the program's shared state.

// Reads the settings file of the state's data folder into the state: the account, the reserved lines,
// the language and the stored schedule. Only what the file holds changes, and what was read before a
// failure stays read; raises AppError then, saying so in the state's interface language.
void loadSettingsInto(SharedState& state);

// What saving stores: the account as typed, the state's language and reserved lines, and, when the
// schedule is switched on, its date and its time of day (each as the date-time number of the picker's
// value); 0 and 0 when it is off.
StoredSettings settingsToStore(const AccountFields& typed, const SharedState& state, bool scheduleOn,
                               const QDateTime& scheduleDate, const QDateTime& scheduleTime);

// Saves `values` into the settings file of the state's data folder (see saveSettingsFile). Characters the
// file cannot hold are named through `warn` before they are lost. Once saved, the state holds the stored
// server and user, which arming the schedule looks at; a failed save raises AppError and leaves them.
void saveSettingsFrom(SharedState& state, const StoredSettings& values,
                      const std::function<void(const QString&)>& warn,
                      const RemoveFileElevatedFunction& removeFileElevated);
