#include "ui/common/qt_text.h"

#include "platform/cp932.h"

namespace kuv {

QString ToQString(std::string_view cp932) {
    const std::u16string u16 = cp932::ToUtf16(cp932);
    // The QChar constructor copies verbatim: no byte-order mark is taken off
    // and the escapes of invalid bytes stay as they are.
    return QString(reinterpret_cast<const QChar*>(u16.data()), static_cast<qsizetype>(u16.size()));
}

Cp932Text ToCp932(const QString& text) {
    const std::u16string_view u16(reinterpret_cast<const char16_t*>(text.constData()),
                                  static_cast<std::size_t>(text.size()));
    cp932::Encoded enc = cp932::FromUtf16(u16);
    Cp932Text out;
    out.ok = enc.ok;
    if (enc.ok) {
        out.bytes = std::move(enc.bytes);
    } else {
        out.badCode = enc.badChar;
        out.badChar = QString::fromUcs4(&enc.badChar, 1);
    }
    return out;
}

QString PaneTextFromWidget(const QString& blocksJoinedWithLf) {
    QString text;
    text.reserve(blocksJoinedWithLf.size() + blocksJoinedWithLf.size() / 16);
    for (const QChar c : blocksJoinedWithLf) {
        if (c == u'\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            text += QLatin1String("\r\n");
        } else {
            text += c;
        }
    }
    return text;
}

QString WidgetTextFromPane(const QString& crlfText) {
    QString text = crlfText;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

QString WidgetTextOfPane(const std::string& cp932Text, const std::string& utf8) {
    if (utf8.empty()) return WidgetTextFromPane(ToQString(cp932Text));
    return WidgetTextFromPane(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

}  // namespace kuv
