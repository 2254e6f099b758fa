#pragma once

#include <QString>
#include <QStringList>

class QProcess;

// Starts a test server written in Python (`arguments` begin with its script) and waits until its first line
// says "LISTENING <port>". Returns the port; 0 with `error` set when it does not get there (`name` names the
// server in the error). Stopping the process is the caller's, either way.
quint16 startScriptServer(QProcess& process, const QStringList& arguments, const QString& name,
                          QString& error);

// In a test function: starts a test server, or fails the test with the server's own words.
#define START(server) QVERIFY2((server).start(), qPrintable((server).errorString()))
