#pragma once

#include "mailing/mailrequest.h"

#include <QString>

// Trims the fields, converts the port and composes the message. Raises AppError when the port text is not
// a whole number from 1 to 65535 or when an existing attachment file cannot be read: those errors belong to
// the caller, not to the delivery.
PreparedMail prepareMail(const MailRequest& request);

// The port as a number; raises AppError for anything but a whole number from 1 to 65535.
int portNumber(const QString& text);
