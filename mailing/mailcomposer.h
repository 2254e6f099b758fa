#pragma once

#include "mailing/mailrequest.h"

#include <QString>

// Trims the fields, converts the port and composes the message: text as one text/plain part, HTML as
// multipart/alternative (a plain-text rendering, then the HTML), either inside multipart/mixed when a file
// is attached. Raises AppError when the port text is not a whole number from 1 to 65535 or when an
// existing attachment file cannot be read: those errors belong to the caller, not to the delivery. Its
// texts are in the request's language. An HTML message needs a QGuiApplication (see plainTextOfHtml).
PreparedMail prepareMail(const MailRequest& request);

// The port as a number; raises AppError for anything but a whole number from 1 to 65535, its text in the
// language given (0 German, otherwise English).
int portNumber(const QString& text, int language = 1);
