#pragma once
// The overlay's first paint held back while a compositor shows the same first
// frame from the display server's copy (the frozen screen and the dot as the
// window's background): the full-window paint and upload would repeat that
// frame and compete with it for the processor until it is on screen.

class QWidget;

namespace first_paint {
// From now until release(w) w paints nothing; released by itself a short
// while after w's first exposure, which is when the frame is on its way.
void hold(QWidget *w);
// w paints once more, all of it, from the next turn of the event loop; call
// it before anything is drawn on w. Nothing when w is not held.
void release(QWidget *w);
// Whether w is held (tests).
bool held(const QWidget *w);
} // namespace first_paint
