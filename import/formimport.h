#pragma once

#include "core/prompts.h"

#include <QDialog>

// CSV import window.
class TFormImport : public QDialog {
    Q_OBJECT
public:
    explicit TFormImport(Prompts& prompts, QWidget* parent = nullptr);

    int Language = 0;

private:
    Prompts& m_prompts;
};
