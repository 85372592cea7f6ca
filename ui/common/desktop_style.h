#pragma once

#include <QProxyStyle>

// The application's style: the desktop's own, except that the pictures of
// the toolbars' and the menu bar's extension buttons are read when such a
// button is first drawn. Qt reads them as its toolbars are made, and reading
// one guesses its format, which loads every image format plugin at start-up;
// the button shows only when a bar is too narrow for its items.
class TDesktopStyle final : public QProxyStyle {
  public:
    // A style made anew from the factory key of the application's current one.
    explicit TDesktopStyle(const QString& key);

    QIcon standardIcon(StandardPixmap which, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};
