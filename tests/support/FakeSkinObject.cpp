#include "tests/support/FakeSkinObject.h"

#include <algorithm>

void FakeSkinObject::SetPosition(int value) {
    position = std::clamp(value, 0, std::max(0, max - thumb));
}
