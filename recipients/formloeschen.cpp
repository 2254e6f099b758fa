#include "recipients/formloeschen.h"

// The dialog's controls and validation are still to come.
TFormLoeschen::TFormLoeschen(Prompts& prompts, QWidget* parent) : QDialog(parent), m_prompts(prompts) {
    setObjectName(QStringLiteral("FormLoeschen"));
    setModal(true);
}
