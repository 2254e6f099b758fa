// The program's file writing, run until it is killed (tst_killsafety):
//   tarnel_killdriver settings <data folder>   writes the settings file, two contents by turns
//   tarnel_killdriver message <file>           writes a message file likewise
//   tarnel_killdriver list <list> <default message> <port> <round>
//                                              a mailing run over the list against the SMTP server on
//                                              127.0.0.1:<port>, writing the list back every 2 s
// Prints "ready" once it writes; in a mailing run "writing" when the run is about to write the list back
// and "wrote <ms>" after, so the test can aim its kill at the write.
#include "core/interfacetexts.h"
#include "mailing/maildelivery.h"
#include "mailing/mailingrun.h"
#include "settings/settingsfile.h"
#include "tests/killcontent.h"
#include "tests/support/recordingrundisplay.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <memory>

namespace {

void say(const char* text) {
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Prints what the kill test aims at: "ready" once the run is at its first line, "writing" when the run is
// about to write the list back (after a line, once its interval has passed) and "wrote <ms>" after.
void followWriteBacks(RecordingRunDisplay& display, int intervalMs) {
    struct Clock {
        QElapsedTimer sinceWrite;
        bool started = false;
        bool writing = false;
    };
    auto clock = std::make_shared<Clock>();
    // Called before each line, just after the run has (or has not) written the list back.
    display.atLine = [clock](int) {
        if (clock->writing) {
            std::printf("wrote %lld\n", static_cast<long long>(clock->sinceWrite.elapsed()));
            std::fflush(stdout);
            clock->writing = false;
            clock->sinceWrite.start();
        } else if (!clock->started) {
            clock->started = true;
            clock->sinceWrite.start(); // the run's own clock starts just before its first line
            say("ready");
        }
    };
    display.afterDelivery = [clock, intervalMs](const DeliveryResult&) {
        if (clock->sinceWrite.elapsed() < intervalMs) return;
        clock->writing = true;
        clock->sinceWrite.start();
        say("writing");
    };
}

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
        setup.account = {QStringLiteral("127.0.0.1"), args.at(4), QStringLiteral("user@example.test"),
                         QString()};
        RecordingRunDisplay display;
        followWriteBacks(display, setup.writeBackIntervalMs);
        MailDelivery delivery;
        MailingRun run(display, delivery, setup);
        run.run();
        say("done");
        return 0;
    }
    return usage();
}
