#pragma once

#include "core/prompts.h"

#include <QDialog>

class QLabel;

// Recipient list editor. It receives the data folder, the list file and the language before it is shown
// and hands the list file back in FItems when it closes.
class TFormGrid : public QDialog {
    Q_OBJECT
public:
    explicit TFormGrid(Prompts& prompts, QWidget* parent = nullptr);

    QString DataPath;
    QString FItems;
    int Language = 0;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Prompts& m_prompts;
    QLabel* m_file = nullptr;
};
