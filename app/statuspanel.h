#pragma once

#include <QLabel>

// The Info panel: a one-line status in bold. A text longer than the panel is wide (a run's result with its
// limit and skipped count) is shown smaller on two lines rather than cut, and in full as the hint.
class StatusPanel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};
