#include "core/optionsfile.h"

QSettings openOptionsFile() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tarnel"),
                     QStringLiteral("tarnel"));
}
