#include "platform/EventPump.h"

#include <QCoreApplication>

void EventPump::pump() {
    if (last_.isValid() && last_.elapsed() < FrameMs)
        return;
    QCoreApplication::processEvents();
    last_.start();
}
