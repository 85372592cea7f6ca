#pragma once

#include <exception>
#include <string>
#include <utility>

#include <QApplication>

// The application object: its notify() is the general error handler, the one
// place that shows an error raised inside a handler. The handler ends there
// and the event loop goes on.
class TApplication final : public QApplication {
    Q_OBJECT

  public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

namespace kuv {

// The text of an error as the box shows it: a final "." is added when the
// text is not empty and its last character (code page 932 bytes) sorts after ".".
std::string WithFinalPeriod(const std::string& cp932Text);

// Shows the exception being handled (call inside a catch block). AppError and
// std::exception are shown; anything else is rethrown.
void ShowCurrentException();

// Runs a handler, showing what it throws. Qt's own frames must not be
// unwound, so every handler that Qt calls runs inside this.
template <class F>
void Guarded(F&& handler) {
    try {
        std::forward<F>(handler)();
    } catch (...) {
        ShowCurrentException();
    }
}

}  // namespace kuv
