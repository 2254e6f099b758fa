#include "app/aboutbox.h"

#include "app/interfacetexts.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Tarnel (64-bit)"), this);
    title->setObjectName(QStringLiteral("Label1"));
    LabelVersion = new QLabel(QStringLiteral("Rel.Nr."), this);
    LabelVersion->setObjectName(QStringLiteral("LabelVersion"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(title);
    layout->addWidget(LabelVersion);
    layout->addWidget(ok);
}

void TAboutBox::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TAboutBox::FormShow() {
    setWindowTitle(isGerman(Language) ? QStringLiteral("Über ...") : QStringLiteral("About ..."));
}
