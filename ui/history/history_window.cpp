#include "ui/history/history_window.h"

#include <algorithm>
#include <cstddef>

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

namespace {

// Which lines of a and of b are outside their longest common run of lines:
// the lines a change removed or added.
void DifferentLines(const QStringList& a, const QStringList& b, std::vector<bool>& inA,
                    std::vector<bool>& inB) {
    std::size_t n = a.size(), m = b.size();
    inA.assign(n, true);
    inB.assign(m, true);
    // The same start and end are no difference, and leave the table small.
    std::size_t first = 0;
    while (first < n && first < m && a[first] == b[first]) {
        inA[first] = false;
        inB[first] = false;
        ++first;
    }
    while (n > first && m > first && a[n - 1] == b[m - 1]) {
        inA[--n] = false;
        inB[--m] = false;
    }
    const std::size_t rows = n - first, columns = m - first;
    // A change too large to compare line by line is marked whole.
    if (rows * columns > (std::size_t{1} << 22)) return;
    std::vector<std::vector<int>> common(rows + 1, std::vector<int>(columns + 1, 0));
    for (std::size_t i = rows; i-- > 0;) {
        for (std::size_t j = columns; j-- > 0;) {
            common[i][j] = a[first + i] == b[first + j]
                               ? common[i + 1][j + 1] + 1
                               : std::max(common[i + 1][j], common[i][j + 1]);
        }
    }
    std::size_t i = 0, j = 0;
    while (i < rows && j < columns) {
        if (a[first + i] == b[first + j]) {
            inA[first + i++] = false;
            inB[first + j++] = false;
        } else if (common[i + 1][j] >= common[i][j + 1]) {
            ++i;
        } else {
            ++j;
        }
    }
}

void Mark(QPlainTextEdit* pane, const std::vector<bool>& lines, const QColor& colour) {
    QList<QTextEdit::ExtraSelection> marks;
    QTextBlock block = pane->document()->begin();
    for (std::size_t k = 0; k < lines.size() && block.isValid(); ++k, block = block.next()) {
        if (!lines[k]) continue;
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(block);
        mark.format.setBackground(colour);
        mark.format.setProperty(QTextFormat::FullWidthSelection, true);
        marks.append(mark);
    }
    pane->setExtraSelections(marks);
}

QPlainTextEdit* TextPane(const char* name, QWidget* parent) {
    auto* pane = new QPlainTextEdit(parent);
    pane->setObjectName(QString::fromLatin1(name));
    pane->setReadOnly(true);
    return pane;
}

}  // namespace

THistoryWindow::THistoryWindow() {
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("以前の版"));
    FDay = new QLabel(this);
    FDay->setObjectName(QStringLiteral("HistoryDay"));
    FList = new QListWidget(this);
    FList->setObjectName(QStringLiteral("HistoryVersions"));
    FVersion = TextPane("HistoryVersionText", this);
    FCurrent = TextPane("HistoryCurrentText", this);
    FRestore = new QPushButton(QStringLiteral("この版に戻す"), this);
    FRestore->setObjectName(QStringLiteral("RestoreVersion"));
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("CloseHistoryWindow"));

    auto* texts = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("選んだ版"), this));
    left->addWidget(FVersion);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("今の文章"), this));
    right->addWidget(FCurrent);
    texts->addWidget(FList, 1);
    texts->addLayout(left, 2);
    texts->addLayout(right, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(FRestore);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FDay);
    layout->addLayout(texts);
    layout->addLayout(buttons);
    resize(820, 460);

    connect(FList, &QListWidget::currentRowChanged, this, [this](int row) {
        FRestore->setEnabled(false);
        if (row >= 0) emit versionChosen(row);
    });
    connect(FRestore, &QPushButton::clicked, this, [this] {
        if (Chosen() >= 0) emit restoreRequested(Chosen());
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void THistoryWindow::ShowVersions(const QString& day, const std::vector<Version>& versions) {
    FDay->setText(versions.empty() ? QStringLiteral("%1 の以前の版はありません").arg(day) : day);
    FList->blockSignals(true);
    FList->clear();
    for (const Version& v : versions) FList->addItem(v.label);
    FList->blockSignals(false);
    FVersion->clear();
    FCurrent->clear();
    FRestore->setEnabled(false);
    if (!versions.empty()) FList->setCurrentRow(0);
}

void THistoryWindow::ShowText(const QString& version, const QString& current, bool readable) {
    FVersion->setPlainText(version);
    FCurrent->setPlainText(current);
    FRestore->setEnabled(readable);
    if (!readable) {
        FVersion->setExtraSelections({});
        FCurrent->setExtraSelections({});
        return;
    }
    std::vector<bool> inVersion, inCurrent;
    DifferentLines(version.split(QLatin1Char('\n')), current.split(QLatin1Char('\n')), inVersion,
                   inCurrent);
    Mark(FVersion, inVersion, QColor(255, 220, 220));
    Mark(FCurrent, inCurrent, QColor(220, 255, 220));
}

int THistoryWindow::Chosen() const {
    return FList->currentRow();
}
