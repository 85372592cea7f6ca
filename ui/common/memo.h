#pragma once

#include <QPlainTextEdit>
#include <QString>

// A pane of the main window. What an input method is composing (Japanese
// typed as kana before it is converted) shows in the pane at the cursor but
// is not yet part of its text: the entry changes only when it is committed.
class TMemo final : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit TMemo(QWidget* parent = nullptr);
    TMemo(const TMemo&) = delete;
    TMemo& operator=(const TMemo&) = delete;

    // The text being composed, empty when there is none.
    QString Composition() const;
    // Makes a pending composition part of the text, as the input method
    // commits it when the focus leaves, before the pane is saved or loaded
    // anew: the composed text must neither be lost nor saved half.
    void CommitComposition();
    // True while the pane reports a change that is only the composition
    // (textChanged is emitted for it too).
    bool ComposingOnly() const { return FComposingOnly; }

  protected:
    void inputMethodEvent(QInputMethodEvent* event) override;

  private:
    bool FComposingOnly = false;
};
