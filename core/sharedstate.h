#pragma once

#include "core/interfacetexts.h"

#include <QString>

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

    // Set at construction (German) and by each language switch.
    MessageTexts Texts;
    QString HelpFile;
};
