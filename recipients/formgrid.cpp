#include "recipients/formgrid.h"

#include "core/interfacetexts.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

// The editor's table and commands are still to come; until then the window names the list it would edit.
TFormGrid::TFormGrid(Prompts& prompts, QWidget* parent) : QDialog(parent), m_prompts(prompts) {
    setObjectName(QStringLiteral("FormGrid"));
    setModal(true);
    resize(640, 200);
    auto* layout = new QVBoxLayout(this);
    m_file = new QLabel(this);
    m_file->setObjectName(QStringLiteral("LabelListFile"));
    layout->addWidget(m_file);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void TFormGrid::showEvent(QShowEvent* event) {
    if (FItems.isEmpty()) FItems = DataPath + QStringLiteral("Sendlist.csv");
    setWindowTitle(isGerman(Language) ? QStringLiteral("Empfängerliste") : QStringLiteral("Recipient list"));
    m_file->setText(FItems);
    QDialog::showEvent(event);
}
