#pragma once

#include <QElapsedTimer>

// Delivers the application's pending events, at most once a frame. Loops that
// pump between small steps, such as adding many files, otherwise repaint the
// window after every step, which took most of the time of adding a file; a
// frame's wait for a click or a repaint is not noticed.
class EventPump {
public:
    static constexpr int FrameMs = 16;

    void pump();

private:
    QElapsedTimer last_;
};
