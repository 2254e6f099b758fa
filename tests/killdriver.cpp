// The program's file writing, run until it is killed (tst_killsafety):
//   tarnel_killdriver settings <data folder>   writes the settings file, two contents by turns
//   tarnel_killdriver message <file>           writes a message file likewise
//   tarnel_killdriver list <list> <default message> <port> <round>
//                                              a mailing run over the list against the SMTP server on
//                                              127.0.0.1:<port>, writing the list back every 2 s
// Prints "ready" once it writes; in a mailing run "writing" when the run is about to write the list back
// and "wrote <ms>" after, so the test can aim its kill at the write.
#include "core/interfacetexts.h"
#include "mailing/mailcomposer.h"
#include "mailing/maildelivery.h"
#include "mailing/mailingrun.h"
#include "settings/settingsfile.h"
#include "tests/killcontent.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

void say(const char* text) {
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The run's window, reduced to what the run needs: the fields as a mail request, sent to the test server.
class DriverWindow : public MailingRunWindow {
public:
    DriverWindow(quint16 port, int intervalMs) : m_intervalMs(intervalMs) {
        m_fields.host = QStringLiteral("127.0.0.1");
        m_fields.port = QString::number(port);
        m_fields.user = QStringLiteral("user@example.test");
        m_sinceWrite.start();
    }

    void showProgress(int, int) override {}
    // Called before each line, just after the run has (or has not) written the list back.
    void processEvents() override {
        if (m_writing) {
            std::printf("wrote %lld\n", static_cast<long long>(m_sinceWrite.elapsed()));
            std::fflush(stdout);
            m_writing = false;
            m_sinceWrite.start();
        } else if (!m_started) {
            m_started = true;
            m_sinceWrite.start(); // the run's own clock starts just before its first line
            say("ready");
        }
    }
    bool stopRequested() const override { return false; }
    void showRecipient(const QString& address, const QString& subject, const QString& attachment) override {
        m_fields.recipients = address;
        m_fields.subject = subject;
        m_fields.attachmentPath = attachment;
    }
    void showMessage(const QStringList& lines, bool html) override {
        m_fields.lines = lines;
        m_fields.html = html;
    }
    void showMailNumber(int) override {}
    Delivery deliver() override {
        const DeliveryResult result = m_delivery.send(prepareMail(m_fields));
        // The run writes the list back after a line once its interval has passed.
        if (m_sinceWrite.elapsed() >= m_intervalMs) {
            m_writing = true;
            m_sinceWrite.start();
            say("writing");
        }
        return {result.sent, result.serverReply.isEmpty() ? result.error : result.serverReply};
    }
    void closeConnection() override { m_delivery.close(); }
    void showStatus(const QString&, Tone) override {}
    bool question(const QString&) override { return true; }
    QString chooseListFile(const QString&, const QString&) override { return {}; }

private:
    MailRequest m_fields;
    MailDelivery m_delivery;
    QElapsedTimer m_sinceWrite;
    int m_intervalMs;
    bool m_started = false;
    bool m_writing = false;
};

int usage() {
    std::fputs("usage: tarnel_killdriver settings <folder> | message <file> | "
               "list <list> <message> <port> <round>\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) return usage();
    const QString mode = args.at(1);
    if (mode == QLatin1String("settings")) {
        const QString folder = args.at(2);
        say("ready");
        for (int i = 1;; ++i)
            saveSettingsFile(folder, killcontent::settings(i % 2), {}, killcontent::locale(), 0);
    }
    if (mode == QLatin1String("message")) {
        const QStringList contents[] = {killcontent::message(0), killcontent::message(1)};
        say("ready");
        for (int i = 1;; ++i)
            writeTextFile(args.at(2), contents[i % 2], killcontent::messageFormat());
    }
    if (mode == QLatin1String("list") && args.size() == 6) {
        MailingRun::Setup setup;
        setup.listFile = args.at(2);
        setup.defaultMessageFile = args.at(3);
        setup.unattended = true;
        setup.texts = messageTextsFor(0);
        setup.locale = killcontent::locale();
        const QDateTime now = killcontent::stamp(args.at(5).toInt());
        setup.now = [now] { return now; };
        DriverWindow window(quint16(args.at(4).toUInt()), setup.writeBackIntervalMs);
        MailingRun run(window, setup);
        run.run();
        say("done");
        return 0;
    }
    return usage();
}
