#pragma once

#include "app/appwindows.h"
#include "app/formnewmail.h"
#include "core/paths.h"
#include "settings/settingsfile.h"
#include "tests/support/scriptedprompts.h"

#include <QDir>
#include <QList>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <functional>
#include <memory>

// The program's windows for a test of the main window: made with scripted prompts, the main window shown
// and exposed, every address it opens with the desktop recorded. Header only; for tests that link the
// program's library.
class MainWindowFixture {
protected:
    ScriptedPrompts prompts;
    std::unique_ptr<AppWindows> windows;
    TFormNewMail* w = nullptr;
    QList<QUrl> opened;

    // Makes the windows and shows the main window; `prepare` runs before the first show (a test's clock,
    // probe targets, program starter).
    void showMainWindow(const std::function<void(TFormNewMail&)>& prepare = {}) {
        windows = std::make_unique<AppWindows>(prompts);
        w = windows->FormNewMail.get();
        w->OpenUrl = [this](const QUrl& url) {
            opened << url;
            return true;
        };
        if (prepare) prepare(*w);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }

    // Stores an account on 127.0.0.1 as the settings file the window reads at its first show; with a
    // schedule when `date` and `time` are above 0.
    static void storeAccount(quint16 port, const QString& user, const QString& password, int language = 1,
                             double date = 0, double time = 0) {
        StoredSettings values;
        values.SmtpHost = QStringLiteral("127.0.0.1");
        values.SmtpUser = user;
        values.SmtpPassword = password;
        values.SmtpPort = QString::number(port);
        values.Language = language;
        values.ScheduledDate = date;
        values.ScheduledTime = time;
        QDir().mkpath(dataFolderPath());
        saveSettingsFile(dataFolderPath(), values, {});
    }

    // Ends the windows without closing the main window, which would save the settings.
    void dropWindows() {
        if (w) w->hide();
        windows.reset();
        w = nullptr;
    }

    template <class T = QWidget> T* control(const char* name) const {
        T* c = w->findChild<T*>(QLatin1String(name));
        if (!c) qWarning("no control %s", name);
        return c;
    }

    void click(const char* toolButton) {
        auto* button = control<QToolButton>(toolButton);
        QVERIFY2(button, toolButton);
        button->click();
    }
};
