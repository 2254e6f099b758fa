#pragma once

#include "core/prompts.h"
#include "mailing/sendingoptions.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

// "Sending options": the caps and habits a mailing run keeps to on a real mail account. Shown modally
// from the main window; OK stores the options for the next run, Escape or Cancel leaves them.
class SendingOptionsWindow : public QDialog {
    Q_OBJECT
public:
    explicit SendingOptionsWindow(Prompts& prompts, QWidget* parent = nullptr);

    int Language = 0;
    // Opens the help at the sending options; the main window sets it, since it knows the help file.
    std::function<void()> ShowHelp;

    // The options as the controls hold them.
    SendingOptions options() const;

    QSpinBox* SpinMessagesPerMinute = nullptr;
    QSpinBox* SpinMessagesPerRun = nullptr;
    QCheckBox* CheckSkipSent = nullptr;
    QCheckBox* CheckRetryTemporaryFailures = nullptr;
    QPushButton* ButtonOk = nullptr;
    QPushButton* ButtonCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void ButtonOkClick();

    Prompts& m_prompts;
    QLabel* m_perMinute = nullptr;
    QLabel* m_perRun = nullptr;
    QLabel* m_explanation = nullptr;
};
