#pragma once

#include <string>

namespace feedrail {

// What a listing is painted on: pages that follow one another, with texts
// placed by the top-left corner of their first character and straight
// lines, all in device pixels from the top-left corner of the printable page.
class PagePainter {
public:
    virtual ~PagePainter() = default;

    virtual void SetPenWidth(int pixels) = 0;
    virtual void SetFontSize(int points) = 0;
    // Program text: bytes, each one character.
    virtual void DrawText(int x, int y, const std::string& text) = 0;
    // A file or folder name, in the file system's encoding of names.
    virtual void DrawFileName(int x, int y, const std::string& name) = 0;
    virtual void DrawLine(int x1, int y1, int x2, int y2) = 0;
    virtual void NewPage() = 0;
};

} // namespace feedrail
