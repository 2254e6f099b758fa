#include "app/radiogroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(caption, parent) {
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 2, 8, 2);
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items.at(i), this);
        group->addButton(button, i);
        layout->addWidget(button, i / columns, i % columns);
        m_items.append(button);
    }
    connect(group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) Q_EMIT itemIndexChanged(id);
    });
}

int RadioGroup::itemIndex() const {
    for (int i = 0; i < m_items.size(); ++i)
        if (m_items.at(i)->isChecked()) return i;
    return -1;
}

void RadioGroup::setItemIndex(int index) {
    if (index >= 0 && index < m_items.size()) m_items.at(index)->setChecked(true);
}
