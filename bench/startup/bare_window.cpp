// The yardstick of the start-up benchmark: the least a Qt program with a main
// window and one text pane does to show itself. With KUV_REPORT_SHOWN=1 it
// prints "shown <ns>" (CLOCK_MONOTONIC) to stderr when its window is first
// exposed, as the diary does.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QWindow>

namespace {

class ShownReporter final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!done_ && event->type() == QEvent::Expose) {
            const auto* window = qobject_cast<QWindow*>(watched);
            if (window != nullptr && window->isExposed()) {
                done_ = true;
                const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::steady_clock::now().time_since_epoch())
                                    .count();
                std::fprintf(stderr, "shown %lld\n", static_cast<long long>(ns));
                std::fflush(stderr);
            }
        }
        return false;
    }

  private:
    bool done_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setCentralWidget(new QPlainTextEdit(&window));
    window.resize(640, 450);
    ShownReporter reporter;
    const char* report = std::getenv("KUV_REPORT_SHOWN");
    if (report != nullptr && *report == '1') {
        window.winId();  // creates the QWindow, so the filter sees its first expose
        window.windowHandle()->installEventFilter(&reporter);
    }
    window.show();
    return app.exec();
}
