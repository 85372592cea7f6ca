#include "ui/common/fonts.h"

#include <QPalette>
#include <QVariant>
#include <QWidget>

#include "app/settings.h"
#include "ui/common/qt_text.h"

namespace kuv {

namespace {

constexpr const char* kColorProperty = "kuvColorValue";
constexpr std::uint32_t kSystemColorBit = 0x80000000u;

// The Windows system colours by index, as far as a palette has them.
QPalette::ColorRole RoleOfSystemColor(unsigned index) {
    switch (index) {
        case 4:
            return QPalette::Window;  // menu
        case 5:
            return QPalette::Base;  // window
        case 7:
            return QPalette::Text;  // menu text
        case 8:
            return QPalette::WindowText;  // window text
        case 13:
            return QPalette::Highlight;
        case 14:
            return QPalette::HighlightedText;
        case 15:
            return QPalette::Button;  // button face
        case 16:
            return QPalette::Dark;  // button shadow
        case 18:
            return QPalette::ButtonText;
        case 20:
            return QPalette::Light;  // button highlight
        case 21:
            return QPalette::Shadow;  // 3-D dark shadow
        case 23:
            return QPalette::ToolTipText;
        case 24:
            return QPalette::ToolTipBase;
        case 26:
            return QPalette::Link;  // hot-tracked item
        default:
            return QPalette::WindowText;
    }
}

}  // namespace

QFont ControlFont() {
    return ControlFont(12);
}

QFont ControlFont(int pixelSize) {
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(pixelSize);
    return font;
}

PaneFont MemoFontFrom(const TDiarySettings& settings) {
    PaneFont f;
    f.font = QFont(ToQString(settings.FontName));
    if (settings.FontSize > 0) {
        f.font.setPointSize(settings.FontSize);
    } else if (settings.FontSize < 0) {
        // A negative size is the character height in pixels.
        f.font.setPixelSize(-settings.FontSize);
    }
    f.color = settings.FontColor;
    return f;
}

QColor ColorOfValue(std::int32_t value, const QPalette& palette) {
    const auto bits = static_cast<std::uint32_t>(value);
    if ((bits & kSystemColorBit) != 0) {
        return palette.color(QPalette::Active, RoleOfSystemColor(bits & 0xFFu));
    }
    return QColor(static_cast<int>(bits & 0xFFu), static_cast<int>((bits >> 8) & 0xFFu),
                  static_cast<int>((bits >> 16) & 0xFFu));
}

std::int32_t ValueOfColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(rgb.red()) |
                                     (static_cast<std::uint32_t>(rgb.green()) << 8) |
                                     (static_cast<std::uint32_t>(rgb.blue()) << 16));
}

void ApplyPaneFont(QWidget& pane, const QFont& font, std::int32_t colorValue) {
    pane.setFont(font);
    QPalette palette = pane.palette();
    const QColor color = ColorOfValue(colorValue, palette);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Text, color);
    }
    pane.setPalette(palette);
    pane.setProperty(kColorProperty, QVariant::fromValue(static_cast<qint64>(colorValue)));
}

std::int32_t PaneColorValue(const QWidget& pane) {
    const QVariant v = pane.property(kColorProperty);
    if (!v.isValid()) return static_cast<std::int32_t>(0x80000008u);
    return static_cast<std::int32_t>(v.toLongLong());
}

}  // namespace kuv
