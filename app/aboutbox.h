#pragma once

#include <QDialog>

class QLabel;

// About box: program name, file version and the maker's web address.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    int Language = 0;
    QLabel* LabelVersion = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
};
