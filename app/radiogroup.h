#pragma once

#include <QGroupBox>
#include <QList>

class QRadioButton;

// A captioned group of radio buttons laid out in columns, with the selected item as an index.
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent = nullptr);

    // -1 when no item is selected.
    int itemIndex() const;
    void setItemIndex(int index);
    QRadioButton* item(int index) const { return m_items.at(index); }

Q_SIGNALS:
    void itemIndexChanged(int index);

private:
    QList<QRadioButton*> m_items;
};
