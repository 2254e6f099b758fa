#include "app/formnewmail.h"

#include "app/aboutbox.h"
#include "core/apperror.h"
#include "core/datetimenumber.h"
#include "core/help.h"
#include "core/onlineupdate.h"
#include "core/paths.h"
#include "settings/settingsfile.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimeEdit>

// Settings, about box, help and online update of the main window.

void TFormNewMail::LoadSettings() {
    // Loading changes only what the file holds, and what was read before a failure stays read.
    StoredSettings values;
    values.SmtpHost = State.SmtpHost;
    values.SmtpUser = State.SmtpUser;
    values.SmtpPassword = State.SmtpPassword;
    values.SmtpPort = State.SmtpPort;
    values.Reserved = ReservedSettings;
    values.Language = State.Language;
    values.ScheduledDate = State.ScheduledDate;
    values.ScheduledTime = State.ScheduledTime;
    const auto takeOver = [&] {
        State.SmtpHost = values.SmtpHost;
        State.SmtpUser = values.SmtpUser;
        State.SmtpPassword = values.SmtpPassword;
        State.SmtpPort = values.SmtpPort;
        ReservedSettings = values.Reserved;
        State.Language = values.Language;
        State.ScheduledDate = values.ScheduledDate;
        State.ScheduledTime = values.ScheduledTime;
    };
    try {
        loadSettingsFile(State.DataFolder, values);
    } catch (...) {
        takeOver();
        throw;
    }
    takeOver();
}

void TFormNewMail::SaveSettings() {
    StoredSettings values;
    values.SmtpHost = EditHost->text();
    values.SmtpUser = EditUser->text();
    values.SmtpPassword = MaskEdit->text();
    values.SmtpPort = EditPort->text();
    values.Reserved = ReservedSettings;
    values.Language = State.Language;
    if (CheckBox1->isChecked()) {
        values.ScheduledDate = dateTimeToNumber(DateTimePicker1->dateTime());
        values.ScheduledTime = dateTimeToNumber(DateTimePicker2->dateTime());
    }
    saveSettingsFile(State.DataFolder, values, [this](const QString& path) { RemoveFileElevated(path); });
    // What is stored now is what arming the schedule looks at.
    State.SmtpHost = values.SmtpHost;
    State.SmtpUser = values.SmtpUser;
}

void TFormNewMail::BitBtnSaveSenderClick() {
    BitBtn4Click();
    SaveSettings();
    PanelMessage->setText(State.Texts.MsgSettingsSaved);
}

void TFormNewMail::BitBtnAboutClick() {
    AboutBox->LabelVersion->setText(FileVersionText());
    AboutBox->LabelVersion->adjustSize();
    AboutBox->Language = State.Language;
    AboutBox->OpenUrl = OpenUrl;
    AboutBox->exec();
}

void TFormNewMail::BitBtnHelpClick() {
    ShowHelp(helpTopicAnchor(0));
}

void TFormNewMail::ShowHelp(const QString& anchor) {
    // A missing help file, or no program to show it, is said rather than passed over in silence.
    const QUrl url = helpUrl(State.HelpFile, anchor);
    if (url.isEmpty() || !OpenUrl(url)) m_prompts.error(State.Texts.MsgHelpNotOpened.arg(State.HelpFile));
}

void TFormNewMail::ToolButton13Click() {
    UpdateRequest request;
    request.filesFolder = programFilesFolderPath();
    request.programFileName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    request.versionText = FileVersionText();
    request.updatePath = State.UpdatePath;
    request.updateAction = State.UpdateAction;
    request.pkexecPath = findPkexec();
    // The consent may be refused long after this returns, even after the window is gone.
    const QPointer<TFormNewMail> self(this);
    const auto failed = [self] {
        if (!self) return;
        const QString text = self->State.Texts.MsgUpdateFailed;
        self->prompts().error(text.isEmpty() ? messageTextsFor(self->State.Language).MsgUpdateFailed : text);
    };
    const ProgramStarter starter = StartProgram ? StartProgram : ProgramStarter(startProgram);
    if (runOnlineUpdate(request, starter, failed) == UpdateOutcome::Failed) failed();
}

void TFormNewMail::RemoveFileElevated(const QString& path) {
    State.UpdateAction = QStringLiteral("del");
    State.UpdatePath = path;
    ToolButton13Click();
    State.UpdateAction.clear();
    State.UpdatePath.clear();
}
