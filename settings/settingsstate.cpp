#include "settings/settingsstate.h"

#include "core/datetimenumber.h"

void loadSettingsInto(SharedState& state) {
    StoredSettings values;
    values.SmtpHost = state.SmtpHost;
    values.SmtpUser = state.SmtpUser;
    values.SmtpPassword = state.SmtpPassword;
    values.SmtpPort = state.SmtpPort;
    values.Reserved = state.ReservedSettings;
    values.Language = state.Language;
    values.ScheduledDate = state.ScheduledDate;
    values.ScheduledTime = state.ScheduledTime;
    const auto takeOver = [&] {
        state.SmtpHost = values.SmtpHost;
        state.SmtpUser = values.SmtpUser;
        state.SmtpPassword = values.SmtpPassword;
        state.SmtpPort = values.SmtpPort;
        state.ReservedSettings = values.Reserved;
        state.Language = values.Language;
        state.ScheduledDate = values.ScheduledDate;
        state.ScheduledTime = values.ScheduledTime;
    };
    try {
        loadSettingsFile(state.DataFolder, values, state.Language);
    } catch (...) {
        takeOver();
        throw;
    }
    takeOver();
}

StoredSettings settingsToStore(const AccountFields& typed, const SharedState& state, bool scheduleOn,
                               const QDateTime& scheduleDate, const QDateTime& scheduleTime) {
    StoredSettings values;
    values.SmtpHost = typed.host;
    values.SmtpUser = typed.user;
    values.SmtpPassword = typed.password;
    values.SmtpPort = typed.port;
    values.Reserved = state.ReservedSettings;
    values.Language = state.Language;
    if (scheduleOn) {
        values.ScheduledDate = dateTimeToNumber(scheduleDate);
        values.ScheduledTime = dateTimeToNumber(scheduleTime);
    }
    return values;
}

void saveSettingsFrom(SharedState& state, const StoredSettings& values,
                      const std::function<void(const QString&)>& warn,
                      const RemoveFileElevatedFunction& removeFileElevated) {
    const QString unstorable = unstorableCharactersMessage(values, state.Language);
    if (!unstorable.isEmpty()) warn(unstorable);
    saveSettingsFile(state.DataFolder, values, removeFileElevated);
    state.SmtpHost = values.SmtpHost;
    state.SmtpUser = values.SmtpUser;
}
