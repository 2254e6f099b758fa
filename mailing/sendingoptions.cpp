#include "mailing/sendingoptions.h"

#include "core/optionsfile.h"

namespace {

int count(const QSettings& settings, const char* key) {
    bool ok = false;
    const int value = settings.value(QLatin1String(key)).toInt(&ok);
    return ok && value > 0 ? value : 0;
}

bool flag(const QSettings& settings, const char* key) {
    const QVariant value = settings.value(QLatin1String(key));
    // Only a clear "true" switches an option on; anything garbled leaves it off.
    return value.toString().trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

} // namespace

SendingOptions loadSendingOptions() {
    QSettings settings = openOptionsFile();
    settings.beginGroup(QStringLiteral("Sending"));
    SendingOptions options;
    options.messagesPerMinute = count(settings, "MessagesPerMinute");
    options.messagesPerRun = count(settings, "MessagesPerRun");
    options.skipSent = flag(settings, "SkipSent");
    options.retryTemporaryFailures = flag(settings, "RetryTemporaryFailures");
    return options;
}

bool saveSendingOptions(const SendingOptions& options) {
    QSettings settings = openOptionsFile();
    settings.beginGroup(QStringLiteral("Sending"));
    settings.setValue(QStringLiteral("MessagesPerMinute"), options.messagesPerMinute);
    settings.setValue(QStringLiteral("MessagesPerRun"), options.messagesPerRun);
    settings.setValue(QStringLiteral("SkipSent"), options.skipSent);
    settings.setValue(QStringLiteral("RetryTemporaryFailures"), options.retryTemporaryFailures);
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString sendingOptionsFilePath() {
    return openOptionsFile().fileName();
}
