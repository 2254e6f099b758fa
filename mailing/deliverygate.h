#pragma once

#include <functional>

// Keeps the main window to one delivery or mailing run at a time. The window goes on handling events
// while a message is in flight (or its error box is open) and while a run goes, so a button could try to
// start another meanwhile, or the user could close the window: a second one is refused, and a close waits
// until the work in flight has returned.
class DeliveryGate {
public:
    enum class Work { Delivery, Run };

    // Held while a delivery or a run goes. When the last pass ends and a close was asked for meanwhile,
    // the gate's closeLater runs.
    class Pass {
    public:
        Pass(DeliveryGate& gate, Work work);
        ~Pass();
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

    private:
        DeliveryGate& m_gate;
        Work m_work;
    };

    bool delivering() const { return m_deliveries > 0; }
    bool running() const { return m_runs > 0; }
    bool busy() const { return delivering() || running(); }

    // A close request: false when nothing is in flight and the close may go ahead now; true when it must
    // wait, and closeLater carries it out once the work in flight has returned.
    bool closeMustWait();

    std::function<void()> closeLater;

private:
    int m_deliveries = 0;
    int m_runs = 0;
    bool m_closePending = false;
};
