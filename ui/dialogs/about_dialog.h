#pragma once

#include <functional>

#include <QDialog>

class QFrame;
class TBevel;
class QLabel;
class QToolButton;
class QUrl;

// The version window: product name, version, maker's notice, the support page
// link and the contact address. Created once, hidden; shown modeless and kept
// above the other windows.
class TAboutDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit TAboutDialog(QWidget* parent = nullptr);
    TAboutDialog(const TAboutDialog&) = delete;
    TAboutDialog& operator=(const TAboutDialog&) = delete;

    // Shows the dialog, or brings it to the front when it is shown already.
    void ShowAbout();

    // Handlers, under the names the dialog's layout gives them.
    void SpeedButton1Click();  // Close
    void Label7Click();        // opens the support page
    void Image1Click();        // the icon: nothing

    // How the support page is opened; QDesktopServices::openUrl unless a test
    // puts its own function here. Returns the previous one.
    using UrlOpener = std::function<void(const QUrl&)>;
    static UrlOpener SetUrlOpener(UrlOpener opener);

    QFrame* Panel1 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label8 = nullptr;
    TBevel* Bevel1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    bool FPlaced = false;  // centred once; later shows keep the last place
};

// The addresses the dialog shows.
extern const char* const kSupportPageUrl;
extern const char* const kContactAddress;
