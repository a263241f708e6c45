#pragma once

class QMainWindow;
class QScrollArea;
class QWidget;

// Fits the window to a screen whose available area is smaller than the
// window's designed size (a small laptop screen, or a large scaling factor):
// the window may then shrink to the area, and its content scrolls. Where the
// designed size fits, nothing changes: the window keeps its designed
// geometry exactly.
//
// Made once the window is built and its geometry restored, before it is
// shown; owned by the window.
class ScreenFit
{
public:
    explicit ScreenFit(QMainWindow& window);

    bool scrolls() const { return scrollArea_ != nullptr; }
    // Scrolls the content so that `widget` is in view: what a run needs to be
    // seen (Cancel, the verdict). Does nothing while the content does not scroll.
    void reveal(QWidget& widget);

private:
    QScrollArea* scrollArea_ = nullptr;
};
