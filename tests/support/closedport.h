#pragma once

#include <QHostAddress>
#include <QTcpServer>

// A port on 127.0.0.1 where nobody listens (for a test that links Qt Network).
inline quint16 closedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}
