#pragma once

#include <QProcess>
#include <QStringList>

#include <netinet/in.h>

// 127.0.0.1:<port> as a socket address.
sockaddr_in loopback(int port);
// Ends a helper process, the hard way if it does not go.
void stop(QProcess& process);
// A port on 127.0.0.1 nobody listens on right now.
int freePort();
// Whether something on 127.0.0.1:<port> takes a connection.
bool accepts(int port);

// Postfix's smtp-sink on a free port of 127.0.0.1, for as long as the object lives: an SMTP server that
// takes every message and keeps nothing.
class SmtpSink {
public:
    explicit SmtpSink(const QStringList& options = {});
    ~SmtpSink();
    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;
    int port = 0;

private:
    QProcess m_process;
};
