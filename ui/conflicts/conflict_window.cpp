#include "ui/conflicts/conflict_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

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

    day_ = new QLabel(this);
    day_->setObjectName(QStringLiteral("ConflictDay"));
    list_ = new QComboBox(this);
    list_->setObjectName(QStringLiteral("ConflictCopyList"));
    entry_ = ReadOnlyPane("ConflictEntryText", this);
    copy_ = ReadOnlyPane("ConflictCopyText", this);
    append_ = new QPushButton(QStringLiteral("この文章を日記の末尾に追加"), this);
    append_->setObjectName(QStringLiteral("AppendConflictCopy"));
    delete_ = new QPushButton(QStringLiteral("このコピーを削除..."), this);
    delete_->setObjectName(QStringLiteral("DeleteConflictCopy"));
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("CloseConflictWindow"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("日記（編集中の文章）"), this), 0, 0);
    grid->addWidget(list_, 0, 1);
    grid->addWidget(entry_, 1, 0);
    grid->addWidget(copy_, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(append_);
    buttons->addWidget(delete_);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* column = new QVBoxLayout(this);
    column->addWidget(day_);
    column->addLayout(grid, 1);
    column->addLayout(buttons);

    connect(list_, &QComboBox::currentIndexChanged, this, [this](int i) { ShowCopy(i); });
    connect(append_, &QPushButton::clicked, this, [this] {
        const int i = list_->currentIndex();
        if (i >= 0 && copies_[static_cast<std::size_t>(i)].readable) {
            emit appendRequested(copies_[static_cast<std::size_t>(i)].text);
        }
    });
    connect(delete_, &QPushButton::clicked, this, [this] {
        const int i = list_->currentIndex();
        if (i >= 0) emit deleteRequested(copies_[static_cast<std::size_t>(i)].path);
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void TConflictWindow::ShowVersions(const QString& day, const QString& entry,
                                   const std::vector<Copy>& copies) {
    copies_ = copies;
    day_->setText(day);
    entry_->setPlainText(entry);
    {
        const QSignalBlocker blocker(list_);
        list_->clear();
        for (const Copy& c : copies_) list_->addItem(c.label);
    }
    ShowCopy(copies_.empty() ? -1 : 0);
    show();
    raise();
    activateWindow();
}

void TConflictWindow::ShowCopy(int index) {
    const bool any = index >= 0 && static_cast<std::size_t>(index) < copies_.size();
    const Copy* c = any ? &copies_[static_cast<std::size_t>(index)] : nullptr;
    copy_->setPlainText(c == nullptr ? QString()
                        : c->readable
                            ? c->text
                            : QStringLiteral("（このコピーは今のパスワードでは開けません）"));
    append_->setEnabled(c != nullptr && c->readable);
    delete_->setEnabled(c != nullptr);
}
