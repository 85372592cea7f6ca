#pragma once

#include <QString>
#include <QStringList>

class QFontMetrics;

// The program's message boxes, captioned with the application title and
// centred on the screen. Tests replace the hooks to record the texts instead
// of blocking in a modal box.
namespace kuv {

extern const char* const kAppTitle;  // "Kuvandoro"

using MessageHook = void (*)(const QString& text);
// When set, ShowMessage hands its text to the hook and shows nothing.
extern MessageHook gShowMessageHook;
// When set, the general error handler hands its final text to the hook.
extern MessageHook gErrorBoxHook;

using AskHook = int (*)(const QString& text, const QStringList& answers);
// When set, Ask hands its question to the hook and returns its answer.
extern AskHook gAskHook;

// A modal box without an icon and with one OK button.
void ShowMessage(const QString& text);
// A modal question with one button per answer; returns the answer's index,
// or the last one when the box is closed without an answer (put the one
// that changes nothing last).
int Ask(const QString& text, const QStringList& answers);
// The general error handler's box: error icon, one OK button. The text is
// shown as given (the final "." rule is the caller's, see application.h).
void ShowErrorBox(const QString& text);

// text with every paragraph wider than width broken into lines of even
// length, so that a box never ends a paragraph on a lone 「ん。」; no line
// starts with a closing mark (、。」) the line before could take.
QString EvenLines(const QString& text, const QFontMetrics& fm, int width);

}  // namespace kuv
