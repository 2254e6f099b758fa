#include "app/aboutbox.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/testenvironment.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

class TstAboutBox : public QObject {
    Q_OBJECT
    ScriptedPrompts prompts;

private Q_SLOTS:
    void init() { prompts.reset(); }

    void texts_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("rights");
        QTest::addColumn<QString>("site");
        QTest::newRow("German") << 0 << "Über ..."
                                << "Alle Rechte vorbehalten"
                                << "tarnel.example.org/de/";
        QTest::newRow("English") << 1 << "About ..."
                                 << "All rights reserved"
                                 << "tarnel.example.org/en/";
        QTest::newRow("another number is English") << 5 << "About ..."
                                                   << "All rights reserved"
                                                   << "tarnel.example.org/en/";
    }
    // Each showing takes the language it was given, also after showing in another one.
    void texts() {
        QFETCH(int, language);
        QFETCH(QString, caption);
        QFETCH(QString, rights);
        QFETCH(QString, site);
        TAboutBox box(prompts);
        box.Language = otherLanguage(language);
        box.show();
        box.hide();
        box.Language = language;
        box.show();
        QCOMPARE(box.windowTitle(), caption);
        QCOMPARE(box.Label6->text(), rights);
        QCOMPARE(box.Label5->text(), site);
        QCOMPARE(box.Label1->text(), QStringLiteral("Tarnel (64-bit)"));
        QCOMPARE(box.LabelRelease->text(), QStringLiteral("Release"));
        box.close();
    }

    void layout() {
        TAboutBox box(prompts);
        box.show();
        QCOMPARE(box.size(), QSize(336, 201));
        const struct {
            const char* name;
            QPoint place;
        } controls[] = {{"ProgramIcon", {16, 8}}, {"Label1", {81, 11}},   {"LabelRelease", {81, 31}},
                        {"Label2", {81, 70}},     {"Label3", {97, 72}},   {"Label6", {81, 96}},
                        {"Label5", {81, 120}},    {"BitBtn1", {192, 160}}};
        for (const auto& c : controls) {
            auto* widget = box.findChild<QWidget*>(QLatin1String(c.name));
            QVERIFY2(widget, c.name);
            QCOMPARE(widget->pos(), c.place);
            QVERIFY2(widget->isVisible(), c.name);
        }
        QCOMPARE(box.BitBtn1->size(), QSize(115, 30));
        QCOMPARE(box.Bevel1->width(), 260);
        QVERIFY(!box.ProgramIcon->pixmap().isNull());
        QVERIFY(box.Label5->font().underline());
        QCOMPARE(box.LabelVersion->y(), 31);
        QVERIFY(box.LabelVersion->x() >= 128);
        // Nothing is cut off or covered: every label's text fits in its width, and no two overlap.
        box.LabelVersion->setText(QStringLiteral("65535.65535.65535.65535"));
        box.LabelVersion->adjustSize();
        const QList<QLabel*> labels = box.findChildren<QLabel*>();
        for (QLabel* label : labels) {
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->objectName()));
            const QRect text(label->pos(), label->sizeHint());
            for (QLabel* other : labels)
                if (other != label && other != box.ProgramIcon && label != box.ProgramIcon)
                    QVERIFY2(!text.intersects(QRect(other->pos(), other->sizeHint())),
                             qPrintable(label->objectName() + QLatin1Char('/') + other->objectName()));
        }
    }

    void link_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("opens");
        QTest::newRow("German") << 0 << "https://tarnel.example.org/de/" << true;
        QTest::newRow("English") << 1 << "https://tarnel.example.org/en/" << true;
        QTest::newRow("no browser: an error names the address")
            << 1 << "https://tarnel.example.org/en/" << false;
    }
    void link() {
        QFETCH(int, language);
        QFETCH(QString, address);
        QFETCH(bool, opens);
        TAboutBox box(prompts);
        QList<QUrl> opened;
        box.OpenUrl = [&](const QUrl& url) {
            opened << url;
            return opens;
        };
        box.Language = language;
        box.show();
        QCOMPARE(box.Label5->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(box.cursor().shape(), Qt::ArrowCursor);
        QTest::mouseClick(box.Label5, Qt::RightButton);
        QVERIFY(opened.isEmpty());
        if (!opens)
            prompts.expectError([&](const ScriptedPrompts::Asked& a) {
                QCOMPARE(a.text, QStringLiteral("The address could not be opened:\n") + address);
            });
        QTest::mouseClick(box.Label5, Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl>{QUrl(address)});
        QVERIFY(box.isVisible());
        VERIFY_PROMPTS(prompts);
    }

    void okCloses() {
        TAboutBox box(prompts);
        box.show();
        QTest::mouseClick(box.BitBtn1, Qt::LeftButton);
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), int(QDialog::Accepted));
    }

private:
    static int otherLanguage(int language) { return language == 0 ? 1 : 0; }
};

TARNEL_TEST_MAIN(TstAboutBox)
#include "tst_aboutbox.moc"
