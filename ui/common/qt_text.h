#pragma once

#include <string>
#include <string_view>

#include <QString>

// The edge between the windows (QString) and the diary's code page 932 bytes.
namespace kuv {

// Bytes to text; a byte that is no valid character survives the round trip.
QString ToQString(std::string_view cp932);

struct Cp932Text {
    bool ok = true;
    std::string bytes;  // the whole text when ok
    QString badChar;    // the first character that does not fit, when not ok
    char32_t badCode = 0;
};
// Text to bytes; fails on the first character that code page 932 cannot hold.
Cp932Text ToCp932(const QString& text);

// A pane's text as the diary holds it: lines joined with CR LF (the widget's
// paragraph and line separators both count as line breaks).
QString PaneTextFromWidget(const QString& blocksJoinedWithLf);
// The diary's CR LF text as the widget takes it.
QString WidgetTextFromPane(const QString& crlfText);
// A loaded pane as the widget takes it: the UTF-8 that a strong-locked entry
// holds when there is some (any character shows as it is), otherwise the
// code page 932 text.
QString WidgetTextOfPane(const std::string& cp932Text, const std::string& utf8);

}  // namespace kuv
