#pragma once

class QItemSelectionModel;

// The single-row selection of a report list, as the list operations see it:
// at most one selected row, addressed by index.
class RowSelection {
public:
    explicit RowSelection(QItemSelectionModel& selection);

    // The selected row, or -1 when none is.
    int selected() const;
    // The selected row when it is below `rows`, else -1: the selection of a
    // list whose rows must also exist elsewhere.
    int selectedBelow(int rows) const;
    bool hasSelection() const { return selected() >= 0; }
    // Selects exactly `row` and makes it current; a row outside the list
    // leaves nothing selected.
    void select(int row);
    void clear();

private:
    QItemSelectionModel& selection_;
};
