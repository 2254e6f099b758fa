// Fills a fresh data folder for a try-out against the local outbox (tools/outbox.py): a settings file
// pointing at the outbox, a small recipient list and a default message. It writes them with the program's
// own file code, so the program reads them as its own. Used by scripts/try.sh; not installed.
//
//   tarnel_trydata PORT
//
// The data folder is the program's own under XDG_DATA_HOME, which must be set: the helper never writes
// into a user's real data, and it refuses to replace files that are already there.

#include "core/apperror.h"
#include "core/paths.h"
#include "core/textfile.h"
#include "settings/settingsfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

// The outbox takes any login; the mailing run wants a password in the account fields all the same.
const QString kPassword = QStringLiteral("tryout");
const QString kSender = QStringLiteral("tryout@example.org");

// Five recipients; Groß has no address, so a run marks that row failed without contacting the server.
const QStringList kRecipientLines{
    QStringLiteral("Müller;Jürgen;juergen.mueller@example.org;Grüße zum Sommerfest;default;;;"),
    QStringLiteral("Schäfer;Zoë;zoe.schaefer@example.org;Grüße zum Sommerfest;;;;"),
    QStringLiteral("Weiß;Björn;bjoern.weiss@example.org;Grüße zum Sommerfest;;;;"),
    QStringLiteral("Groß;Ännchen;;Grüße zum Sommerfest;;;;"),
    QStringLiteral("Köhler;Ömer;oemer.koehler@example.org;Grüße zum Sommerfest;;;;"),
};

const QStringList kDefaultMessage{
    QStringLiteral("Hallo $Prename $Name,"),
    QString(),
    QStringLiteral("dies ist eine Probemail aus Tarnel. Sie hat diesen Rechner nie verlassen:"),
    QStringLiteral("der lokale Postausgang hat sie als .eml-Datei abgelegt."),
    QString(),
    QStringLiteral("Hello $Prename $Name,"),
    QString(),
    QStringLiteral("this is a try-out mail from Tarnel. It never left this computer:"),
    QStringLiteral("the local outbox saved it as an .eml file."),
    QString(),
    QStringLiteral("Viele Grüße / Best regards"),
};

int fail(const QString& text) {
    QTextStream(stderr) << "tarnel_trydata: " << text << Qt::endl;
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    bool ok = false;
    const int port = arguments.size() == 2 ? arguments.at(1).toInt(&ok) : 0;
    if (!ok || port < 1 || port > 65535) return fail(QStringLiteral("usage: tarnel_trydata PORT"));
    if (qEnvironmentVariableIsEmpty("XDG_DATA_HOME"))
        return fail(QStringLiteral("XDG_DATA_HOME must name a throw-away folder"));

    const QString folder = dataFolderPath();
    const QString listFile = folder + defaultListFileName();
    const QString messageFile = folder + defaultMessageFileName();
    for (const QString& path : {settingsFilePath(folder), listFile, messageFile})
        if (QFileInfo::exists(path)) return fail(QStringLiteral("%1 exists already").arg(path));
    try {
        if (!QDir().mkpath(folder))
            throw AppError(QStringLiteral("Cannot create folder \"%1\".").arg(folder));
        StoredSettings settings;
        settings.SmtpHost = QStringLiteral("127.0.0.1");
        settings.SmtpPort = QString::number(port);
        settings.SmtpUser = kSender;
        settings.SmtpPassword = kPassword;
        settings.Language = systemDefaultLanguage();
        saveSettingsFile(folder, settings, nullptr, QLocale::system(), 0);
        writeTextFile(listFile, kRecipientLines, TextEncoding::Utf8);
        writeTextFile(messageFile, kDefaultMessage, TextEncoding::Utf8);
    } catch (const AppError& e) {
        return fail(e.text());
    }
    QTextStream(stdout) << folder << Qt::endl;
    return 0;
}
