#include "ui/common/desktop_look.h"

#include <algorithm>
#include <cmath>

#include <QAction>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QPalette>
#include <QPixmap>

namespace kuv {

namespace {

const char* const kGlyphProperty = "kuvGlyph";

// WCAG's relative luminance and contrast ratio.
double Luminance(const QColor& c) {
    auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsGrey(QRgb pixel) {
    return qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel);
}

QIcon GlyphIcon(const QString& resource, const QPalette& palette) {
    QImage image = AssetImage(resource).convertToFormat(QImage::Format_ARGB32);
    // Only a glyph drawn in black and greys (the arrows) is inked anew; a
    // coloured picture (the calendar sheet, the house) reads on any button
    // and its black details lie on its own light parts.
    bool grey = true;
    for (int y = 0; grey && y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; grey && x < image.width(); ++x) {
            grey = qAlpha(row[x]) == 0 || IsGrey(row[x]);
        }
    }
    const QColor ink = palette.color(QPalette::Active, QPalette::ButtonText);
    for (int y = 0; grey && y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) != 0 && (row[x] & 0xFFFFFFu) == 0) {
                row[x] = qRgba(ink.red(), ink.green(), ink.blue(), qAlpha(row[x]));
            }
        }
    }
    return QIcon(QPixmap::fromImage(image));
}

}  // namespace

QColor WarningColor(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Active, QPalette::Window);
    QColor red(255, 0, 0);
    if (Luminance(window) >= Luminance(red)) return red;
    // On a dark window, lighter until it reads as text must (WCAG AA, 4.5:1).
    for (float lightness = 0.55f; lightness < 0.95f && Contrast(red, window) < 4.5;
         lightness += 0.05f) {
        red = QColor::fromHslF(0.0f, 1.0f, lightness).toRgb();
    }
    return red;
}

QImage AssetImage(const QString& resource) {
    QImageReader reader(resource, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QPixmap AssetPixmap(const QString& resource) {
    return QPixmap::fromImage(AssetImage(resource));
}

QColor BannerEdgeColor(const QString& resource, int x) {
    const QImage image = AssetImage(resource);
    return image.isNull() ? QColor() : image.pixelColor(x, 0);
}

void SetGlyph(QAction& action, const QString& resource, const QPalette& palette) {
    action.setProperty(kGlyphProperty, resource);
    action.setIcon(GlyphIcon(resource, palette));
}

void RedrawGlyphs(const QObject& owner, const QPalette& palette) {
    for (QAction* action : owner.findChildren<QAction*>()) {
        const QString resource = action->property(kGlyphProperty).toString();
        if (!resource.isEmpty()) action->setIcon(GlyphIcon(resource, palette));
    }
}

}  // namespace kuv
