#include "import/formimport.h"

// The import window's editor and commands are still to come.
TFormImport::TFormImport(Prompts& prompts, QWidget* parent) : QDialog(parent), m_prompts(prompts) {
    setObjectName(QStringLiteral("FormImport"));
    setModal(true);
}
