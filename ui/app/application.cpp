#include "ui/app/application.h"

#include "diary/session.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "ui/common/messages.h"
#include "ui/common/qt_text.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    // The handlers run inside kuv::Guarded; this catches what an event
    // handler of our own lets through, so the loop goes on all the same.
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        kuv::ShowCurrentException();
        return false;
    }
}

namespace kuv {

std::string WithFinalPeriod(const std::string& cp932Text) {
    if (cp932Text.empty()) return cp932Text;
    // The last character: a double-byte one starts at its lead byte.
    std::size_t last = 0;
    for (std::size_t i = 0; i < cp932Text.size();) {
        last = i;
        const bool lead = cp932::IsLeadByte(static_cast<unsigned char>(cp932Text[i]));
        i += (lead && i + 1 < cp932Text.size()) ? 2 : 1;
    }
    // std::string compares its bytes as unsigned char.
    if (cp932Text.substr(last) > std::string(".")) return cp932Text + ".";
    return cp932Text;
}

void ShowCurrentException() {
    try {
        throw;
    } catch (const Cancelled&) {
        // The user's own choice: nothing to say.
    } catch (const UnstorableTextError& e) {
        // The program's own sentence, ended already; the byte text can only
        // name the character, the box shows it too.
        const char32_t c = e.character();
        ShowErrorBox(QStringLiteral("「") + QString::fromUcs4(&c, 1) + QStringLiteral("」") +
                     ToQString(e.what()));
    } catch (const std::exception& e) {
        ShowErrorBox(ToQString(WithFinalPeriod(e.what())));
    }
}

}  // namespace kuv
