#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

// A framed group of radio buttons chosen by position, laid out in columns that
// fill top to bottom. A position past the end selects the last entry, a
// negative one clears the choice; ItemIndex() is -1 while nothing is chosen.
class RadioGroup : public QGroupBox {
    Q_OBJECT

public:
    RadioGroup(const QString& title, const QStringList& items, int columns,
               QWidget* parent = nullptr);

    int ItemIndex() const;
    void setItemIndex(int index);
    int count() const;
    QRadioButton* button(int index) const;

signals:
    // Whenever the chosen entry changes, by the user or by the program.
    void itemIndexChanged(int index);

private:
    QButtonGroup* group_;
    int lastIndex_ = -1;
};
