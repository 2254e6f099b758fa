#pragma once

#include <QString>

// The account as typed into the main window's fields: where and as whom messages go out.
struct AccountFields {
    QString host;
    QString port;
    QString user; // the account's mail address: login name and sender
    QString password;

    // Host, port and address filled in (each not blank), and the password too when `withPassword`: a mail
    // needs a server and a sender; a mailing also a login.
    bool isComplete(bool withPassword) const;
};
