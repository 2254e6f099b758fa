#pragma once

#include "app/appwindows.h"
#include "app/formnewmail.h"
#include "tests/support/scriptedprompts.h"

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
