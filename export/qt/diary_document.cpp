#include "export/qt/diary_document.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QFontDatabase>
#include <QIODevice>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "platform/work_file.h"

namespace kuv {

namespace {

const QString kFallbackFamily = QStringLiteral("IPAPGothic");

// The PDF's bytes go to the work file as QPdfWriter hands them over; it only
// ever appends, so the device is sequential.
class WorkFileDevice final : public QIODevice {
  public:
    explicit WorkFileDevice(fsio::WorkFileOutput& out) : out_(out) {}
    bool isSequential() const override { return true; }
    bool Failed() const { return failed_; }

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (failed_ || !out_.Write({data, static_cast<std::size_t>(size)})) {
            failed_ = true;
            return -1;
        }
        return size;
    }

  private:
    fsio::WorkFileOutput& out_;
    bool failed_ = false;
};

}  // namespace

QString DocumentFontFamily(const QString& preferred) {
    return !preferred.isEmpty() && QFontDatabase::families().contains(preferred) ? preferred
                                                                                 : kFallbackFamily;
}

std::unique_ptr<QTextDocument> BuildDiaryDocument(const std::vector<ExportedDay>& days,
                                                  const DiaryLayout& layout, QPaintDevice& device) {
    // The layout takes margins in pixels of a 96-dpi screen and scales them
    // to the device itself.
    const double px = 96.0 / 72.0;
    auto doc = std::make_unique<QTextDocument>();
    doc->setUndoRedoEnabled(false);
    doc->documentLayout()->setPaintDevice(&device);
    QFont font(layout.fontFamily);
    font.setPointSizeF(layout.pointSize);
    doc->setDefaultFont(font);
    doc->setDocumentMargin(0);

    QTextCursor cursor(doc.get());
    QTextBlockFormat titleBlock;
    titleBlock.setAlignment(Qt::AlignHCenter);
    titleBlock.setBottomMargin(16 * px);
    QTextCharFormat titleChars;
    titleChars.setFontPointSize(layout.pointSize * 1.6);
    titleChars.setFontWeight(QFont::Bold);
    cursor.setBlockFormat(titleBlock);
    cursor.setCharFormat(titleChars);
    cursor.insertText(layout.title);

    QTextBlockFormat headingBlock;
    headingBlock.setTopMargin(18 * px);
    headingBlock.setBottomMargin(6 * px);
    QTextCharFormat headingChars;
    headingChars.setFontPointSize(layout.pointSize * 1.15);
    headingChars.setFontWeight(QFont::Bold);
    QTextBlockFormat textBlock;
    textBlock.setLineHeight(135, QTextBlockFormat::ProportionalHeight);
    QTextCharFormat textChars;
    textChars.setFontPointSize(layout.pointSize);

    for (const ExportedDay& day : days) {
        cursor.insertBlock(headingBlock, headingChars);
        cursor.insertText(QString::fromUtf8(day.heading));
        // Each line a paragraph of its own, so the breaks stay where they
        // were typed.
        cursor.insertBlock(textBlock, textChars);
        cursor.insertText(QString::fromUtf8(day.text));
    }
    return doc;
}

bool PrintDiary(const std::vector<ExportedDay>& days, const DiaryLayout& layout,
                QPagedPaintDevice& device, const ProgressFn& progress) {
    std::unique_ptr<QTextDocument> doc = BuildDiaryDocument(days, layout, device);
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const double px = device.logicalDpiY() / 72.0;
    const double footer = 20 * px;  // room for the page number under the text
    const QSizeF body(device.width(), device.height() - footer);
    doc->setPageSize(body);
    const int pages = doc->pageCount();

    QFont numberFont(layout.fontFamily);
    numberFont.setPointSizeF(layout.pointSize * 0.85);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, Qt::black);
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !device.newPage()) {
            painter.end();
            return false;
        }
        const QRectF view(0, page * body.height(), body.width(), body.height());
        painter.save();
        painter.translate(0, -view.top());
        painter.setClipRect(view);
        context.clip = view;
        doc->documentLayout()->draw(&painter, context);
        painter.restore();
        painter.setFont(numberFont);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, body.height(), body.width(), footer),
                         Qt::AlignHCenter | Qt::AlignBottom,
                         QStringLiteral("%1 / %2").arg(page + 1).arg(pages));
        if (!KeepGoing(progress, static_cast<std::uint64_t>(page + 1),
                       static_cast<std::uint64_t>(pages))) {
            painter.end();
            return false;
        }
    }
    return painter.end();
}

ExportResult ExportPdf(const ExportOptions& options, const std::string& outputPath,
                       const QString& fontFamily, const ProgressFn& progress) {
    // Reading the days is the first half of the progress, the pages the second.
    const auto half = [&](std::uint64_t base) {
        return [&progress, base](std::uint64_t done, std::uint64_t total) {
            const std::uint64_t at = total > 0 ? base + 500 * done / total : base + 500;
            return KeepGoing(progress, at, 1000);
        };
    };
    std::vector<ExportedDay> days;
    ExportResult result = ForEachExportedDay(
        options,
        [&](const ExportedDay& day) {
            days.push_back(day);
            return true;
        },
        half(0));
    if (result.status != ExportStatus::Done) {
        result.message = ExportMessage(result, outputPath);
        return result;
    }

    fsio::WorkFileOutput out(outputPath);
    bool ok = out.Open();
    bool cancelled = false;
    if (ok) {
        WorkFileDevice device(out);
        device.open(QIODevice::WriteOnly);
        {
            QPdfWriter writer(&device);
            writer.setPageSize(QPageSize(QPageSize::A4));
            writer.setPageMargins(QMarginsF(20, 18, 20, 12), QPageLayout::Millimeter);
            writer.setResolution(300);
            writer.setCreator(QStringLiteral("Kuvandoro"));
            DiaryLayout layout;
            layout.title = QString::fromUtf8(ExportTitle(options.range));
            writer.setTitle(layout.title);
            layout.fontFamily = DocumentFontFamily(fontFamily);
            const ProgressFn pages = half(500);
            ok = PrintDiary(days, layout, writer, [&](std::uint64_t done, std::uint64_t total) {
                cancelled = !pages(done, total);
                return !cancelled;
            });
        }
        device.close();
        ok = ok && !device.Failed() && out.Commit();
    }
    if (!ok) {
        // Whatever went to the work file goes with it.
        out.Abandon();
        result.status = cancelled ? ExportStatus::Cancelled : ExportStatus::Failed;
    }
    result.message = ExportMessage(result, outputPath);
    return result;
}

}  // namespace kuv
