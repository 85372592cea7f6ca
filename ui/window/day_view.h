#pragma once

#include <cstdint>
#include <string>

#include <QPointer>
#include <QWidget>

#include "diary/session.h"

class QDate;
class QDateEdit;
class QFont;
class QToolButton;
class TMainActions;
class TMemo;
class TPaneSplitter;

// The day on the screen: the toolbar row with the date picker, and the two
// panes (the day's entry above, a year earlier below) with the splitter
// between them. It shows what the window gives it and tells what the user
// did; the session decides what that means.
class TDayView final : public QWidget, public kuv::UpperPane {
    Q_OBJECT

  public:
    TDayView(const TMainActions& actions, QWidget* window);
    ~TDayView() override;
    TDayView(const TDayView&) = delete;
    TDayView& operator=(const TDayView&) = delete;

    QDateEdit* Picker() const { return DateTimePicker; }
    TMemo* UpperPane() const { return Memo1; }

    // The picker shows day, without a change signal.
    void ShowDay(const QDate& day);
    // Texts as the panes show them; the upper one takes no typing when readOnly.
    void ShowPanes(const QString& upper, const QString& lower, bool cursorAtEnd, bool readOnly);
    void ShowLower(const QString& lower);
    // Replaces the upper pane's text as typing would (a draft put back, an
    // earlier version taken).
    void PutUpper(const QString& text);
    // Adds text to the end of the upper pane, as typing would.
    void AppendToUpper(const QString& text);
    // The toolbar's toggle: the lower pane at its usual height, or hidden.
    void ShowLowerPane(bool show);
    // The lower pane's height as the settings file stores it (0 while
    // hidden), and at a stored height (< 0 hides it).
    int LowerHeight() const;
    void SetLowerHeight(int height);
    void SetPaneFont(const QFont& font, std::int32_t colorValue);
    QFont PaneFont() const;
    std::int32_t PaneColor() const;
    // Words still being composed by an input method go into the panes.
    void FinishComposition();
    // The panes' system colours are read anew.
    void FollowPalette();

    // kuv::UpperPane
    std::u16string Text() const override;

  signals:
    // The user changed the upper pane's text.
    void upperEdited();
    // The user first changed the lower pane's text since it was loaded.
    void lowerEdited();
    // The user changed the picker's date, or moved into the picker.
    void pickerChanged(const QDate& date);
    void pickerEntered();

  private:
    void CreateToolBar(const TMainActions& actions);
    void CreatePanes();
    void DescribeControls();
    void OnFocusChanged(QWidget* now);

    QWidget* ToolBar1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QToolButton* SpeedButton5 = nullptr;
    QToolButton* SpeedButton6 = nullptr;
    QToolButton* SpeedButton7 = nullptr;
    QDateEdit* DateTimePicker = nullptr;
    TPaneSplitter* Splitter1 = nullptr;
    TMemo* Memo1 = nullptr;
    TMemo* Memo2 = nullptr;
    bool FLoading = false;         // the panes are being filled by a load
    bool FLowerEdited = false;     // the lower pane was changed since its load
    QPointer<QWidget> FLastFocus;  // the control of this window that last had the focus
};
