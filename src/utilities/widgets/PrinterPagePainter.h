#pragma once

#include "utilities/PagePainter.h"

class QPagedPaintDevice;
class QPainter;
class QString;

namespace feedrail {

// Paints a listing on a printer's or a PDF file's pages, in black "Arial":
// where Arial is missing, font matching takes the face that stands in for it
// with the same widths.
class PrinterPagePainter : public PagePainter {
public:
    // `painter` is active on `device`.
    PrinterPagePainter(QPagedPaintDevice& device, QPainter& painter)
        : device_(device), painter_(painter) {}

    void SetPenWidth(int pixels) override;
    void SetFontSize(int points) override;
    void DrawText(int x, int y, const std::string& text) override;
    void DrawFileName(int x, int y, const std::string& name) override;
    void DrawLine(int x1, int y1, int x2, int y2) override;
    void NewPage() override;

private:
    void DrawAt(int x, int y, const QString& text);

    QPagedPaintDevice& device_;
    QPainter& painter_;
};

} // namespace feedrail
