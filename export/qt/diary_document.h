#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include <QString>

#include "export/diary_export.h"
#include "platform/progress.h"

class QPagedPaintDevice;
class QPaintDevice;
class QTextDocument;

// The printed form of the diary, one layout for the PDF export and for the
// window's print preview: a title, a heading per day, each entry's lines as
// written, and "n / N" at the foot of every page. Qt Gui only; the functions
// may run off the window's thread, on a QPdfWriter or a QPrinter.
namespace kuv {

struct DiaryLayout {
    QString title;       // ExportTitle(range)
    QString fontFamily;  // DocumentFontFamily(the panes' family)
    double pointSize = 10.5;
};

// The panes' family when it is installed, else IPA P Gothic: the family
// the PDF embeds.
QString DocumentFontFamily(const QString& preferred);

// The days laid out for device, whose resolution the text is measured at; the
// document must be drawn on a device of the same resolution (PrintDiary does
// both). The layout's title heads it when withTitle.
std::unique_ptr<QTextDocument> BuildDiaryDocument(std::span<const ExportedDay> days,
                                                  const DiaryLayout& layout, QPaintDevice& device,
                                                  bool withTitle = true);

// Draws the days on device, page by page, "n / N" under each page. Every year
// begins on a page of its own and is laid out on its own, so that a long
// range can be cancelled between two years and is never held whole in
// memory; the pages of a range of several years are counted first. progress
// runs over those counts and the pages. False when the painting could not
// start or progress cancelled (the device then holds the pages drawn so far,
// which the caller throws away).
bool PrintDiary(const std::vector<ExportedDay>& days, const DiaryLayout& layout,
                QPagedPaintDevice& device, const ProgressFn& progress = {});

// The PDF export: A4, the font embedded, written through outputPath's work
// file, which only a finished export renames into place. progress runs over
// reading the days, then over the pages.
ExportResult ExportPdf(const ExportOptions& options, const std::string& outputPath,
                       const QString& fontFamily, const ProgressFn& progress = {});

}  // namespace kuv
