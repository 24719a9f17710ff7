#include "app/dialogs/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

#include <algorithm>

RadioGroup::RadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this)) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 4, 8, 4);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(2);
    const int cols = std::max(1, columns);
    const int rows = (static_cast<int>(items.size()) + cols - 1) / cols;
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        group_->addButton(button, i);
        grid->addWidget(button, i % rows, i / rows);
    }
    for (int c = 0; c < cols; ++c)
        grid->setColumnStretch(c, 1);
    connect(group_, &QButtonGroup::idToggled, this, [this](int, bool) {
        const int now = ItemIndex();
        if (now != lastIndex_) {
            lastIndex_ = now;
            emit itemIndexChanged(now);
        }
    });
}

int RadioGroup::ItemIndex() const {
    return group_->checkedId();
}

void RadioGroup::setItemIndex(int index) {
    if (count() == 0)
        return;
    if (index < 0) {
        // An exclusive group never lets its last checked button go.
        group_->setExclusive(false);
        if (QAbstractButton* checked = group_->checkedButton())
            checked->setChecked(false);
        group_->setExclusive(true);
        return;
    }
    group_->button(std::min(index, count() - 1))->setChecked(true);
}

int RadioGroup::count() const {
    return static_cast<int>(group_->buttons().size());
}

QRadioButton* RadioGroup::button(int index) const {
    return qobject_cast<QRadioButton*>(group_->button(index));
}
