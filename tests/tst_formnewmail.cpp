#include "app/aboutbox.h"
#include "app/appwindows.h"
#include "app/formnewmail.h"
#include "app/radiogroup.h"
#include "app/sendingoptionswindow.h"
#include "core/interfacetexts.h"
#include "import/formimport.h"
#include "recipients/formgrid.h"
#include "recipients/formloeschen.h"
#include "recipients/recipienttablemodel.h"
#include "tests/support/mainwindowfixture.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDateEdit>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <memory>

class TstFormNewMail : public QObject, public MainWindowFixture {
    Q_OBJECT

    QTemporaryDir files;

    void showWindow() {
        showMainWindow([](TFormNewMail& window) { window.move(50, 40); });
    }

    QString dataFile(const QString& name) const { return w->State.DataFolder + name; }

private Q_SLOTS:
    void init() {
        prompts.reset();
        opened.clear();
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).removeRecursively();
        showWindow();
    }

    void cleanup() {
        VERIFY_PROMPTS(prompts);
        dropWindows();
    }

    // ---- start-up ----

    void windowsAreCreatedInOrderAndOnlyTheMainOneShows() {
        const QList<QDialog*> dialogs = w->findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(dialogs.size(), 5);
        QVERIFY(qobject_cast<TAboutBox*>(dialogs[0]));
        QVERIFY(qobject_cast<TFormGrid*>(dialogs[1]));
        QVERIFY(qobject_cast<TFormLoeschen*>(dialogs[2]));
        QVERIFY(qobject_cast<TFormImport*>(dialogs[3]));
        QVERIFY(qobject_cast<SendingOptionsWindow*>(dialogs[4]));
        for (QDialog* d : dialogs)
            QVERIFY(!d->isVisible());
        QVERIFY(w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Tarnel x64"));
        QCOMPARE(w->size(), QSize(761, 478));
        QCOMPARE(w->minimumSize(), w->maximumSize());
    }

    void firstStartOnAMachineWithoutData() {
        const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        QCOMPARE(w->State.DataFolder, dataHome + QStringLiteral("/prdata/"));
        QVERIFY(QFileInfo(w->State.DataFolder).isDir());
        QCOMPARE(w->State.DefaultMessageFile, dataHome + QStringLiteral("/prdata/defaultmail.txt"));
        QVERIFY(w->State.MessageFile.isEmpty());
        QVERIFY(w->State.ListFile.isEmpty());
        QCOMPARE(w->State.Language, 0);
        QCOMPARE(control<QLabel>("Label2")->text(), QStringLiteral("Mailadresse"));
        for (QLineEdit* e : {w->EditHost, w->EditPort, w->EditUser, w->MaskEdit})
            QVERIFY2(e->text().isEmpty(), qPrintable(e->objectName()));
        QCOMPARE(w->DateTimePicker1->date(), QDate::currentDate());
        QVERIFY(qAbs(w->DateTimePicker2->time().secsTo(QTime::currentTime())) < 60);
        QVERIFY(!w->CheckBox1->isChecked());
        QVERIFY(!w->Timer1->isActive());
        QVERIFY(!w->State.ScheduleArmed);
        QVERIFY(w->ImageDisconnect->isVisible());
        QVERIFY(!w->ImageConnect->isVisible());
        QVERIFY(!w->LabelStatus->isVisible());
        QCOMPARE(w->ProgressBar1->value(), 0);
        QCOMPARE(w->SelHtml->itemIndex(), 0);
        QCOMPARE(w->State.Texts.MsgMailError, messageTextsFor(0).MsgMailError);
        QCOMPARE(w->DateTimePicker1->minimumDate(), QDate(2012, 9, 13));
    }

    void controlsStandWhereTheyBelong_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("EditHost") << "EditHost" << QRect(60, 72, 181, 21);
        QTest::newRow("EditPort") << "EditPort" << QRect(247, 72, 46, 21);
        QTest::newRow("MaskEdit") << "MaskEdit" << QRect(60, 161, 235, 21);
        QTest::newRow("CheckBox1") << "CheckBox1" << QRect(60, 248, 229, 17);
        QTest::newRow("DateTimePicker2") << "DateTimePicker2" << QRect(193, 285, 100, 23);
        QTest::newRow("PanelMessage") << "PanelMessage" << QRect(60, 375, 233, 25);
        QTest::newRow("EditMail") << "EditMail" << QRect(330, 71, 300, 21);
        QTest::newRow("Edit1") << "Edit1" << QRect(640, 69, 73, 21);
        QTest::newRow("Memo2") << "Memo2" << QRect(330, 208, 385, 193);
        QTest::newRow("SelHtml") << "SelHtml" << QRect(456, 416, 161, 41);
        QTest::newRow("ToolBar1") << "ToolBar1" << QRect(0, 0, 761, 30);
    }
    void controlsStandWhereTheyBelong() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QWidget* c = w->findChild<QWidget*>(name);
        QVERIFY(c);
        QCOMPARE(c->geometry(), geometry);
    }

    void toolbarButtonsAreInOrderWithDistinctImages() {
        const QStringList expected{
            "ToolButton1",  "ToolButton2",  "ToolButton3",  "ToolButton4",  "ToolButtonCheck", "ToolButton8",
            "ToolButton14", "ToolButton6",  "ToolButton19", "ToolButton11", "ToolButton12",    "ToolButton7",
            "ToolButton15", "ToolButton16", "ToolButton13", "ToolButton18", "ToolButton20"};
        QList<QToolButton*> buttons =
            w->ToolBar1->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
        buttons.removeIf([](QToolButton* b) { return b->objectName().isEmpty() || !b->isVisible(); });
        std::sort(buttons.begin(), buttons.end(),
                  [](QToolButton* a, QToolButton* b) { return a->x() < b->x(); });
        QStringList names;
        QList<QImage> images;
        for (QToolButton* b : buttons) {
            names << b->objectName();
            const QImage image = b->icon().pixmap(24, 24).toImage();
            QVERIFY2(!image.isNull(), qPrintable(b->objectName()));
            QVERIFY2(!images.contains(image),
                     qPrintable(b->objectName() + QStringLiteral(" looks like another")));
            images << image;
        }
        QCOMPARE(names, expected);
        QCOMPARE(buttons.first()->x(), 60);
    }

    void tabOrderFollowsTheForm() {
        const QList<QWidget*> chain{w->EditHost,  w->EditPort,        w->EditUser,        w->MaskEdit,
                                    w->EditPatch, w->EditMail,        w->Edit1,           w->EditSubject,
                                    w->Memo2,     w->DateTimePicker1, w->DateTimePicker2, w->CheckBox1};
        for (int i = 1; i < chain.size(); ++i) {
            QWidget* next = chain[i - 1]->nextInFocusChain();
            while (next && next != chain[i] &&
                   (!(next->focusPolicy() & Qt::TabFocus) || chain[i - 1]->isAncestorOf(next)))
                next = next->nextInFocusChain();
            QCOMPARE(next, chain[i]);
        }
    }

    // ---- interface language ----

    void languageSwitchesEveryText_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << 1;
        QTest::newRow("German") << 0;
        QTest::newRow("2 counts as English") << 2;
    }
    void languageSwitchesEveryText() {
        QFETCH(int, language);
        if (isGerman(language)) w->English1->trigger(); // from English back to German
        w->State.Language = language;
        w->ApplyLanguage();
        for (const ControlText& t : mainWindowControlTexts()) {
            QWidget* c = w->findChild<QWidget*>(QLatin1String(t.control));
            QVERIFY2(c, t.control);
            const QString shown = t.kind == ControlText::Hint ? c->toolTip() : c->property("text").toString();
            // A hint names the command's key after its text.
            QCOMPARE(shown.section(QStringLiteral(" ("), 0, 0), t.text(language));
        }
        QCOMPARE(w->State.Texts.MsgMailsSent, isGerman(language) ? QStringLiteral(" Mail(s) versendet.")
                                                                 : QStringLiteral(" Mail(s) send."));
        QVERIFY(w->State.HelpFile.endsWith(isGerman(language) ? QStringLiteral("/tarneld.html")
                                                              : QStringLiteral("/tarnel.html")));
        // Texts that stay the same in both languages.
        QCOMPARE(control<QLabel>("Label1")->text(), QStringLiteral("SMTP Host"));
        QCOMPARE(w->SelHtml->title(), QStringLiteral("Message Format"));
        QCOMPARE(w->German1->text(), QStringLiteral("German"));
    }

    void germanTextsReplaceTheDesignTexts() {
        QCOMPARE(control("ToolButton8")->toolTip(), QStringLiteral("Testmail (Strg+T)"));
        QCOMPARE(w->CheckBox1->text(), QStringLiteral("Nächstes Mailing automatisch starten am:"));
        QCOMPARE(control("ToolButton7")->toolTip(), QStringLiteral("Sprache (Strg+Umschalt+L)"));
    }

    // Every toolbar command has a key, named in its hint in the words of the language.
    void hintsNameTheKeys_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("hint");
        QTest::newRow("save settings, German") << 0 << "ToolButton2"
                                               << "Einstellungen speichern (Strg+S)";
        QTest::newRow("save settings, English") << 1 << "ToolButton2"
                                                << "Save settings (Ctrl+S)";
        QTest::newRow("run mailing") << 1 << "ToolButton3"
                                     << "Run mailing (F5)";
        QTest::newRow("stop mailing, German") << 0 << "ToolButton4"
                                              << "Mailing stoppen (Umschalt+F5)";
        QTest::newRow("help: the window's F1") << 1 << "ToolButton16"
                                               << "Help (F1)";
        QTest::newRow("quit") << 1 << "ToolButton18"
                              << "Quit (Ctrl+Q)";
    }
    void hintsNameTheKeys() {
        QFETCH(int, language);
        QFETCH(QString, button);
        QFETCH(QString, hint);
        w->State.Language = language;
        w->ApplyLanguage();
        QCOMPARE(control(qPrintable(button))->toolTip(), hint);
        QStringList keyless;
        for (QToolButton* b : w->ToolBar1->findChildren<QToolButton*>())
            if (b->objectName().startsWith(QLatin1String("ToolButton")) &&
                !b->toolTip().endsWith(QLatin1Char(')')))
                keyless << b->objectName();
        QVERIFY2(keyless.isEmpty(), qPrintable(keyless.join(QLatin1Char(' '))));
    }

    // The keys work wherever the focus is in the window, an account field included.
    void keysRunTheCommands_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("command");
        QTest::newRow("Ctrl+S saves the settings") << int(Qt::Key_S) << int(Qt::ControlModifier) << "save";
        QTest::newRow("Ctrl+N clears the fields") << int(Qt::Key_N) << int(Qt::ControlModifier) << "clear";
        QTest::newRow("F5 starts a mailing") << int(Qt::Key_F5) << int(Qt::NoModifier) << "run";
        QTest::newRow("Ctrl+T sends a test mail") << int(Qt::Key_T) << int(Qt::ControlModifier) << "test";
        QTest::newRow("Ctrl+Shift+C copies the message")
            << int(Qt::Key_C) << int(Qt::ControlModifier | Qt::ShiftModifier) << "copy";
        QTest::newRow("Ctrl+Q quits") << int(Qt::Key_Q) << int(Qt::ControlModifier) << "quit";
    }
    void keysRunTheCommands() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, command);
        w->EditMail->setText(QStringLiteral("x@example.test"));
        w->Memo2->setPlainText(QStringLiteral("Nachricht per Taste"));
        QGuiApplication::clipboard()->clear();
        // A run and a test mail need an account first: the box says so.
        if (command == QLatin1String("run") || command == QLatin1String("test"))
            prompts.expectError([](const ScriptedPrompts::Asked& a) {
                QCOMPARE(a.text, QStringLiteral("Bitte zunächst alle Accountdaten ausfüllen!"));
            });
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->EditHost->setFocus();
        QTest::keyClick(w->EditHost, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        // A button's key clicks it the way a mouse does, a moment later.
        QTRY_VERIFY(prompts.problems().isEmpty());
        if (command == QLatin1String("save")) {
            QTRY_COMPARE(w->PanelMessage->text(), QStringLiteral("Einstellungen gespeichert."));
            QVERIFY(QFileInfo::exists(dataFile(QStringLiteral("postrun.ini"))));
        }
        if (command == QLatin1String("clear")) QTRY_COMPARE(w->EditMail->text(), QString());
        if (command == QLatin1String("copy"))
            QTRY_COMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Nachricht per Taste"));
        if (command == QLatin1String("quit")) QTRY_VERIFY(!w->isVisible());
        QCOMPARE(w->EditHost->text().isEmpty(), true); // nothing typed into the field
    }

    // The connection status and the Info text are said again in the new language after a switch.
    void statusTextsFollowTheLanguage() {
        QTcpServer web;
        QVERIFY(web.listen(QHostAddress::LocalHost));
        w->OnlineCheck.webHosts = {{QStringLiteral("127.0.0.1"), web.serverPort()}};
        click("ToolButtonCheck");
        QCOMPARE(w->LabelStatus->text(), QStringLiteral("Verbunden"));
        click("ToolButton2");
        QCOMPARE(w->PanelMessage->text(), QStringLiteral("Einstellungen gespeichert."));
        w->English1->trigger();
        QCOMPARE(w->LabelStatus->text(), QStringLiteral("Connected"));
        QCOMPARE(w->PanelMessage->text(), QStringLiteral("Settings saved."));
        w->German1->trigger();
        QCOMPARE(w->LabelStatus->text(), QStringLiteral("Verbunden"));
        QCOMPARE(w->PanelMessage->text(), QStringLiteral("Einstellungen gespeichert."));
    }

    void aMessageAfterASwitchSpeaksTheNewLanguage() {
        w->English1->trigger();
        QCOMPARE(w->State.Language, 1);
        prompts.expectQuestion(false, [](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text, QStringLiteral("defaultmail.txt not found. Create new default message?"));
        });
        click("ToolButton11");
        w->German1->trigger();
        prompts.expectQuestion(false, [](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text, QStringLiteral("defaultmail.txt nicht gefunden. Neuen Standardtext erstellen?"));
        });
        click("ToolButton11");
    }

    void languageMenuPopsUpBelowTheToolbar() {
        click("ToolButton7");
        QVERIFY(w->PopupMenu1->isVisible());
        const QPoint expected(w->frameGeometry().left() + w->ToolButton7->x(),
                              w->frameGeometry().top() + 30 + 30);
        QCOMPARE(w->languageMenuPosition(), expected);
        QCOMPARE(w->PopupMenu1->pos(), expected);
        w->PopupMenu1->hide();
    }

    void helpOpensTheFileOfTheCurrentLanguage() {
        const QString german = QCoreApplication::applicationDirPath() + QStringLiteral("/tarneld.html");
        const QString english = QCoreApplication::applicationDirPath() + QStringLiteral("/tarnel.html");
        // No help file: an error names it.
        prompts.expectError([&](const ScriptedPrompts::Asked& a) { QVERIFY(a.text.endsWith(german)); });
        QTest::keyClick(w->Memo2, Qt::Key_F1);
        QVERIFY(opened.isEmpty());
        QVERIFY(writeBytes(german, "<html></html>"));
        QVERIFY(writeBytes(english, "<html></html>"));
        QTest::keyClick(w->EditHost, Qt::Key_F1);
        w->English1->trigger();
        QTest::keyClick(w->Memo2, Qt::Key_F1);
        QFile::remove(german);
        QFile::remove(english);
        QCOMPARE(opened, (QList<QUrl>{QUrl::fromLocalFile(german), QUrl::fromLocalFile(english)}));
    }

    // Real Tab presses run through the form in its tab order, out of the message field too, and type no
    // tab into it.
    void tabRunsThroughTheForm() {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->EditHost->setFocus(Qt::TabFocusReason);
        QStringList visited{QStringLiteral("EditHost")};
        for (int i = 0; i < 40 && visited.size() < 14; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            const QString name = focus == static_cast<QWidget*>(w->SelHtml->item(0))
                                     ? QStringLiteral("SelHtml")
                                     : focus->objectName();
            if (name != visited.last()) visited << name; // the pickers take a Tab per date and time part
        }
        QCOMPARE(visited, (QStringList{"EditHost", "EditPort", "EditUser", "MaskEdit", "EditPatch",
                                       "EditMail", "Edit1", "EditSubject", "Memo2", "DateTimePicker1",
                                       "DateTimePicker2", "CheckBox1", "SelHtml", "ToolButton1"}));
        QCOMPARE(w->Memo2->toPlainText(), QString());
    }

    // The schedule box paints its own background colour, not the window's or the style's button grey.
    void scheduleBoxColour() {
        const QImage image = w->CheckBox1->grab().toImage();
        QCOMPARE(image.pixelColor(image.width() - 2, image.height() / 2), QColor(0xA5, 0xAB, 0xB6));
    }

    // ---- recipient list and attachment ----

    void recipientListHandOver() {
        w->EditMail->setText(QStringLiteral("x@y"));
        w->Memo2->setPlainText(QStringLiteral("text"));
        w->FormGrid->FItems = QStringLiteral("/kept/list.csv");
        w->English1->trigger();
        // Neither list exists: the editor offers its file dialog on each showing; cancelled.
        prompts.expectOpenFile(QString());
        prompts.expectOpenFile(QString());
        QString seenItems;
        QString seenPath;
        int seenLanguage = -1;
        QTimer::singleShot(0, w->FormGrid, [&] {
            seenItems = w->FormGrid->FItems;
            seenPath = w->FormGrid->DataPath;
            seenLanguage = w->FormGrid->Language;
            QVERIFY(w->Memo2->toPlainText().isEmpty());
            QVERIFY(w->EditMail->text().isEmpty());
            w->FormGrid->FItems = QStringLiteral("/chosen/other.csv");
            w->FormGrid->accept();
        });
        click("ToolButton1");
        QCOMPARE(seenItems, QStringLiteral("/kept/list.csv")); // an empty ListFile leaves FItems alone
        QCOMPARE(seenPath, w->State.DataFolder);
        QCOMPARE(seenLanguage, 1);
        QCOMPARE(w->State.ListFile, QStringLiteral("/chosen/other.csv"));

        QTimer::singleShot(0, w->FormGrid, [&] {
            seenItems = w->FormGrid->FItems;
            w->FormGrid->reject();
        });
        click("ToolButton1");
        QCOMPARE(seenItems, QStringLiteral("/chosen/other.csv"));
    }

    void attachmentChoice() {
        w->EditPatch->setText(QStringLiteral("old.pdf"));
        prompts.expectOpenFile(QString());
        w->BitBtnOpenClick();
        QCOMPARE(w->EditPatch->text(), QStringLiteral("old.pdf"));
        prompts.expectOpenFile(
            QStringLiteral("/some/where/new.pdf"),
            [this](const ScriptedPrompts::Asked& a) { QCOMPARE(a.request.folder, w->State.DataFolder); });
        w->BitBtnOpenClick();
        QCOMPARE(w->EditPatch->text(), QStringLiteral("/some/where/new.pdf"));
    }

    // ---- message text files ----

    void openLoadsAFileInItsEncoding() {
        const QString path = files.filePath(QStringLiteral("letter-utf16.txt"));
        QVERIFY(writeBytes(path, QByteArray("\xFE\xFF\0H\0i\0\r\0\n\0\xFC", 12)));
        w->SelHtml->setItemIndex(1);
        prompts.expectOpenFile(path, [this](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.request.folder, w->State.DataFolder);
            QCOMPARE(a.request.filter, QStringLiteral("Alle (*)"));
        });
        click("ToolButton19");
        QCOMPARE(w->Memo2->toPlainText(), QStringLiteral("Hi\nü"));
        QCOMPARE(w->State.MessageFile, path);
        QCOMPARE(w->MessageText.format().encoding, TextEncoding::Utf16BE);
        QCOMPARE(w->SelHtml->itemIndex(), 1);

        // Saving writes the same bytes back: the encoding with its mark, and no break after the last line.
        const QString copy = files.filePath(QStringLiteral("copy.txt"));
        prompts.expectSaveFile(copy, [&](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.request.folder, files.path());
            QCOMPARE(a.request.fileName, QStringLiteral("letter-utf16.txt"));
        });
        click("ToolButton12");
        QCOMPARE(readBytes(copy), readBytes(path));
        QCOMPARE(w->State.MessageFile, copy);
    }

    void openCancelledChangesNothing() {
        w->Memo2->setPlainText(QStringLiteral("keep"));
        w->State.MessageFile = QStringLiteral("/a/b.txt");
        prompts.expectOpenFile(QString());
        click("ToolButton19");
        QCOMPARE(w->Memo2->toPlainText(), QStringLiteral("keep"));
        QCOMPARE(w->State.MessageFile, QStringLiteral("/a/b.txt"));
    }

    void openThatFailsLeavesAnEmptyField() {
        const QString missing = files.filePath(QStringLiteral("gone.txt"));
        w->Memo2->setPlainText(QStringLiteral("before"));
        prompts.expectOpenFile(missing);
        prompts.expectError([&](const ScriptedPrompts::Asked& a) { QVERIFY(a.text.contains(missing)); });
        click("ToolButton19");
        QCOMPARE(w->State.MessageFile, missing);
        QVERIFY(w->Memo2->toPlainText().isEmpty());
    }

    void saveWithAnEmptyFieldOpensNoDialog() {
        click("ToolButton12"); // an unexpected dialog would show up in the prompts check
        w->Memo2->setPlainText(QStringLiteral("  "));
        prompts.expectSaveFile(QString());
        click("ToolButton12"); // blanks are not empty
    }

    void saveAfterClearingKeepsTheDialogsLastPlace() {
        const QString first = files.filePath(QStringLiteral("first.txt"));
        w->Memo2->setPlainText(QStringLiteral("Grüße\n$Name"));
        prompts.expectSaveFile(first);
        click("ToolButton12");
        QCOMPARE(readBytes(first), QByteArray("Gr\xC3\xBC\xC3\x9F"
                                              "e\r\n$Name\r\n")); // new text: UTF-8 without mark

        click("ToolButton14");
        QVERIFY(w->State.MessageFile.isEmpty());
        w->Memo2->setPlainText(QStringLiteral("again"));
        prompts.expectSaveFile(QString(), [&](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.request.folder, files.path());
            QCOMPARE(a.request.fileName, QStringLiteral("first.txt"));
        });
        click("ToolButton12");
        QVERIFY(w->State.MessageFile.isEmpty());
    }

    void saveThatFailsKeepsTheNewPath() {
        const QString target = files.filePath(QStringLiteral("no/folder/x.txt"));
        w->Memo2->setPlainText(QStringLiteral("text"));
        prompts.expectSaveFile(target);
        prompts.expectError();
        click("ToolButton12");
        QCOMPARE(w->State.MessageFile, target);
        QVERIFY(!QFile::exists(target));
    }

    // A file opened and saved without an edit keeps every byte, whatever its encoding and line layout.
    void openThenSaveIsByteIdentical_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("UTF-8 without mark") << QByteArray("Sehr geehrte Frau M\xC3\xBCller,\r\n$Name\r\n");
        QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
                                                       "e\r\n");
        QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE"
                                                 "a\0\r\0\n\0\xFC\0\r\0\n\0",
                                                 14);
        QTest::newRow("Windows-1252, 0x80 to 0x9F")
            << QByteArray("\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F\r\n"
                          "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F M\xFCller\r\n");
        QTest::newRow("ends with an empty line") << QByteArray("Gru\xC3\x9F\r\n\r\n");
        QTest::newRow("ends with two empty lines") << QByteArray("a\r\n\r\n\r\n");
        QTest::newRow("no-break space and line separator")
            << QByteArray("10\xC2\xA0\xE2\x82\xAC\xE2\x80\xA8x\r\n");
        QTest::newRow("no-break space, Windows-1252") << QByteArray("10\xA0\x80\r\n");
        QTest::newRow("LF only") << QByteArray("a\n\nb\n");
        QTest::newRow("no break at the end") << QByteArray("a\r\nb");
        QTest::newRow("one line") << QByteArray("x\r\n");
    }
    void openThenSaveIsByteIdentical() {
        QFETCH(QByteArray, bytes);
        const QString path = files.filePath(QStringLiteral("roundtrip.txt"));
        QVERIFY(writeBytes(path, bytes));
        prompts.expectOpenFile(path);
        click("ToolButton19");
        prompts.expectSaveFile(path);
        click("ToolButton12");
        QCOMPARE(readBytes(path), bytes);
        // Saving twice changes nothing either (a lost line would show here).
        prompts.expectSaveFile(path);
        click("ToolButton12");
        QCOMPARE(readBytes(path), bytes);
    }

    // An edited Windows-1252 file that gains a character the code page lacks switches to UTF-8 with its mark;
    // a UTF-8 file without mark that gains one stays as it is.
    void editedFileKeepsItsEncodingWherePossible_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("1252") << QByteArray("M\xFCller\r\n")
                              << QByteArray("\xEF\xBB\xBF\xC5\x81 M\xC3\xBCller\r\n");
        QTest::newRow("ASCII") << QByteArray("Muller\r\n") << QByteArray("\xC5\x81 Muller\r\n");
    }
    void editedFileKeepsItsEncodingWherePossible() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, saved);
        const QString path = files.filePath(QStringLiteral("edited.txt"));
        QVERIFY(writeBytes(path, bytes));
        prompts.expectOpenFile(path);
        click("ToolButton19");
        w->Memo2->moveCursor(QTextCursor::Start);
        w->Memo2->insertPlainText(QStringLiteral("Ł ")); // typed: a key press cannot carry "Ł" offscreen
        prompts.expectSaveFile(path);
        click("ToolButton12");
        QCOMPARE(readBytes(path), saved);
    }

    void defaultMessage_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("German") << 0 << "Sehr geehrte(r) Frau/Herr $PreName $Name,";
        QTest::newRow("English") << 1 << "Dear Mrs./Mr. $Prename $Name,";
    }
    void defaultMessage() {
        QFETCH(int, language);
        QFETCH(QString, firstLine);
        w->State.Language = language;
        w->ApplyLanguage();
        w->Memo2->setPlainText(QStringLiteral("old"));
        const QString before = w->State.MessageFile = QStringLiteral("/before.txt");

        prompts.expectQuestion(false);
        click("ToolButton11");
        QCOMPARE(w->Memo2->toPlainText(), QStringLiteral("old"));
        QCOMPARE(w->State.MessageFile, before);
        QVERIFY(!QFile::exists(w->State.DefaultMessageFile));

        prompts.expectQuestion(true);
        click("ToolButton11");
        const QStringList lines = w->MessageText.lines();
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[0], firstLine);
        QVERIFY(lines[1].isEmpty() && lines[5].isEmpty());
        QCOMPARE(w->State.MessageFile, w->State.DefaultMessageFile);
        QCOMPARE(readTextFile(w->State.DefaultMessageFile).lines, lines);

        // Now it exists: loaded without a question.
        w->Memo2->setPlainText(QStringLiteral("changed"));
        w->State.MessageFile.clear();
        click("ToolButton11");
        QCOMPARE(w->MessageText.lines(), lines);
        QCOMPARE(w->State.MessageFile, w->State.DefaultMessageFile);
    }

    void defaultMessageThatCannotBeReadOrWritten() {
        w->State.MessageFile = QStringLiteral("/before.txt");
        // Reading fails: the field is empty, MessageFile unchanged.
        QVERIFY(QDir().mkpath(w->State.DefaultMessageFile));
        w->Memo2->setPlainText(QStringLiteral("old"));
        prompts.expectError();
        click("ToolButton11");
        QVERIFY(w->Memo2->toPlainText().isEmpty());
        QCOMPARE(w->State.MessageFile, QStringLiteral("/before.txt"));

        // Creating fails: the field holds the template, MessageFile unchanged.
        QVERIFY(QDir(w->State.DataFolder).removeRecursively());
        prompts.expectQuestion(true);
        prompts.expectError();
        click("ToolButton11");
        QCOMPARE(w->MessageText.lines(), defaultMessageTemplate(0));
        QCOMPARE(w->State.MessageFile, QStringLiteral("/before.txt"));
    }

    void clearFieldsLeavesAccountAndFormat() {
        w->EditHost->setText(QStringLiteral("smtp.example.org"));
        w->EditMail->setText(QStringLiteral("a@b"));
        w->EditSubject->setText(QStringLiteral("S"));
        w->EditPatch->setText(QStringLiteral("/p"));
        w->Edit1->setText(QStringLiteral("3"));
        w->Memo2->setPlainText(QStringLiteral("m"));
        w->ProgressBar1->setValue(40);
        w->PanelMessage->setText(QStringLiteral("done"));
        w->SelHtml->setItemIndex(1);
        w->State.SmtpHost = QStringLiteral("smtp.example.org"); // as if stored: the schedule arms
        w->State.SmtpUser = QStringLiteral("u@example.org");
        w->CheckBox1->setChecked(true);
        w->State.MessageFile = QStringLiteral("/m.txt");
        click("ToolButton14");
        for (QLineEdit* e : {w->EditMail, w->EditSubject, w->EditPatch, w->Edit1})
            QVERIFY2(e->text().isEmpty(), qPrintable(e->objectName()));
        QVERIFY(w->Memo2->toPlainText().isEmpty());
        QVERIFY(w->State.MessageFile.isEmpty());
        QCOMPARE(w->ProgressBar1->value(), 0);
        QVERIFY(w->PanelMessage->text().isEmpty());
        QCOMPARE(w->EditHost->text(), QStringLiteral("smtp.example.org"));
        QCOMPARE(w->SelHtml->itemIndex(), 1);
        QVERIFY(w->CheckBox1->isChecked());
    }

    void copyPutsTheWholeTextOnTheClipboard() {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("before"));
        w->Memo2->setPlainText(QStringLiteral(" \n\t\n "));
        click("ToolButton6");
        QCOMPARE(clipboard->text(), QStringLiteral("before"));
        w->Memo2->setPlainText(QStringLiteral("  Hallo $Prename\n\n"));
        click("ToolButton6");
        QCOMPARE(clipboard->text(), QStringLiteral("  Hallo $Prename\n\n"));
    }

    void droppingFilesLoadsTheFirstOnly() {
        const QString a = files.filePath(QStringLiteral("a.txt"));
        const QString b = files.filePath(QStringLiteral("b.txt"));
        QVERIFY(writeBytes(a, "first\r\n"));
        QVERIFY(writeBytes(b, "second\r\n"));
        auto drop = [this](const QList<QUrl>& urls) {
            QMimeData mime;
            mime.setUrls(urls);
            // As from the desktop: the window accepts the drag, then receives the drop.
            QDragEnterEvent enter(QPoint(20, 40), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(w, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent event(QPointF(20, 40), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(w, &event);
        };
        drop({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b), QUrl::fromLocalFile(b)});
        QCOMPARE(w->Memo2->toPlainText(), QStringLiteral("first"));
        QCOMPARE(w->State.MessageFile, a);

        // A dropped file that cannot be read: the path is taken, the text stays.
        const QString missing = files.filePath(QStringLiteral("missing.txt"));
        prompts.expectError();
        drop({QUrl::fromLocalFile(missing)});
        QCOMPARE(w->State.MessageFile, missing);
        QCOMPARE(w->Memo2->toPlainText(), QStringLiteral("first"));

        // Something that is not a local file is ignored.
        drop({QUrl(QStringLiteral("https://example.org/x.txt"))});
        QCOMPARE(w->State.MessageFile, missing);
    }

    void quitClosesTheWindow() {
        click("ToolButton18");
        QVERIFY(!w->isVisible());
    }

    // ---- hand-over with the recipient list editor ----

    // The editor gets the list file and hands back the one it closes with; its Remove rows and Import
    // commands reach the program's own dialog and import window.
    void handOverWithTheListEditor() {
        TFormGrid* editor = windows->FormGrid;
        QVERIFY(editor->FormLoeschen == windows->FormLoeschen);
        const QString loaded = w->State.DataFolder + "picked.csv";
        const auto listBytes = [](int count) {
            QByteArray bytes;
            for (int k = 1; k <= count; ++k)
                bytes +=
                    QStringLiteral("Name%1;Pre%1;p%1@example.org;Subject;default;;;\r\n").arg(k).toUtf8();
            return bytes;
        };
        QVERIFY(writeBytes(w->State.DataFolder + "sendlist.csv", listBytes(2)));
        QVERIFY(writeBytes(loaded, listBytes(4)));
        QString shownFile;
        RecipientTableModel* importTarget = nullptr;
        QTimer::singleShot(0, editor, [&] {
            QVERIFY(editor->isVisible());
            shownFile = editor->FItems;
            prompts.expectOpenFile(loaded);
            editor->findChild<QToolButton*>("ToolButton3")->click();
            QTimer::singleShot(0, windows->FormImport, [&] {
                QVERIFY(windows->FormImport->isVisible());
                importTarget = windows->FormImport->TargetModel;
                windows->FormImport->reject();
            });
            editor->findChild<QToolButton*>("ToolButton17")->click();
            editor->findChild<QToolButton*>("ToolButton15")->click();
        });
        click("ToolButton1");
        QCOMPARE(shownFile, w->State.DataFolder + "sendlist.csv");
        QCOMPARE(w->State.ListFile, loaded);
        QCOMPARE(importTarget, editor->Model());
    }
};

TARNEL_TEST_MAIN(TstFormNewMail)
#include "tst_formnewmail.moc"
