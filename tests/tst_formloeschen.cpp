#include "recipients/formloeschen.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/testenvironment.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>

namespace {

template <typename T> T* control(QWidget& window, const char* name) {
    T* widget = window.findChild<T*>(QLatin1String(name));
    if (!widget) qFatal("no control %s", name);
    return widget;
}

} // namespace

class TstFormLoeschen : public QObject {
    Q_OBJECT

    static void open(TFormLoeschen& dialog, int language) {
        dialog.Language = language;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }

private Q_SLOTS:
    void texts_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("texts"); // caption, check box, labels, OK, Cancel
        QTest::newRow("German")
            << 0
            << QStringList{
                   "Zeilen löschen", "Aktuelle Zeile löschen", "Von Zeilennr.:", "Bis Zeilennr.:", "OK",
                   "Abbrechen"};
        QTest::newRow("English") << 1 << QStringList{"Delete rows", "Delete current row",
                                                     "From row:",   "To row:",
                                                     "OK",          "Cancel"};
        QTest::newRow("any other value is English")
            << 7 << QStringList{"Delete rows", "Delete current row", "From row:", "To row:", "OK", "Cancel"};
    }
    void texts() {
        QFETCH(int, language);
        QFETCH(QStringList, texts);
        ScriptedPrompts prompts;
        TFormLoeschen dialog(prompts);
        // The language is taken when the dialog is shown, also on a later showing.
        open(dialog, language == 0 ? 1 : 0);
        dialog.reject();
        open(dialog, language);
        const QStringList shown{dialog.windowTitle(),
                                control<QCheckBox>(dialog, "CheckBox1")->text(),
                                control<QLabel>(dialog, "Label1")->text(),
                                control<QLabel>(dialog, "Label2")->text(),
                                control<QPushButton>(dialog, "BitBtn1")->text(),
                                control<QPushButton>(dialog, "BitBtn2")->text()};
        QCOMPARE(shown, texts);
        QVERIFY(control<QWidget>(dialog, "JvGradient1"));
        VERIFY_PROMPTS(prompts);
    }

    // Keys typed into EditVon untick the box; keys that move or close do not.
    void keysInFromField_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("checked");
        QTest::newRow("digit") << int(Qt::Key_7) << false;
        QTest::newRow("letter") << int(Qt::Key_X) << false;
        QTest::newRow("backspace in the empty field") << int(Qt::Key_Backspace) << false;
        QTest::newRow("tab") << int(Qt::Key_Tab) << true;
    }
    void keysInFromField() {
        QFETCH(int, key);
        QFETCH(bool, checked);
        ScriptedPrompts prompts;
        TFormLoeschen dialog(prompts);
        open(dialog, 1);
        auto* box = control<QCheckBox>(dialog, "CheckBox1");
        QVERIFY(box->isChecked());
        QTest::keyClick(control<QLineEdit>(dialog, "EditVon"), Qt::Key(key));
        QCOMPARE(box->isChecked(), checked);
        VERIFY_PROMPTS(prompts);
    }

    void tickingTheBoxEmptiesBothFields() {
        ScriptedPrompts prompts;
        TFormLoeschen dialog(prompts);
        open(dialog, 1);
        auto* box = control<QCheckBox>(dialog, "CheckBox1");
        auto* from = control<QLineEdit>(dialog, "EditVon");
        auto* to = control<QLineEdit>(dialog, "EditBis");
        QTest::keyClicks(from, QStringLiteral("12"));
        QTest::keyClicks(to, QStringLiteral("20"));
        QVERIFY(!box->isChecked());
        QCOMPARE(from->text() + to->text(), QStringLiteral("1220"));
        box->click();
        QVERIFY(box->isChecked());
        QCOMPARE(from->text() + to->text(), QString());
        // Unticking by hand leaves the fields alone.
        QTest::keyClicks(to, QStringLiteral("3"));
        box->click();
        QCOMPARE(to->text(), QStringLiteral("3"));
        VERIFY_PROMPTS(prompts);
    }

    void ok_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("fromKeys");
        QTest::addColumn<QString>("toKeys");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("von");
        QTest::addColumn<int>("bis");
        QTest::addColumn<QString>("fromAfter");
        QTest::addColumn<QString>("toAfter");
        const QString fromMsg = QStringLiteral("Invalid row number FROM!");
        const QString toMsg = QStringLiteral("Invalid row number TO!");
        const QString rangeMsg =
            QStringLiteral("Row numbers have to be greater than 0 and FROM has to be equal or less than TO!");
        QTest::newRow("right after opening: current row") << 1 << ""
                                                          << "" << QStringList{} << true << 0 << 0 << ""
                                                          << "";
        QTest::newRow("TO typed while the box is ticked: current row")
            << 1 << ""
            << "9" << QStringList{} << true << 0 << 0 << ""
            << "9";
        QTest::newRow("3 to 3") << 1 << "3"
                                << "3" << QStringList{} << true << 3 << 3 << "3"
                                << "3";
        QTest::newRow("5 to 1000: no upper bound here") << 1 << "5"
                                                        << "1000" << QStringList{} << true << 5 << 1000 << "5"
                                                        << "1000";
        QTest::newRow("TO 999999: every whole number that fits is taken")
            << 1 << "2"
            << "999999" << QStringList{} << true << 2 << 999999 << "2"
            << "999999";
        QTest::newRow("blanks around the numbers") << 1 << " 2"
                                                   << "4 " << QStringList{} << true << 2 << 4 << " 2"
                                                   << "4 ";
        QTest::newRow("0 to 5") << 1 << "0"
                                << "5" << QStringList{rangeMsg} << false << 0 << 0 << ""
                                << "";
        QTest::newRow("7 to 2") << 1 << "7"
                                << "2" << QStringList{rangeMsg} << false << 0 << 0 << ""
                                << "";
        QTest::newRow("both empty: FROM, then TO")
            << 1 << "x\b"
            << "" << QStringList{fromMsg, toMsg} << false << 0 << 0 << ""
            << "";
        QTest::newRow("letters in FROM") << 1 << "drei"
                                         << "4" << QStringList{fromMsg} << false << 0 << 0 << ""
                                         << "4";
        QTest::newRow("letters in TO") << 1 << "4"
                                       << "vier" << QStringList{toMsg} << false << 0 << 0 << "4"
                                       << "";
        QTest::newRow("beyond the integer range") << 1 << "99999999999"
                                                  << "1" << QStringList{fromMsg} << false << 0 << 0 << ""
                                                  << "1";
        QTest::newRow("a fraction") << 1 << "1"
                                    << "2.5" << QStringList{toMsg} << false << 0 << 0 << "1"
                                    << "";
        QTest::newRow("German messages")
            << 0 << "a"
            << "b" << QStringList{"Ungültige Zeilennummer VON!", "Ungültige Zeilennummer BIS!"} << false << 0
            << 0 << ""
            << "";
        QTest::newRow("German range message")
            << 0 << "9"
            << "1" << QStringList{"Zeilennummern müssen größer 0 und BIS darf nicht kleiner als VON sein!"}
            << false << 0 << 0 << ""
            << "";
    }
    void ok() {
        QFETCH(int, language);
        QFETCH(QString, fromKeys);
        QFETCH(QString, toKeys);
        QFETCH(QStringList, errors);
        QFETCH(bool, closed);
        QFETCH(int, von);
        QFETCH(int, bis);
        QFETCH(QString, fromAfter);
        QFETCH(QString, toAfter);
        ScriptedPrompts prompts;
        for (int i = 0; i < errors.size(); ++i)
            prompts.expectError();
        TFormLoeschen dialog(prompts);
        open(dialog, language);
        auto* from = control<QLineEdit>(dialog, "EditVon");
        auto* to = control<QLineEdit>(dialog, "EditBis");
        QTest::keyClicks(from, fromKeys);
        QTest::keyClicks(to, toKeys);
        QTest::mouseClick(control<QPushButton>(dialog, "BitBtn1"), Qt::LeftButton);

        QStringList shown;
        for (const auto& asked : prompts.asked)
            shown << asked.text;
        QCOMPARE(shown, errors);
        QCOMPARE(!dialog.isVisible(), closed);
        QCOMPARE(dialog.VonZeile, von);
        QCOMPARE(dialog.BisZeile, bis);
        QCOMPARE(from->text(), fromAfter);
        QCOMPARE(to->text(), toAfter);
        VERIFY_PROMPTS(prompts);
    }

    // The dialog stays open after a bad entry until a good one or Cancel.
    void correctedAfterAnError() {
        ScriptedPrompts prompts;
        prompts.expectError();
        TFormLoeschen dialog(prompts);
        open(dialog, 1);
        auto* from = control<QLineEdit>(dialog, "EditVon");
        auto* to = control<QLineEdit>(dialog, "EditBis");
        QTest::keyClicks(from, QStringLiteral("8"));
        QTest::keyClicks(to, QStringLiteral("4"));
        QTest::keyClick(to, Qt::Key_Return); // Enter presses OK
        QVERIFY(dialog.isVisible());
        QTest::keyClicks(from, QStringLiteral("2"));
        QTest::keyClicks(to, QStringLiteral("6"));
        QTest::keyClick(to, Qt::Key_Enter);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.VonZeile, 2);
        QCOMPARE(dialog.BisZeile, 6);
        VERIFY_PROMPTS(prompts);
    }

    // Every way out but OK returns -1, so nothing is deleted.
    void cancel_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << "button";
        QTest::newRow("Esc key") << "esc";
        QTest::newRow("Enter on the focused Cancel button") << "enter";
        QTest::newRow("title bar close box") << "close";
    }
    void cancel() {
        QFETCH(QString, how);
        ScriptedPrompts prompts;
        TFormLoeschen dialog(prompts);
        open(dialog, 0);
        QTest::keyClicks(control<QLineEdit>(dialog, "EditVon"), QStringLiteral("2"));
        QTest::keyClicks(control<QLineEdit>(dialog, "EditBis"), QStringLiteral("5"));
        if (how == QLatin1String("button")) {
            QTest::mouseClick(control<QPushButton>(dialog, "BitBtn2"), Qt::LeftButton);
        } else if (how == QLatin1String("enter")) {
            auto* cancel = control<QPushButton>(dialog, "BitBtn2");
            dialog.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            cancel->setFocus(Qt::TabFocusReason);
            QCOMPARE(QApplication::focusWidget(), cancel);
            QTest::keyClick(cancel, Qt::Key_Return);
        } else if (how == QLatin1String("esc")) {
            QTest::keyClick(control<QLineEdit>(dialog, "EditBis"), Qt::Key_Escape);
        } else {
            QCloseEvent event; // what the window system sends for the close box
            QCoreApplication::sendEvent(dialog.windowHandle(), &event);
        }
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.VonZeile, -1);
        VERIFY_PROMPTS(prompts);
    }

    // Each showing starts afresh: fields empty, box ticked, result 0 and 0.
    void showingAgainStartsAfresh() {
        ScriptedPrompts prompts;
        TFormLoeschen dialog(prompts);
        open(dialog, 1);
        QTest::keyClicks(control<QLineEdit>(dialog, "EditVon"), QStringLiteral("4"));
        QTest::keyClicks(control<QLineEdit>(dialog, "EditBis"), QStringLiteral("9"));
        QTest::mouseClick(control<QPushButton>(dialog, "BitBtn1"), Qt::LeftButton);
        QCOMPARE(dialog.VonZeile, 4);
        open(dialog, 1);
        QCOMPARE(dialog.VonZeile, 0);
        QCOMPARE(dialog.BisZeile, 0);
        QVERIFY(control<QCheckBox>(dialog, "CheckBox1")->isChecked());
        QCOMPARE(control<QLineEdit>(dialog, "EditVon")->text(), QString());
        QCOMPARE(control<QLineEdit>(dialog, "EditBis")->text(), QString());
        QTest::mouseClick(control<QPushButton>(dialog, "BitBtn1"), Qt::LeftButton);
        QCOMPARE(dialog.VonZeile, 0);
        QCOMPARE(dialog.BisZeile, 0);
        VERIFY_PROMPTS(prompts);
    }
};

TARNEL_TEST_MAIN(TstFormLoeschen)
#include "tst_formloeschen.moc"
