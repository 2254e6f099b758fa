#include "app/appwindows.h"

#include "app/aboutbox.h"
#include "app/formnewmail.h"
#include "app/sendingoptionswindow.h"
#include "core/help.h"
#include "import/formimport.h"
#include "recipients/formgrid.h"
#include "recipients/formloeschen.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QTabWidget>

void setApplicationIdentity() {
    QCoreApplication::setApplicationName(QStringLiteral("Tarnel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNEL_VERSION));
    // Lets the desktop match the window to its menu entry and icon (the installed .desktop file).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.tarnel"));
}

// The secondary windows are children of the main window, so they centre on it and go with it.
AppWindows::AppWindows(Prompts& prompts)
    : FormNewMail(std::make_unique<TFormNewMail>(prompts)),
      AboutBox(new TAboutBox(prompts, FormNewMail.get())),
      FormGrid(new TFormGrid(prompts, FormNewMail.get())),
      FormLoeschen(new TFormLoeschen(prompts, FormNewMail.get())),
      FormImport(new TFormImport(prompts, FormNewMail.get())),
      FormSendingOptions(new SendingOptionsWindow(prompts, FormNewMail.get())) {
    FormNewMail->AboutBox = AboutBox;
    FormNewMail->FormGrid = FormGrid;
    FormNewMail->FormLoeschen = FormLoeschen;
    FormNewMail->FormImport = FormImport;
    FormNewMail->FormSendingOptions = FormSendingOptions;
    FormSendingOptions->ShowHelp = [main = FormNewMail.get(), options = FormSendingOptions] {
        main->ShowHelp(options->TabsOptions->currentIndex() == 1 ? QStringLiteral("signin")
                                                                 : QStringLiteral("sendingoptions"));
    };
    FormSendingOptions->Account = FormNewMail->SignIn;
    FormSendingOptions->AccountAddress = [main = FormNewMail.get()] { return main->EditUser->text(); };
    FormGrid->FormLoeschen = FormLoeschen;
    FormGrid->ShowImportWindow = [import = FormImport](RecipientTableModel& table, int language) {
        import->Language = language;
        import->TargetModel = &table;
        import->exec();
    };
    // The editor's help is a topic of the main window's help file, which follows the language.
    FormGrid->ShowHelpTopic = [main = FormNewMail.get()](int topic) {
        main->ShowHelp(helpTopicAnchor(topic));
    };
}

AppWindows::~AppWindows() = default;
