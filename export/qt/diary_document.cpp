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
#include <QTextLayout>

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

std::unique_ptr<QTextDocument> BuildDiaryDocument(std::span<const ExportedDay> days,
                                                  const DiaryLayout& layout, QPaintDevice& device,
                                                  bool withTitle) {
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
    bool first = true;
    if (withTitle) {
        QTextBlockFormat titleBlock;
        titleBlock.setAlignment(Qt::AlignHCenter);
        titleBlock.setBottomMargin(16 * px);
        QTextCharFormat titleChars;
        titleChars.setFontPointSize(layout.pointSize * 1.6);
        titleChars.setFontWeight(QFont::Bold);
        cursor.setBlockFormat(titleBlock);
        cursor.setCharFormat(titleChars);
        cursor.insertText(layout.title);
        first = false;
    }

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
        if (first) {
            // The document's own first block takes the first heading.
            QTextBlockFormat top = headingBlock;
            top.setTopMargin(0);
            cursor.setBlockFormat(top);
            cursor.setCharFormat(headingChars);
            first = false;
        } else {
            cursor.insertBlock(headingBlock, headingChars);
        }
        cursor.insertText(QString::fromUtf8(day.heading));
        // Each line a paragraph of its own, so the breaks stay where they
        // were typed.
        cursor.insertBlock(textBlock, textChars);
        cursor.insertText(QString::fromUtf8(day.text));
    }
    return doc;
}

namespace {

// The days of each year, in order.
std::vector<std::span<const ExportedDay>> YearSections(const std::vector<ExportedDay>& days) {
    std::vector<std::span<const ExportedDay>> sections;
    std::size_t start = 0;
    for (std::size_t i = 1; i <= days.size(); ++i) {
        if (i == days.size() || days[i].day.year != days[start].day.year) {
            sections.emplace_back(days.data() + start, i - start);
            start = i;
        }
    }
    if (sections.empty()) sections.emplace_back();  // the title alone
    return sections;
}

// Draws the lines of doc whose tops lie in view, from block on; block is left
// at the first block that reaches past view, where the next page starts.
// Line by line, because the layout's own drawing also draws the last line
// above its clip: a line would show at the foot of one page and again at the
// head of the next. The layout never lets a line cross a page's end.
void DrawPage(QPainter& painter, QTextDocument& doc, QTextBlock& block, const QRectF& view) {
    QAbstractTextDocumentLayout& layout = *doc.documentLayout();
    for (; block.isValid(); block = block.next()) {
        const QRectF bounds = layout.blockBoundingRect(block);
        if (bounds.top() >= view.bottom()) return;
        const QTextLayout* lines = block.layout();
        const QPointF at = bounds.topLeft();
        bool later = false;  // lines of this block left for the next page
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const double top = at.y() + line.y();
            if (top >= view.bottom()) {
                later = true;
                break;
            }
            if (top >= view.top()) line.draw(&painter, at);
        }
        if (later) return;
    }
}

}  // namespace

bool PrintDiary(const std::vector<ExportedDay>& days, const DiaryLayout& layout,
                QPagedPaintDevice& device, const ProgressFn& progress) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const double px = device.logicalDpiY() / 72.0;
    const double footer = 20 * px;  // room for the page number under the text
    const QSizeF body(device.width(), device.height() - footer);
    const auto build = [&](std::size_t index, std::span<const ExportedDay> section) {
        std::unique_ptr<QTextDocument> doc =
            BuildDiaryDocument(section, layout, device, index == 0);
        doc->setPageSize(body);
        return doc;
    };

    // The pages of every year first, for "n / N"; one year is laid out once.
    const std::vector<std::span<const ExportedDay>> sections = YearSections(days);
    const std::uint64_t steps = sections.size() > 1 ? 2 * sections.size() : 1;
    std::vector<int> pageCounts(sections.size(), 0);
    std::unique_ptr<QTextDocument> kept;
    int total = 0;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        std::unique_ptr<QTextDocument> doc = build(i, sections[i]);
        pageCounts[i] = doc->pageCount();
        total += pageCounts[i];
        if (sections.size() == 1) kept = std::move(doc);
        if (sections.size() > 1 && !KeepGoing(progress, i + 1, steps)) {
            painter.end();
            return false;
        }
    }

    QFont numberFont(layout.fontFamily);
    numberFont.setPointSizeF(layout.pointSize * 0.85);
    int number = 0;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        std::unique_ptr<QTextDocument> doc = kept ? std::move(kept) : build(i, sections[i]);
        QTextBlock block = doc->begin();
        for (int page = 0; page < pageCounts[i]; ++page) {
            if (number > 0 && !device.newPage()) {
                painter.end();
                return false;
            }
            ++number;
            const QRectF view(0, page * body.height(), body.width(), body.height());
            painter.save();
            painter.translate(0, -view.top());
            painter.setClipRect(view);
            painter.setPen(Qt::black);
            DrawPage(painter, *doc, block, view);
            painter.restore();
            painter.setFont(numberFont);
            painter.setPen(Qt::black);
            painter.drawText(QRectF(0, body.height(), body.width(), footer),
                             Qt::AlignHCenter | Qt::AlignBottom,
                             QStringLiteral("%1 / %2").arg(number).arg(total));
            // One year counts its pages; several have counted their years in
            // the first half and count the pages in the second, so that every
            // page moves the progress on (and a window that shows it answers).
            const auto drawn = static_cast<std::uint64_t>(number);
            const auto pages = static_cast<std::uint64_t>(total);
            const bool going = sections.size() == 1 ? KeepGoing(progress, drawn, pages)
                                                    : KeepGoing(progress, pages + drawn, 2 * pages);
            if (!going) {
                painter.end();
                return false;
            }
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
