#include "core/onlineupdate.h"

#include "core/blank.h"
#include "core/paths.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

const QString kNotAvailable = QStringLiteral("Not available");

// pkexec's exit codes when the user dismissed the consent dialog or was not authorised.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorised = 127;

} // namespace

QString FileVersionText() {
#ifdef TARNEL_VERSION
    return fileVersionText(QStringLiteral(TARNEL_VERSION));
#else
    return kNotAvailable;
#endif
}

QString fileVersionText(const QString& version) {
    const QStringList parts = version.split(QLatin1Char('.'));
    if (version.isEmpty() || parts.size() > 4) return kNotAvailable;
    QStringList numbers;
    for (const QString& part : parts) {
        bool digitsOnly = !part.isEmpty();
        for (QChar c : part)
            digitsOnly = digitsOnly && c >= u'0' && c <= u'9';
        bool ok = false;
        const uint number = part.toUInt(&ok);
        if (!digitsOnly || !ok || number > 0xFFFF) return kNotAvailable;
        numbers << QString::number(number);
    }
    while (numbers.size() < 4)
        numbers << QStringLiteral("0");
    return numbers.join(QLatin1Char('.'));
}

QString installerPath(const QString& filesFolder) {
    return filesFolder + QStringLiteral("Install");
}

QStringList installerFields(const QString& versionText, const QString& programFileName,
                            const QString& updatePath, const QString& updateAction) {
    return {QStringLiteral("tarnelsw64"), versionText, programFileName,
            QStringLiteral("0"),          updatePath,  updateAction};
}

QString installerParameterLine(const QStringList& fields) {
    return trimBlank(fields.join(QLatin1Char(' ')));
}

QString findPkexec() {
    return QStandardPaths::findExecutable(QStringLiteral("pkexec"));
}

ProgramStart installerStart(const QString& installer, const QStringList& fields, const QString& pkexecPath) {
    QStringList arguments = fields;
    while (!arguments.isEmpty() && isBlank(arguments.last()))
        arguments.removeLast();
    if (pkexecPath.isEmpty()) return {installer, arguments, false};
    arguments.prepend(installer);
    return {pkexecPath, arguments, true};
}

bool startProgram(const ProgramStart& start, const std::function<void()>& refused) {
    if (!start.elevated) return QProcess::startDetached(start.program, start.arguments);
    // Watched so a refused consent can be reported. Deliberately without parent and never destroyed
    // while running: destroying a QProcess kills its program, and the installer must outlive us.
    auto* process = new QProcess;
    process->setProgram(start.program);
    process->setArguments(start.arguments);
    // No pipes back to us, so the installer is not hurt when this process ends first.
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(
        process, &QProcess::finished, process, [process, refused](int exitCode, QProcess::ExitStatus status) {
            const bool notGranted = exitCode == kPkexecDismissed || exitCode == kPkexecNotAuthorised;
            if (status == QProcess::NormalExit && notGranted && refused) refused();
            process->deleteLater();
        });
    process->start();
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    return true;
}

UpdateOutcome runOnlineUpdate(const UpdateRequest& request, const ProgramStarter& starter,
                              const std::function<void()>& refused) {
    const QString installer = installerPath(request.filesFolder);
    const QStringList fields = installerFields(request.versionText, request.programFileName,
                                               request.updatePath, request.updateAction);
    if (!QFileInfo(installer).isFile()) return UpdateOutcome::NoInstaller;
    const ProgramStart start = installerStart(installer, fields, request.pkexecPath);
    return starter(start, refused) ? UpdateOutcome::Started : UpdateOutcome::Failed;
}

UpdateRequest updateRequestForThisProgram(const QString& updatePath, const QString& updateAction) {
    UpdateRequest request;
    request.filesFolder = programFilesFolderPath();
    request.programFileName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    request.versionText = FileVersionText();
    request.updatePath = updatePath;
    request.updateAction = updateAction;
    request.pkexecPath = findPkexec();
    return request;
}
