#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QString>

class QAction;
class QObject;
class QPalette;

// Colours that follow the desktop's palette (light or dark) where the
// window layouts name a fixed one.
namespace kuv {

// One of the program's own pictures. They are all PNG and read as such
// without guessing: a guess makes Qt load every image format plugin to ask it.
QImage AssetImage(const QString& resource);
QPixmap AssetPixmap(const QString& resource);

// The red of a warning notice on a window of this palette: pure red on a
// light window, as the layouts draw it; on a dark window a lighter red, as
// readable there as text should be.
QColor WarningColor(const QPalette& palette);

// The colour of a banner picture at its top row, x pixels from its left
// edge: the panel that frames the banner takes it, so that the picture and
// its frame read as one whatever the palette.
QColor BannerEdgeColor(const QString& resource, int x);

// Gives the action its toolbar glyph drawn for the palette (a glyph in black
// and greys has its black in the colour of the buttons' text, so that it
// stays visible on dark buttons) and remembers the picture for the next
// change of palette.
void SetGlyph(QAction& action, const QString& resource, const QPalette& palette);
// Draws the glyph of every action below owner anew for the palette.
void RedrawGlyphs(const QObject& owner, const QPalette& palette);

}  // namespace kuv
