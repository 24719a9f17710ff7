#pragma once

#include <QString>

// A skin object that shows a line of text.
class ISkinText {
public:
    virtual ~ISkinText() = default;
    virtual void SetText(const QString& text) = 0;
};
