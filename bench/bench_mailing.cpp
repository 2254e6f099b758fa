#include "app/appwindows.h"
#include "app/formnewmail.h"
#include "bench/bench.h"
#include "bench/smtpsink.h"
#include "core/prompts.h"
#include "core/textfile.h"
#include "mailing/sendingoptions.h"

#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <stdexcept>
#include <sys/resource.h>

// A mailing as a user runs it: the real main window, every line shown in its fields, each message
// composed and sent over one connection to smtp-sink, and the list written back while it goes.
namespace {

// Only the start question is expected; anything else would stop the clock, so it ends the benchmark.
class StartOnly : public Prompts {
public:
    QString unexpected;
    void information(const QString& text) override { note(text); }
    void warning(const QString& text) override { note(text); }
    void error(const QString& text) override { note(text); }
    bool question(const QString& text) override {
        if (!text.startsWith(QLatin1String("Send mailing to"))) note(text);
        return true;
    }
    QString openFile(const FileDialogRequest&) override {
        note(QStringLiteral("open-file dialog"));
        return {};
    }
    QString saveFile(const FileDialogRequest&) override {
        note(QStringLiteral("save-file dialog"));
        return {};
    }

private:
    void note(const QString& text) {
        if (unexpected.isEmpty()) unexpected = text;
    }
};

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

struct RunFigures {
    double seconds = 0;
    double memoryBefore = 0;
};

// Runs a mailing of `lines` lines through the main window with the sending options given, and returns
// how long it took.
RunFigures runInTheWindow(int lines, const SendingOptions& options) {
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit()); // the sending options: the bench's own
    saveSendingOptions(options);
    SmtpSink sink({QStringLiteral("-a")}); // no AUTH offered: the run wants a password, smtp-sink no login
    StartOnly prompts;
    AppWindows windows(prompts);
    TFormNewMail& w = *windows.FormNewMail;
    w.show();
    w.EditHost->setText(QStringLiteral("127.0.0.1"));
    w.EditPort->setText(QString::number(sink.port));
    w.EditUser->setText(QStringLiteral("sender@example.test"));
    w.MaskEdit->setText(QStringLiteral("secret"));
    w.English1Click();

    // The message of the delivery benchmark: 20 lines with umlauts, personalised.
    QStringList message{QStringLiteral("Sehr geehrte(r) $Prename $Name,"), QString()};
    for (int i = 0; i < 18; ++i)
        message << QStringLiteral("Zeile %1: Grüße aus Köln, Größe 5 € — für alle Empfänger dieses Mailings.")
                       .arg(i);
    writeTextFile(w.State.DefaultMessageFile, message, TextEncoding::Utf8NoBom);
    QStringList list;
    for (int i = 1; i <= lines; ++i)
        list << QStringLiteral("Müller %1;Jürgen;r%1@example.test;Angebot für Sie;default;;").arg(i);
    const QString listFile = home.filePath(QStringLiteral("sendlist.csv"));
    writeTextFile(listFile, list, TextEncoding::Utf8NoBom);
    w.State.ListFile = listFile;

    RunFigures figures;
    figures.memoryBefore = peakMegabytes();
    figures.seconds = timeSeconds([&] { w.BtnMailClick(); });
    if (!prompts.unexpected.isEmpty())
        throw std::runtime_error(
            qPrintable(prompts.unexpected + QLatin1Char(' ') + readTextFile(listFile).lines.value(0)));
    const QString expected = QString::number(lines) + QStringLiteral(" Mail(s) send.");
    if (w.PanelMessage->text() != expected) throw std::runtime_error(qPrintable(w.PanelMessage->text()));
    w.hide();
    return figures;
}

const Bench mailingRun("mailing_run", [] {
    const int lines = qEnvironmentVariableIsSet("TARNEL_BENCH_LINES")
                          ? qEnvironmentVariableIntValue("TARNEL_BENCH_LINES")
                          : 10000;
    const RunFigures run = runInTheWindow(lines, SendingOptions());
    reportFigure(QStringLiteral("mailing run"), lines / run.seconds, QStringLiteral("mails/s"));
    reportFigure(QStringLiteral("mailing run peak memory"), peakMegabytes(), QStringLiteral("MB"));
    reportFigure(QStringLiteral("mailing run memory added"), peakMegabytes() - run.memoryBefore,
                 QStringLiteral("MB"));
});

// The per-minute cap at work: 600 a minute. The first minute's allowance goes out at once; the rate that
// counts is that of the messages after it (600 more one minute later), which the cap holds to 10 a second.
const Bench mailingRunCapped("mailing_run_capped", [] {
    SendingOptions options;
    options.messagesPerMinute = 600;
    const int lines = 1200;
    const RunFigures run = runInTheWindow(lines, options);
    reportFigure(QStringLiteral("mailing run at 600 per minute"), (lines - 600) / run.seconds,
                 QStringLiteral("mails/s"));
});

} // namespace
