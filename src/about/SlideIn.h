#pragma once

namespace feedrail {

enum TAppearFrom { apFromRight, apFromLeft, apFromTop, apFromBottom };

struct LabelBounds {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;

    bool operator==(const LabelBounds&) const = default;
};

struct ClientSize {
    int Width = 0;
    int Height = 0;
};

struct SlideStep {
    LabelBounds Bounds;
    bool Arrived = false;
};

// The steps of one tick of a label sliding into its place, `target`, inside
// its parent's client area.

// Before the first move: out of sight beyond the parent's edge the label
// appears from, and with no width or height when that edge is the right or
// the bottom one.
LabelBounds SlideStart(TAppearFrom from, const LabelBounds& target, ClientSize parent);

// `scrollPixel` nearer; a label closer than that arrives at its place.
SlideStep SlideMove(TAppearFrom from, int scrollPixel, LabelBounds bounds,
                    const LabelBounds& target);

// Coming from the right or the bottom, the label grows from nothing and is
// kept two pixels short of the far edge until its whole width or height fits.
LabelBounds SlideFit(TAppearFrom from, LabelBounds bounds, const LabelBounds& target,
                     ClientSize parent);

} // namespace feedrail
