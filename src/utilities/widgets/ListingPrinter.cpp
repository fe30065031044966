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
// The listings this program writes carry its name as their creator.
bool WrittenByUs(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray content = file.readAll();
    const QByteArray creator = QByteArrayLiteral("/Creator ");
    for (qsizetype at = content.indexOf(creator); at >= 0; at = content.indexOf(creator, at + 1)) {
        const QByteArray value = content.mid(at + creator.size(), 40);
        if (value.startsWith("(Feedrail)") ||
            value.startsWith(QByteArray("(\xfe\xff\0F\0e\0e\0d\0r\0a\0i\0l)", 20))) {
            return true;
        }
    }
    return false;
}

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

void ListingPrinter::PrintListing(const QString& path, int columns, const QString& name) {
    std::optional<QString> pdf;
    std::optional<QString> failure;
    {
        const BusyCursor busy;
        try {
            pdf = Print(path, columns, name.isEmpty() ? QFileInfo(path).completeBaseName() : name);
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

std::optional<QString> ListingPrinter::Print(const QString& path, int columns,
                                             const QString& name) {
    ListingFile file(LocalPath(path));
    const QPrinterInfo printer = destination_.Printer();
    if (printer.isNull()) {
        return SaveAsPdf(path, file, columns, name);
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

QString ListingPrinter::PdfTarget(const QString& name) const {
    const QDir folder(destination_.PdfFolder);
    for (int suffix = 1;; ++suffix) {
        const QString target =
            folder.filePath(name + (suffix == 1 ? QString() : QStringLiteral("-%1").arg(suffix)) +
                            QStringLiteral(".pdf"));
        const QFileInfo info(target);
        if (!info.exists() && !info.isSymLink()) {
            return target;
        }
        if (info.isFile() && !info.isSymLink() && WrittenByUs(target)) {
            return target;
        }
    }
}

QString ListingPrinter::SaveAsPdf(const QString& path, ListingFile& file, int columns,
                                  const QString& name) {
    std::error_code error;
    std::filesystem::create_directories(LocalPath(destination_.PdfFolder), error);
    if (error) {
        throw Failure(destination_.PdfFolder + QStringLiteral(": ") +
                      QString::fromStdString(error.message()));
    }
    const QString target = PdfTarget(name);
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
