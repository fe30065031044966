#include "utilities/widgets/ListingPrinter.h"

#include "common/widgets/BusyCursor.h"
#include "common/widgets/TextBridge.h"
#include "common/widgets/UserMessages.h"
#include "utilities/ListingFile.h"
#include "utilities/ListingLayout.h"
#include "utilities/widgets/PrinterPagePainter.h"

#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QStandardPaths>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace feedrail {
namespace {

std::runtime_error Failure(const QString& reason) {
    return std::runtime_error(reason.toStdString());
}

// The paper a printer of the user's country would hold, with the margins a
// printer cannot print on, so that the PDF looks like the printed page.
QPageLayout PdfPageLayout() {
    const bool letter = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
    constexpr qreal MarginMm = 5;
    return QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4), QPageLayout::Portrait,
                       QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter);
}

ListingValues ValuesFor(const QPagedPaintDevice& device, int columns) {
    const QPageLayout layout = device.pageLayout();
    const QRect page = layout.paintRectPixels(device.logicalDpiX());
    return ListingValues::For(page.width(), page.height(),
                              layout.paintRect(QPageLayout::Millimeter).width(), columns);
}

// Paints the whole listing; false when the device refused the job. A read
// error calls `abandon` while the job is still open, so that no part of it
// is printed.
bool Paint(QPagedPaintDevice& device, ListingFile& file, int columns,
           const std::function<void()>& abandon) {
    const ListingValues values = ValuesFor(device, columns);
    QPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }
    PrinterPagePainter pagePainter(device, painter);
    try {
        LayOutListing(file, values, pagePainter);
    } catch (...) {
        abandon();
        throw;
    }
    return painter.end();
}

} // namespace

ListingDestination ListingDestination::System() {
    const auto printer = [] {
        const QPrinterInfo standard = QPrinterInfo::defaultPrinter();
        if (!standard.isNull()) {
            return standard;
        }
        const QList<QPrinterInfo> all = QPrinterInfo::availablePrinters();
        return all.isEmpty() ? QPrinterInfo() : all.front();
    };
    return {printer, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)};
}

void ListingPrinter::PrintListing(const QString& path, int columns) {
    std::optional<QString> pdf;
    std::optional<QString> failure;
    {
        const BusyCursor busy;
        try {
            pdf = Print(path, columns);
        } catch (const std::exception& error) {
            failure = QString::fromStdString(error.what());
        }
    }
    if (failure) {
        messages_.ShowError(QStringLiteral("Cannot print ") + path + QStringLiteral(": ") +
                            *failure);
    } else if (pdf) {
        messages_.ShowMessage(QStringLiteral("Listing saved as ") + *pdf);
    }
}

std::optional<QString> ListingPrinter::Print(const QString& path, int columns) {
    ListingFile file(LocalPath(path));
    const QPrinterInfo printer = destination_.Printer();
    if (printer.isNull()) {
        return SaveAsPdf(path, file, columns);
    }
    PrintOn(printer, path, file, columns);
    return std::nullopt;
}

void ListingPrinter::PrintOn(const QPrinterInfo& info, const QString& path, ListingFile& file,
                             int columns) {
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setDocName(path);
    if (!Paint(printer, file, columns, [&printer] { printer.abort(); }) ||
        printer.printerState() == QPrinter::Error) {
        throw Failure(QStringLiteral("the printer ") + info.printerName() +
                      QStringLiteral(" did not take the listing"));
    }
}

QString ListingPrinter::SaveAsPdf(const QString& path, ListingFile& file, int columns) {
    std::error_code error;
    std::filesystem::create_directories(LocalPath(destination_.PdfFolder), error);
    if (error) {
        throw Failure(destination_.PdfFolder + QStringLiteral(": ") +
                      QString::fromStdString(error.message()));
    }
    const QString target =
        QDir(destination_.PdfFolder)
            .filePath(QFileInfo(path).completeBaseName() + QStringLiteral(".pdf"));
    QSaveFile pdf(target);
    if (!pdf.open(QIODevice::WriteOnly)) {
        throw Failure(target + QStringLiteral(": ") + pdf.errorString());
    }
    QPdfWriter writer(&pdf);
    writer.setTitle(path);
    writer.setCreator(QStringLiteral("Feedrail"));
    writer.setPageLayout(PdfPageLayout());
    // A listing that fails leaves the file uncommitted, and so unwritten.
    if (!Paint(writer, file, columns, [] {}) || !pdf.commit()) {
        throw Failure(target + QStringLiteral(": ") + pdf.errorString());
    }
    return target;
}

} // namespace feedrail
