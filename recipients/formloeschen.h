#pragma once

#include "app/prompts.h"

#include <QDialog>

// Asks for a range of rows to delete; VonZeile is -1 when the user cancelled.
class TFormLoeschen : public QDialog {
    Q_OBJECT
public:
    explicit TFormLoeschen(Prompts& prompts, QWidget* parent = nullptr);

    int Language = 0;
    int VonZeile = -1;
    int BisZeile = -1;

private:
    Prompts& m_prompts;
};
