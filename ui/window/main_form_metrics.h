#pragma once

#include <QDate>

// The measures of the main window, shared by its layout and its handlers
// (pixels at 96 dpi).
namespace kuv::mainform {

inline constexpr int kToolBarHeight = 26;
inline constexpr int kItemTop = 2;
inline constexpr int kItemHeight = 20;
inline constexpr int kSplitterHeight = 3;
inline constexpr int kLowerPaneShownHeight = 154;
inline constexpr int kDefaultWidth = 640;
inline constexpr int kDefaultHeight = 450;
inline constexpr int kStatusBarHeight = 19;

// The dates the picker takes.
inline const QDate kFirstPickerDate(1601, 1, 1);
inline const QDate kLastPickerDate(9999, 12, 31);

}  // namespace kuv::mainform
