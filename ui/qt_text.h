#pragma once

#include <string>
#include <string_view>
#include <utility>

#include <QString>

#include "platform/errors.h"

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

// An error whose text names a character that code page 932 cannot hold; the
// general error handler shows text() instead of the byte message.
class UnicodeTextError : public AppError {
  public:
    UnicodeTextError(std::string cp932Message, QString text)
        : AppError(std::move(cp932Message)), text_(std::move(text)) {}
    const QString& text() const { return text_; }

  private:
    QString text_;
};

// A UTF-8 literal of the program's own texts as code page 932 bytes.
std::string Cp932Of(std::string_view utf8);

// Converts or throws UnicodeTextError naming the character that does not fit,
// with what as the message's ending (code page 932, e.g. "日記は保存されていません。").
std::string ToCp932OrThrow(const QString& text, const std::string& what);

}  // namespace kuv
