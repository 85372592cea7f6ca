#include "ui/common/info_bar.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace {

void OpenOnDesktop(const QString& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

TInfoBar::FolderOpener gOpener = &OpenOnDesktop;

}  // namespace

TInfoBar::TInfoBar(QWidget* parent)
    : QFrame(parent), FText(new QLabel(this)), FOpen(new QPushButton(this)) {
    setObjectName(QStringLiteral("InfoBar"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    FText->setObjectName(QStringLiteral("InfoBarText"));
    FText->setWordWrap(true);
    FText->setForegroundRole(QPalette::ToolTipText);
    FOpen->setObjectName(QStringLiteral("InfoBarOpen"));
    FOpen->setText(QStringLiteral("フォルダを開く"));
    FOpen->setFocusPolicy(Qt::NoFocus);
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("InfoBarClose"));
    close->setFocusPolicy(Qt::NoFocus);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 3, 6, 3);
    row->addWidget(FText, 1);
    row->addWidget(FOpen);
    row->addWidget(close);
    connect(FOpen, &QPushButton::clicked, this, [this] { gOpener(FFolder); });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    hide();
}

void TInfoBar::Show(const QString& text, const QString& folder) {
    FText->setText(text);
    FFolder = folder;
    FOpen->setVisible(!folder.isEmpty());
    show();
}

void TInfoBar::SetFolderOpener(FolderOpener opener) {
    gOpener = opener != nullptr ? opener : &OpenOnDesktop;
}
