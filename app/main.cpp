#include "app/appwindows.h"
#include "app/formnewmail.h"
#include "app/qtprompts.h"
#include "core/interfacetexts.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

namespace {
// The last line of the default error report: an error that escaped every operation's own guard is shown
// and the program goes on.
class TarnelApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            QMessageBox::critical(activeWindow(), applicationDisplayName(), QString::fromLocal8Bit(e.what()));
        } catch (...) {
            QMessageBox::critical(activeWindow(), applicationDisplayName(),
                                  unknownErrorText(interfaceLanguage()));
        }
        return false;
    }
};
} // namespace

int main(int argc, char** argv) {
    TarnelApplication app(argc, argv);
    setApplicationIdentity();

    QtPrompts prompts;
    AppWindows windows(prompts);
    TFormNewMail& main = *windows.FormNewMail;
    const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
    main.move(desktop.center() - main.rect().center());
    main.show();
    return QApplication::exec();
}
