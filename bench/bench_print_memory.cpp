// The memory of a print preview of the most days a print takes. While it is
// open it holds its pages; once it closes they go, and whatever the first
// preview left behind (font and glyph caches, the heap's high-water mark) is
// the floor: three more previews of the same days keep the process within 5 %
// of that floor, so nothing of a preview is kept after it closes.
// usage: bench_print_memory [DAYS]   (default: 1000, the most a print takes)
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintPreviewWidget>
#include <QPrinter>

#include "export/qt/diary_document.h"
#include "platform/heap.h"

namespace {

// The resident size of the process in KiB.
long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

// Days of about a page each, a year after another from 2001.
std::vector<kuv::ExportedDay> Days(int count) {
    std::vector<kuv::ExportedDay> days;
    std::string text;
    for (int line = 0; line < 12; ++line) {
        text += "朝は雨、昼から晴れ。駅前の本屋で新しい手帳を買った。\n";
    }
    for (int i = 0; i < count; ++i) {
        const auto year = static_cast<std::uint16_t>(2001 + i / 336);
        const auto month = static_cast<std::uint16_t>(1 + i % 336 / 28);
        const auto day = static_cast<std::uint16_t>(1 + i % 28);
        days.push_back({{year, month, day}, std::to_string(year) + "-" + std::to_string(i), text});
    }
    return days;
}

struct Sizes {
    long open = 0, closed = 0;
    int pages = 0;
};

// Shows the days in Qt's print preview as the window does, closes it and
// hands the freed memory back as the window does.
Sizes Preview(const std::vector<kuv::ExportedDay>& days, const kuv::DiaryLayout& layout) {
    Sizes sizes;
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageMargins(QMarginsF(20, 18, 20, 12), QPageLayout::Millimeter);
        QPrintPreviewWidget widget(&printer);
        QObject::connect(&widget, &QPrintPreviewWidget::paintRequested,
                         [&](QPrinter* p) { kuv::PrintDiary(days, layout, *p); });
        widget.show();
        widget.updatePreview();
        QApplication::processEvents();
        sizes.open = ResidentKiB();
        sizes.pages = widget.pageCount();
    }
    QApplication::processEvents();
    kuv::ReturnFreedMemory();
    sizes.closed = ResidentKiB();
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::vector<kuv::ExportedDay> days = Days(count);
    kuv::DiaryLayout layout;
    layout.title = QStringLiteral("日記");
    layout.fontFamily = kuv::DocumentFontFamily({});

    const long before = ResidentKiB();
    const Sizes first = Preview(days, layout);
    Sizes last;
    for (int round = 0; round < 3; ++round) last = Preview(days, layout);
    const double ratio = static_cast<double>(last.closed) / static_cast<double>(first.closed);
    std::printf(
        "print preview of %d days, %d pages: %ld KiB before, %ld KiB open, "
        "%ld KiB after it closed\n",
        count, first.pages, before, first.open, first.closed);
    std::printf("after three more: %ld KiB, %.3f x the first (target <= 1.05)\n", last.closed,
                ratio);
    return ratio <= 1.05 ? 0 : 1;
}
