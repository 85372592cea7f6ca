#pragma once

#include <QObject>

class QEvent;
class QPlainTextEdit;

namespace kuv {
class DiarySession;
}

// The template for new days: the first keystroke or input method text in
// the empty upper pane of a day without an entry asks the session for it;
// the expanded text goes in first and the typing lands at its cursor mark.
// Whether an untouched template is saved is the session's business.
class TNewDayTemplate final : public QObject {
    Q_OBJECT

  public:
    TNewDayTemplate(kuv::DiarySession& session, QPlainTextEdit* pane);
    TNewDayTemplate(const TNewDayTemplate&) = delete;
    TNewDayTemplate& operator=(const TNewDayTemplate&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void TypingBegins();

    kuv::DiarySession& FSession;
    QPlainTextEdit* FPane;
};
