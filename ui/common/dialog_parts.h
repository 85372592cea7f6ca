#pragma once

class QLabel;
class QLineEdit;
class QRect;
class QString;
class QToolButton;
class QWidget;

// Controls that the two dialogs build alike.
namespace kuv {

// A picture drawn unscaled from its top-left corner and cut to the control.
QLabel* MakePicture(QWidget* parent, const char* name, const QString& resource, const QRect& rect);

// A flat button with a caption that never takes the keyboard focus.
QToolButton* MakeFlatButton(QWidget* parent, const char* name, const QString& caption,
                            const QRect& rect);

// A password field: every character shows at once as "*", as in the Windows
// edit, not as the style's dot.
void MaskWithAsterisks(QLineEdit& edit);

}  // namespace kuv
