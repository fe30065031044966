#include "about/SlideIn.h"

#include <algorithm>
#include <cstdlib>

namespace feedrail {
namespace {

// The length along the slide that the parent's edge cuts off: the full one
// once it fits before the edge, else up to two pixels short of it.
int FittedLength(int length, int position, int targetLength, int parentLength) {
    if (length == targetLength) {
        return length;
    }
    if (targetLength + position < parentLength) {
        return targetLength;
    }
    return std::max(parentLength - position - 2, 0);
}

} // namespace

LabelBounds SlideStart(TAppearFrom from, const LabelBounds& target, ClientSize parent) {
    LabelBounds bounds = target;
    switch (from) {
    case apFromRight:
        bounds.Left = parent.Width;
        bounds.Width = 0;
        break;
    case apFromLeft:
        bounds.Left = -target.Width;
        break;
    case apFromTop:
        bounds.Top = -target.Height;
        break;
    case apFromBottom:
        bounds.Top = parent.Height;
        bounds.Height = 0;
        break;
    }
    return bounds;
}

SlideStep SlideMove(TAppearFrom from, int scrollPixel, LabelBounds bounds,
                    const LabelBounds& target) {
    const bool sideways = from == apFromRight || from == apFromLeft;
    int& position = sideways ? bounds.Left : bounds.Top;
    const int goal = sideways ? target.Left : target.Top;
    if (std::abs(position - goal) < scrollPixel) {
        position = goal;
        return {bounds, true};
    }
    position += from == apFromRight || from == apFromBottom ? -scrollPixel : scrollPixel;
    return {bounds, false};
}

LabelBounds SlideFit(TAppearFrom from, LabelBounds bounds, const LabelBounds& target,
                     ClientSize parent) {
    if (from == apFromRight) {
        bounds.Width = FittedLength(bounds.Width, bounds.Left, target.Width, parent.Width);
    } else if (from == apFromBottom) {
        bounds.Height = FittedLength(bounds.Height, bounds.Top, target.Height, parent.Height);
    }
    return bounds;
}

} // namespace feedrail
