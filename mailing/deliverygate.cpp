#include "mailing/deliverygate.h"

DeliveryGate::Pass::Pass(DeliveryGate& gate, Work work) : m_gate(gate), m_work(work) {
    ++(work == Work::Delivery ? m_gate.m_deliveries : m_gate.m_runs);
}

DeliveryGate::Pass::~Pass() {
    --(m_work == Work::Delivery ? m_gate.m_deliveries : m_gate.m_runs);
    if (m_gate.busy() || !m_gate.m_closePending) return;
    m_gate.m_closePending = false;
    if (m_gate.closeLater) m_gate.closeLater();
}

bool DeliveryGate::closeMustWait() {
    if (!busy()) return false;
    m_closePending = true;
    return true;
}
