#pragma once

#include <QPrinterInfo>
#include <QString>
#include <functional>
#include <optional>

namespace feedrail {

class ListingFile;
class UserMessages;

// Where listings go: the printer that `Printer` names, or, when it names
// none, a PDF file in `PdfFolder`, created when missing.
struct ListingDestination {
    std::function<QPrinterInfo()> Printer;
    QString PdfFolder;

    // The system's default printer, or its first one when none is the
    // default; the user's documents folder.
    static ListingDestination System();
};

// Prints text files as listings under the busy cursor. Tells the operator
// where a PDF listing went, and why a listing failed.
class ListingPrinter {
public:
    ListingPrinter(UserMessages& messages, ListingDestination destination)
        : messages_(messages), destination_(std::move(destination)) {}

    // `path` is the listed file, and the print job's title; `columns` from 1
    // to 4; `name` names the PDF listing (`path`'s name when empty).
    void PrintListing(const QString& path, int columns, const QString& name = {});

private:
    // The PDF file written, or nothing when a printer took the listing.
    std::optional<QString> Print(const QString& path, int columns, const QString& name);
    void PrintOn(const QPrinterInfo& info, const QString& path, ListingFile& file, int columns);
    QString SaveAsPdf(const QString& path, ListingFile& file, int columns, const QString& name);
    // NAME.pdf, else NAME-2.pdf, NAME-3.pdf ...: the first that is free or
    // a listing of ours. A file Feedrail did not write is never replaced.
    QString PdfTarget(const QString& name) const;

    UserMessages& messages_;
    ListingDestination destination_;
};

} // namespace feedrail
