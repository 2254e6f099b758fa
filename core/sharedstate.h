#pragma once

#include "core/interfacetexts.h"

#include <QString>
#include <QStringList>

// The program-wide values the main window's operations share; one instance, owned by the main window.
struct SharedState {
    QString ListFile;
    int Language = 0;
    QString DataFolder; // ends with "/"
    QString DefaultMessageFile;
    QString MessageFile;
    QString SmtpHost;
    QString SmtpUser;
    QString SmtpPassword;
    QString SmtpPort;
    double ScheduledDate = 0; // date-time numbers, 0 = none
    double ScheduledTime = 0;
    bool ScheduleArmed = false;
    bool OnlineState = false;
    bool StopRequested = false;
    bool SendFailed = false;
    QString MailingReport;
    QString UpdateAction;
    QString UpdatePath;
    // Lines 6 to 8 of the settings file, carried unchanged from the file read at start into every save.
    QStringList ReservedSettings;

    // Set at construction (German) and by each language switch.
    MessageTexts Texts;
    QString HelpFile;

    // The first show's start: nothing read yet, no schedule, not online, no update pending; the data
    // folder and the default message file found anew.
    void startAfresh(const QString& dataFolder, const QString& defaultMessageFileName) {
        UpdateAction.clear();
        UpdatePath.clear();
        OnlineState = false;
        ScheduleArmed = false;
        ScheduledTime = 0;
        ScheduledDate = 0;
        SmtpHost.clear();
        SmtpUser.clear();
        SmtpPassword.clear();
        SmtpPort.clear();
        ListFile.clear();
        DataFolder = dataFolder;
        DefaultMessageFile = dataFolder + defaultMessageFileName;
        MessageFile.clear();
    }
};
