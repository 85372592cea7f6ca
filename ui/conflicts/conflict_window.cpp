#include "ui/conflicts/conflict_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/screen_fit.h"

namespace {

QPlainTextEdit* ReadOnlyPane(const char* name, QWidget* parent) {
    auto* pane = new QPlainTextEdit(parent);
    pane->setObjectName(QString::fromLatin1(name));
    pane->setReadOnly(true);
    pane->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    return pane;
}

}  // namespace

TConflictWindow::TConflictWindow() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("ConflictWindow"));
    setWindowTitle(QStringLiteral("競合コピー"));
    resize(720, 420);

    FDay = new QLabel(this);
    FDay->setObjectName(QStringLiteral("ConflictDay"));
    FList = new QComboBox(this);
    FList->setObjectName(QStringLiteral("ConflictCopyList"));
    FEntry = ReadOnlyPane("ConflictEntryText", this);
    FCopy = ReadOnlyPane("ConflictCopyText", this);
    FAppend = new QPushButton(QStringLiteral("この文章を日記の末尾に追加"), this);
    FAppend->setObjectName(QStringLiteral("AppendConflictCopy"));
    FDelete = new QPushButton(QStringLiteral("このコピーを削除..."), this);
    FDelete->setObjectName(QStringLiteral("DeleteConflictCopy"));
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("CloseConflictWindow"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("日記（編集中の文章）"), this), 0, 0);
    grid->addWidget(FList, 0, 1);
    grid->addWidget(FEntry, 1, 0);
    grid->addWidget(FCopy, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(FAppend);
    buttons->addWidget(FDelete);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* column = new QVBoxLayout(this);
    column->addWidget(FDay);
    column->addLayout(grid, 1);
    column->addLayout(buttons);

    connect(FList, &QComboBox::currentIndexChanged, this, [this](int i) { ShowCopy(i); });
    connect(FAppend, &QPushButton::clicked, this, [this] {
        const int i = FList->currentIndex();
        if (i < 0) return;
        const Copy& c = FCopies[static_cast<std::size_t>(i)];
        if (!c.readable || FAppended.contains(c.path)) return;
        FAppended << c.path;
        FAppend->setEnabled(false);
        emit appendRequested(c.text);
    });
    connect(FDelete, &QPushButton::clicked, this, [this] {
        const int i = FList->currentIndex();
        if (i >= 0) emit deleteRequested(FCopies[static_cast<std::size_t>(i)].path);
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void TConflictWindow::ShowVersions(const QString& day, const QString& entry,
                                   const std::vector<Copy>& copies, const QWidget* over) {
    FCopies = copies;
    FDay->setText(day);
    FEntry->setPlainText(entry);
    {
        const QSignalBlocker blocker(FList);
        FList->clear();
        for (const Copy& c : FCopies) FList->addItem(c.label);
    }
    ShowCopy(FCopies.empty() ? -1 : 0);
    if (!FPlaced && over != nullptr) {
        // Over the window it compares with; afterwards where it was left.
        kuv::PlaceOnScreens(*this,
                            over->frameGeometry().center() - QPoint(width() / 2, height() / 2),
                            kuv::FrameOf(*over));
        FPlaced = true;
    }
    show();
    raise();
    activateWindow();
}

void TConflictWindow::ShowCopy(int index) {
    const bool any = index >= 0 && static_cast<std::size_t>(index) < FCopies.size();
    const Copy* c = any ? &FCopies[static_cast<std::size_t>(index)] : nullptr;
    FCopy->setPlainText(c == nullptr ? QString()
                        : c->readable
                            ? c->text
                            : QStringLiteral("（このコピーは今のパスワードでは開けません）"));
    FAppend->setEnabled(c != nullptr && c->readable && !FAppended.contains(c->path));
    FDelete->setEnabled(c != nullptr);
}
