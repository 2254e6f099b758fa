#include "tests/support/scriptserver.h"

#include <QDeadlineTimer>
#include <QProcess>

quint16 startScriptServer(QProcess& process, const QStringList& arguments, const QString& name,
                          QString& error) {
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("/usr/bin/python3"), arguments);
    if (!process.waitForStarted(10000)) {
        error = QStringLiteral("cannot start %1: %2").arg(name, process.errorString());
        return 0;
    }
    QByteArray output;
    QDeadlineTimer deadline(15000);
    while (!output.contains('\n') && !deadline.hasExpired()) {
        if (!process.waitForReadyRead(int(deadline.remainingTime()))) break;
        output += process.readAllStandardOutput();
    }
    const QByteArray line = output.left(output.indexOf('\n')).trimmed();
    if (!line.startsWith("LISTENING ")) {
        error = QStringLiteral("%1 did not start listening: %2").arg(name, QString::fromUtf8(output));
        return 0;
    }
    return quint16(line.mid(10).toUInt());
}
