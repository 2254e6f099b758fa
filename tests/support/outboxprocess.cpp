#include "tests/support/outboxprocess.h"

#include "tests/support/testsmtpserver.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <csignal>

#ifndef TARNEL_TOOLS_DIR
#error "TARNEL_TOOLS_DIR must name the folder of outbox.py"
#endif

OutboxProcess::OutboxProcess() = default;

OutboxProcess::~OutboxProcess() {
    stop();
}

bool OutboxProcess::start() {
    const QString portFile = m_folder.filePath(QStringLiteral("port"));
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(TARNEL_TOOLS_DIR "/outbox.py"), QStringLiteral("--folder"), folder(),
                      QStringLiteral("--port-file"), portFile});
    if (!m_process->waitForStarted(10000)) {
        m_error = QStringLiteral("cannot start the outbox: ") + m_process->errorString();
        return false;
    }
    const bool listening = TestSmtpServer::waitFor(
        [&] { return QFile::exists(portFile) || m_process->state() == QProcess::NotRunning; }, 10000);
    QFile file(portFile);
    if (!listening || !file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("the outbox did not listen: ") + output().join(QLatin1Char('\n'));
        return false;
    }
    m_port = quint16(file.readAll().trimmed().toUInt());
    return m_port != 0;
}

bool OutboxProcess::stop() {
    if (!m_process || m_process->state() == QProcess::NotRunning) return false;
    ::kill(pid_t(m_process->processId()), SIGTERM);
    const bool ended = m_process->waitForFinished(10000);
    output();
    if (!ended) m_process->kill();
    const bool clean = ended && m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0;
    m_process->waitForFinished(5000);
    return clean;
}

QStringList OutboxProcess::output() {
    if (m_process) m_output += QString::fromUtf8(m_process->readAllStandardOutput());
    return m_output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList OutboxProcess::summaries() {
    return output().filter(QRegularExpression(QStringLiteral("^msg-\\d+\\.eml ")));
}

QStringList OutboxProcess::messageFiles() const {
    return QDir(folder()).entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
}
