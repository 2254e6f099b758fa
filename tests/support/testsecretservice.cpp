#include "tests/support/testsecretservice.h"

#include "tests/support/testsmtpserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/prctl.h>

namespace {

const char* const kBusConfig =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// A test that crashes must not leave its bus and keyring running: they end with it.
void endWithParent(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

void end(std::unique_ptr<QProcess>& process) {
    if (!process) return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    process.reset();
}

} // namespace

TestSecretService::TestSecretService() = default;

TestSecretService::~TestSecretService() {
    end(m_keyring);
    end(m_bus);
}

bool TestSecretService::fail(const QString& why) {
    m_error = why;
    return false;
}

QProcessEnvironment TestSecretService::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    return env;
}

bool TestSecretService::startBus() {
    if (!m_folder.isValid()) return fail(QStringLiteral("no folder for the test bus"));
    const QString config = m_folder.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QString::fromLatin1(kBusConfig).arg(m_folder.filePath(QStringLiteral("bus"))).toUtf8()) <
            0)
        return fail(QStringLiteral("cannot write the test bus's configuration"));
    file.close();
    m_bus = std::make_unique<QProcess>();
    m_bus->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    endWithParent(*m_bus);
    m_bus->start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                  QStringLiteral("--print-address=1")});
    if (!m_bus->waitForStarted(10000))
        return fail(QStringLiteral("cannot start dbus-daemon (scripts/install-deps.sh installs it): ") +
                    m_bus->errorString());
    QByteArray output;
    QDeadlineTimer deadline(10000);
    while (!output.contains('\n') && !deadline.hasExpired())
        if (m_bus->waitForReadyRead(int(deadline.remainingTime()))) output += m_bus->readAllStandardOutput();
    m_address = QString::fromUtf8(output.left(output.indexOf('\n')).trimmed());
    if (!m_address.startsWith(QLatin1String("unix:")))
        return fail(QStringLiteral("dbus-daemon gave no address: ") + QString::fromUtf8(output));
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
    // QtKeychain prefers KWallet on a KDE desktop: none here, whatever the machine runs.
    for (const char* variable : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION"})
        qunsetenv(variable);
    return true;
}

bool TestSecretService::startKeyring() {
    if (m_keyring) return true;
    if (m_address.isEmpty() && !startBus()) return false;
    const QString root = m_folder.path();
    for (const char* folder : {"/keyring-data", "/keyring-run", "/keyring-control", "/keyring-home"}) {
        QDir().mkpath(root + QLatin1String(folder));
        QFile::setPermissions(root + QLatin1String(folder),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/keyring-data"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/keyring-run"));
    env.insert(QStringLiteral("HOME"), root + QStringLiteral("/keyring-home"));
    m_keyring = std::make_unique<QProcess>();
    m_keyring->setProcessEnvironment(env);
    m_keyring->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    endWithParent(*m_keyring);
    m_keyring->start(QStringLiteral("gnome-keyring-daemon"),
                     {QStringLiteral("--foreground"), QStringLiteral("--components=secrets"),
                      QStringLiteral("--unlock"),
                      QStringLiteral("--control-directory=") + root + QStringLiteral("/keyring-control")});
    if (!m_keyring->waitForStarted(10000))
        return fail(QStringLiteral("cannot start gnome-keyring-daemon (scripts/install-deps.sh installs "
                                   "it): ") +
                    m_keyring->errorString());
    // --unlock reads the login keyring's password, creating the keyring with it.
    m_keyring->write("tarnel-test-keyring");
    m_keyring->closeWriteChannel();
    const auto owned = [this] {
        QProcess ask;
        ask.setProcessEnvironment(environment());
        ask.start(QStringLiteral("dbus-send"),
                  {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                   QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                   QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                   QStringLiteral("string:org.freedesktop.secrets")});
        return ask.waitForFinished(5000) && ask.readAllStandardOutput().contains("boolean true");
    };
    if (!TestSmtpServer::waitFor([&] { return m_keyring->state() != QProcess::Running || owned(); }, 10000) ||
        m_keyring->state() != QProcess::Running)
        return fail(QStringLiteral("gnome-keyring-daemon did not offer the Secret Service"));
    return true;
}

std::optional<QString> TestSecretService::lookup(const QString& key) const {
    QProcess tool;
    tool.setProcessEnvironment(environment());
    tool.start(QStringLiteral("secret-tool"), {QStringLiteral("lookup"), QStringLiteral("server"),
                                               QStringLiteral("tarnel"), QStringLiteral("user"), key});
    if (!tool.waitForFinished(10000) || tool.exitCode() != 0) return std::nullopt;
    return QString::fromUtf8(tool.readAllStandardOutput());
}

bool TestSecretService::clear(const QString& key) const {
    QProcess tool;
    tool.setProcessEnvironment(environment());
    tool.start(QStringLiteral("secret-tool"), {QStringLiteral("clear"), QStringLiteral("server"),
                                               QStringLiteral("tarnel"), QStringLiteral("user"), key});
    return tool.waitForFinished(10000) && !lookup(key);
}
