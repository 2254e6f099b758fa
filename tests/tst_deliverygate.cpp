#include "mailing/deliverygate.h"
#include "tests/support/testenvironment.h"

// One delivery or run at a time in the main window, and a close that waits for it.
class TstDeliveryGate : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void closeWaitsForTheWorkInFlight_data() {
        QTest::addColumn<bool>("run");    // a run, else a test mail's delivery
        QTest::addColumn<bool>("nested"); // a second pass inside the first
        QTest::addColumn<bool>("closeAsked");
        QTest::newRow("delivery, close asked") << false << false << true;
        QTest::newRow("run, close asked") << true << false << true;
        QTest::newRow("run, close asked while a delivery inside it goes") << true << true << true;
        QTest::newRow("delivery, no close") << false << false << false;
    }
    void closeWaitsForTheWorkInFlight() {
        QFETCH(bool, run);
        QFETCH(bool, nested);
        QFETCH(bool, closeAsked);
        DeliveryGate gate;
        int closes = 0;
        gate.closeLater = [&] { ++closes; };
        QVERIFY(!gate.closeMustWait()); // nothing in flight: close at once, nothing left pending
        {
            DeliveryGate::Pass outer(gate, run ? DeliveryGate::Work::Run : DeliveryGate::Work::Delivery);
            QCOMPARE(gate.running(), run);
            QCOMPARE(gate.delivering(), !run);
            if (nested) {
                DeliveryGate::Pass inner(gate, DeliveryGate::Work::Delivery);
                QVERIFY(gate.delivering() && gate.running());
                if (closeAsked) QVERIFY(gate.closeMustWait());
            } else if (closeAsked) {
                QVERIFY(gate.closeMustWait());
            }
            QVERIFY(gate.busy());
            QCOMPARE(closes, 0); // never while something is in flight
        }
        QVERIFY(!gate.busy());
        QCOMPARE(closes, closeAsked ? 1 : 0);
        { DeliveryGate::Pass again(gate, DeliveryGate::Work::Delivery); }
        QCOMPARE(closes, closeAsked ? 1 : 0); // carried out once only
    }
};

TARNEL_TEST_MAIN(TstDeliveryGate)
#include "tst_deliverygate.moc"
