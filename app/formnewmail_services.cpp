#include "app/formnewmail.h"

#include "app/aboutbox.h"
#include "app/apperror.h"

#include <QDir>
#include <QFileInfo>
#include <QToolButton>
#include <QUrl>

// Settings, about box, help and online update of the main window.

void TFormNewMail::LoadSettings() {
    // The settings file comes with its own work; the data folder is needed by every file command now.
    if (!QDir().mkpath(State.DataFolder))
        throw AppError(QStringLiteral("Cannot create folder \"%1\".").arg(State.DataFolder));
}

void TFormNewMail::SaveSettings() {}

void TFormNewMail::BitBtnSaveSenderClick() {}

void TFormNewMail::BitBtnAboutClick() {
    AboutBox->Language = State.Language;
    AboutBox->exec();
}

void TFormNewMail::BitBtnHelpClick() {
    ShowHelp();
}

void TFormNewMail::ShowHelp(const QString& anchor) {
    // A missing help file opens nothing.
    if (!QFileInfo::exists(State.HelpFile)) return;
    QUrl url = QUrl::fromLocalFile(State.HelpFile);
    if (!anchor.isEmpty()) url.setFragment(anchor);
    OpenUrl(url);
}

void TFormNewMail::ToolButton13Click() {}
