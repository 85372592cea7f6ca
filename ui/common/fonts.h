#pragma once

#include <cstdint>

#include <QColor>
#include <QFont>

class QPalette;
class QWidget;

namespace kuv {

struct TDiarySettings;

// "ＭＳ Ｐゴシック" at 12 pixels, the font of every control.
QFont ControlFont();
// The same face at the given pixel height (small notices).
QFont ControlFont(int pixelSize);

// A font and its colour value: top bit set = a system colour by the index in
// the low byte (0x80000008 = window text); otherwise 0x00BBGGRR.
struct PaneFont {
    QFont font;
    std::int32_t color = static_cast<std::int32_t>(0x80000008u);
};

// FMemoFont: FontName, FontSize (points) and FontColor of the settings.
PaneFont MemoFontFrom(const TDiarySettings& settings);
// The colour that a colour value names, read from palette for system colours.
QColor ColorOfValue(std::int32_t value, const QPalette& palette);
// 0x00BBGGRR of an actual colour.
std::int32_t ValueOfColor(const QColor& color);

// Gives a pane the font and the text colour; the colour value is kept on the
// pane so that it can be read back exactly (PaneColorValue).
void ApplyPaneFont(QWidget& pane, const QFont& font, std::int32_t colorValue);
std::int32_t PaneColorValue(const QWidget& pane);

}  // namespace kuv
