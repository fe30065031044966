#include "utilities/widgets/PrinterPagePainter.h"

#include "common/widgets/TextBridge.h"

#include <QPagedPaintDevice>
#include <QPainter>

namespace feedrail {

void PrinterPagePainter::SetPenWidth(int pixels) {
    painter_.setPen(QPen(Qt::black, pixels));
}

void PrinterPagePainter::SetFontSize(int points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(points);
    painter_.setFont(font);
}

void PrinterPagePainter::DrawText(int x, int y, const std::string& text) {
    DrawAt(x, y, BytesText(text));
}

void PrinterPagePainter::DrawFileName(int x, int y, const std::string& name) {
    DrawAt(x, y, DisplayPath(name));
}

void PrinterPagePainter::DrawLine(int x1, int y1, int x2, int y2) {
    painter_.drawLine(x1, y1, x2, y2);
}

void PrinterPagePainter::NewPage() {
    device_.newPage();
}

// Qt places text by its baseline.
void PrinterPagePainter::DrawAt(int x, int y, const QString& text) {
    painter_.drawText(x, y + painter_.fontMetrics().ascent(), text);
}

} // namespace feedrail
