#include "ui/lock/recovery_code_dialog.h"

#include <memory>

#include <QCloseEvent>
#include <QDate>
#include <QFont>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPagedPaintDevice>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

#include "ui/common/fonts.h"
#include "ui/common/messages.h"
#include "ui/transfer/print_module.h"
#include "ui/transfer/transfer_ask.h"

namespace {

// The code's groups are set apart by hyphens; case, spaces and hyphens do
// not count when it is typed back, as when it is used.
QString Folded(const QString& text) {
    QString out;
    for (QChar c : text) {
        if (c == u'-' || c.isSpace()) continue;
        out += c.toUpper();
    }
    return out;
}

QString LastGroup(const QString& code) {
    return code.section(u'-', -1);
}

}  // namespace

TRecoveryCodeDialog::TRecoveryCodeDialog(const QString& code, QWidget* parent)
    : QDialog(parent), FCode(code) {
    setObjectName(QStringLiteral("RecoveryCodeDialog"));
    setWindowTitle(QStringLiteral("回復コード"));
    setFont(kuv::ControlFont());
    auto* column = new QVBoxLayout(this);

    auto* intro = new QLabel(
        QStringLiteral("パスワードを忘れたときは、この回復コードで新しいパスワードを設定できます。"
                       "表示はこの一度だけです。印刷するか書き写して、日記とは別の安全な場所に"
                       "保管して下さい。"),
        this);
    intro->setObjectName(QStringLiteral("RecoveryIntro"));
    intro->setWordWrap(true);
    column->addWidget(intro);

    FCodeLabel = new QLabel(code, this);
    FCodeLabel->setObjectName(QStringLiteral("RecoveryCode"));
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(fixed.pointSize() + 4);
    FCodeLabel->setFont(fixed);
    FCodeLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    FCodeLabel->setAlignment(Qt::AlignCenter);
    column->addWidget(FCodeLabel);

    auto* checkLabel =
        new QLabel(QStringLiteral("保管したら、コードの最後の組（%1 文字）を入力して下さい：")
                       .arg(LastGroup(code).size()),
                   this);
    column->addWidget(checkLabel);
    FCheck = new QLineEdit(this);
    FCheck->setObjectName(QStringLiteral("RecoveryCheck"));
    checkLabel->setBuddy(FCheck);
    column->addWidget(FCheck);

    auto* row = new QHBoxLayout;
    auto* print = new QPushButton(QStringLiteral("印刷..."), this);
    print->setObjectName(QStringLiteral("RecoveryPrint"));
    print->setAutoDefault(false);
    FDone = new QPushButton(QStringLiteral("保管しました"), this);
    FDone->setObjectName(QStringLiteral("RecoveryDone"));
    FDone->setEnabled(false);
    row->addWidget(print);
    row->addStretch(1);
    row->addWidget(FDone);
    column->addLayout(row);

    connect(print, &QPushButton::clicked, this, [this] { Print(); });
    connect(FCheck, &QLineEdit::textChanged, this, [this] { FollowCheck(); });
    connect(FDone, &QPushButton::clicked, this, [this] {
        if (Confirmed()) accept();
    });
}

TRecoveryCodeDialog::~TRecoveryCodeDialog() {
    // The dialog's own copy of the code is overwritten before it goes.
    FCode.fill(u'0');
    FCodeLabel->clear();
}

QTextDocument* TRecoveryCodeDialog::PrintDocument() const {
    auto* doc = new QTextDocument;
    const QString html =
        QStringLiteral(
            "<h2>Kuvandoro 回復コード</h2>"
            "<p>パスワードを忘れたときに、このコードで新しいパスワードを設定できます"
            "（ファイル → 回復コードでパスワードを設定）。</p>"
            "<p style=\"font-family: monospace; font-size: 20pt\">%1</p>"
            "<p>作成日：%2</p>")
            .arg(FCode.toHtmlEscaped(), QDate::currentDate().toString(Qt::ISODate));
    doc->setHtml(html);
    return doc;
}

bool TRecoveryCodeDialog::Confirmed() const {
    const QString typed = Folded(FCheck->text());
    return !typed.isEmpty() && typed == Folded(LastGroup(FCode));
}

void TRecoveryCodeDialog::FollowCheck() {
    FDone->setEnabled(Confirmed());
}

void TRecoveryCodeDialog::Print() {
    // The printing module shows the page first; the printer is chosen there.
    QString error;
    const kuv::PrintFunctions* print = kuv::LoadPrintModule(error);
    if (print == nullptr) {
        kuv::ShowMessage(error);
        return;
    }
    const std::unique_ptr<QTextDocument> doc(PrintDocument());
    print->previewDiary(this, windowTitle(), QString::fromLatin1(kuv::kAppTitle),
                        kuv::TransferAsker(),
                        [&doc](QPagedPaintDevice& device) { doc->print(&device); });
}

void TRecoveryCodeDialog::reject() {
    // Esc or the close box: only once the code is known to be kept.
    if (Confirmed()) QDialog::reject();
}

void TRecoveryCodeDialog::closeEvent(QCloseEvent* event) {
    if (Confirmed()) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
}
