#pragma once

#include "core/prompts.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Asks whether to delete the current row or a range of rows. The answer is left in VonZeile and
// BisZeile: VonZeile -1 = cancelled, 0 = the current row, otherwise the first and last row of the range.
class TFormLoeschen : public QDialog {
    Q_OBJECT
public:
    explicit TFormLoeschen(Prompts& prompts, QWidget* parent = nullptr);

    int Language = 0;
    int VonZeile = -1;
    int BisZeile = -1;

    void FormShow();
    void ApplyLanguage();
    void CheckBox1Click();
    void EditVonKeyPress();
    void BitBtn1Click();
    void BitBtn2Click();

    // Cancel, the Esc key and the title bar's close box all end here.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Prompts& m_prompts;
    QCheckBox* m_checkBox1 = nullptr;
    QLabel* m_label1 = nullptr;
    QLineEdit* m_editVon = nullptr;
    QLabel* m_label2 = nullptr;
    QLineEdit* m_editBis = nullptr;
    QPushButton* m_bitBtn1 = nullptr;
    QPushButton* m_bitBtn2 = nullptr;
    QString m_msgInvalidFrom;
    QString m_msgInvalidTo;
    QString m_msgInvalidRange;
};
