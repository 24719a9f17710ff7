#pragma once

#include <QString>

// A named object of the skin: a button, a text, the slider, the progress bar.
class ISkinObject {
public:
    virtual ~ISkinObject() = default;
    virtual QString GetName() const = 0;
};
