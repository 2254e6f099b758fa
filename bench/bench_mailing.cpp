#include "app/appwindows.h"
#include "app/formnewmail.h"
#include "bench/bench.h"
#include "bench/smtpsink.h"
#include "core/prompts.h"
#include "core/textfile.h"

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

const Bench mailingRun("mailing_run", [] {
    const int lines = qEnvironmentVariableIsSet("TARNEL_BENCH_LINES")
                          ? qEnvironmentVariableIntValue("TARNEL_BENCH_LINES")
                          : 10000;
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
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

    const double before = peakMegabytes();
    const double seconds = timeSeconds([&] { w.BtnMailClick(); });
    if (!prompts.unexpected.isEmpty())
        throw std::runtime_error(
            qPrintable(prompts.unexpected + QLatin1Char(' ') + readTextFile(listFile).lines.value(0)));
    const QString expected = QString::number(lines) + QStringLiteral(" Mail(s) send.");
    if (w.PanelMessage->text() != expected) throw std::runtime_error(qPrintable(w.PanelMessage->text()));
    reportFigure(QStringLiteral("mailing run"), lines / seconds, QStringLiteral("mails/s"));
    reportFigure(QStringLiteral("mailing run peak memory"), peakMegabytes(), QStringLiteral("MB"));
    reportFigure(QStringLiteral("mailing run memory added"), peakMegabytes() - before, QStringLiteral("MB"));
    w.hide();
});

} // namespace
