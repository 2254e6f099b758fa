#pragma once

#include "core/prompts.h"

#include <QDialog>

class RecipientTableModel;

// CSV import window.
class TFormImport : public QDialog {
    Q_OBJECT
public:
    explicit TFormImport(Prompts& prompts, QWidget* parent = nullptr);

    int Language = 0;
    // The recipient list editor's table, which the import fills; set before the window is shown.
    RecipientTableModel* TargetModel = nullptr;

private:
    Prompts& m_prompts;
};
