#pragma once

// A skin slider. Positions run from 0 to GetMax() - GetThumbSize();
// GetPosition returns the last position set or dragged.
class ISkinScrollBar {
public:
    virtual ~ISkinScrollBar() = default;
    virtual int GetMax() const = 0;
    virtual void SetMax(int max) = 0;
    virtual int GetThumbSize() const = 0;
    virtual void SetThumbSize(int size) = 0;
    virtual int GetPosition() const = 0;
    virtual void SetPosition(int position) = 0;
};
