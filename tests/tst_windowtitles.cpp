#include "app/aboutbox.h"
#include "app/appwindows.h"
#include "app/formnewmail.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/testenvironment.h"

#include <QProcess>

// Titles as the X window system shows them: it appends an application display name to every title that
// does not end with it, which the plain window titles cannot show. Runs under Xvfb.
class TstWindowTitles : public QObject {
    Q_OBJECT
    ScriptedPrompts prompts;

    static QString shownTitle(QWidget* window) {
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window->winId()),
                                              QStringLiteral("_NET_WM_NAME")});
        if (!xprop.waitForFinished(10000)) return QStringLiteral("(xprop did not answer)");
        const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
        const qsizetype first = out.indexOf(QLatin1Char('"'));
        return first < 0 ? out : out.mid(first + 1, out.lastIndexOf(QLatin1Char('"')) - first - 1);
    }

private Q_SLOTS:
    void titles() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        setApplicationIdentity();
        AppWindows windows(prompts);
        TFormNewMail* main = windows.FormNewMail.get();
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main));
        QCOMPARE(shownTitle(main), QStringLiteral("Tarnel x64"));
        windows.AboutBox->show();
        QVERIFY(QTest::qWaitForWindowExposed(windows.AboutBox));
        QCOMPARE(shownTitle(windows.AboutBox), QStringLiteral("Über ..."));
        windows.AboutBox->hide();
        main->hide(); // no close: that would save settings
        VERIFY_PROMPTS(prompts);
    }
};

TARNEL_TEST_MAIN(TstWindowTitles)
#include "tst_windowtitles.moc"
