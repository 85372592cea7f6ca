// The program's message boxes as they come up: a paragraph that takes more
// than one line ends on a line about as long as the others, never on a lone
// 「ん。」.
#include <algorithm>

#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTextLayout>
#include <QTimer>

#include "platform/texts.h"
#include "ui/common/messages.h"
#include "ui/common/qt_text.h"

namespace {

QString Core(kuv::TextId id, const QString& arg = QString()) {
    return kuv::ToQString(kuv::TextOf(id)).replace(QStringLiteral("%s"), arg);
}

// The widths of the lines text takes in font within width.
QList<qreal> LineWidths(const QString& text, const QFont& font, qreal width) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QList<qreal> widths;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        widths << line.naturalTextWidth();
    }
    layout.endLayout();
    return widths;
}

// The widths of the lines a label lays each paragraph of text out in: its
// own line breaks and the ones it makes where a line passes its width.
QList<QList<qreal>> LaidOutParagraphs(const QLabel& label, const QString& text) {
    const qreal width = label.contentsRect().width() - 2 * label.margin();
    const QStringList shown = label.text().split(u'\n');
    QList<QList<qreal>> paragraphs;
    qsizetype next = 0;
    for (const QString& paragraph : text.split(u'\n')) {
        // The label's lines that together hold the paragraph.
        QList<qreal> lines;
        qsizetype taken = 0;
        do {
            if (next >= shown.size()) break;
            taken += shown[next].size();
            lines << LineWidths(shown[next++], label.font(), width);
        } while (taken < paragraph.size());
        paragraphs << lines;
    }
    return paragraphs;
}

}  // namespace

class TestMessageBoxes : public QObject {
    Q_OBJECT

  private slots:
    void paragraphsEndOnAFullLine();
};

void TestMessageBoxes::paragraphsEndOnAFullLine() {
    const QString path = QStringLiteral("/home/hanako/.local/opt/kuvandoro/data/diary.ini");
    const QString folder = QStringLiteral("/home/hanako/.local/opt/kuvandoro/data/2026");
    // Boxes the program shows, their texts put together as it does, with
    // the long paths they name in use.
    const QString texts[] = {
        Core(kuv::TextId::SettingsUnreadable, path) + Core(kuv::TextId::CauseForeignKey) +
            Core(kuv::TextId::SentenceEnd) + Core(kuv::TextId::SettingsNotStored),
        Core(kuv::TextId::CannotCreateFile, folder + u"/1208.dia") +
            Core(kuv::TextId::CauseFolderNotWritable, folder) + Core(kuv::TextId::SentenceEnd),
        Core(kuv::TextId::CannotWriteSettings, path) + Core(kuv::TextId::CauseDiskFull) +
            Core(kuv::TextId::SentenceEnd),
        QStringLiteral("😀") + Core(kuv::TextId::UnstorableCharacter),
        QStringLiteral("このパスワードは暗号化に使えません。32バイト（全角16文字）以内で、"
                       "「え」「ｦ」などの一部の文字を含まないパスワードにして下さい"),
        QStringLiteral("7796 日分は一度に印刷できません（1000 日分まで）。範囲を狭めるか、"
                       "ファイル → エクスポートで PDF にして下さい。"),
        QStringLiteral("%1 は、読み込んだ後に別のプログラム（同期ツール、もう一台のパソコンなど）"
                       "で書き換えられています。\n\nどちらを日記として残しますか。残さない方は、"
                       "競合コピーとして日記のそばに保存します。")
            .arg(folder + u"/1208.dia"),
        QStringLiteral("パスワード・暗号化の設定は次回起動時から有効になります。"),
    };
    for (const QString& text : texts) {
        QList<QList<qreal>> laidOut;
        QString shown;
        QTimer::singleShot(0, this, [&laidOut, &shown, &text] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            QVERIFY(label != nullptr);
            laidOut = LaidOutParagraphs(*label, text);
            shown = label->text();
            box->accept();
        });
        kuv::ShowMessage(text);
        QVERIFY(!laidOut.isEmpty());
        // Nothing but line breaks added, and never inside a word or a number.
        QCOMPARE(QString(shown).remove(u'\n'), QString(text).remove(u'\n'));
        const auto inWord = [](QChar c) { return c.isLetterOrNumber() && c.unicode() < 0x80; };
        for (qsizetype at = shown.indexOf(u'\n'); at > 0 && at + 1 < shown.size();
             at = shown.indexOf(u'\n', at + 1)) {
            QVERIFY2(!(inWord(shown[at - 1]) && inWord(shown[at + 1])), qPrintable(shown));
        }
        for (const QList<qreal>& lines : laidOut) {
            if (lines.size() < 2) continue;
            const qreal widest = *std::max_element(lines.begin(), lines.end());
            QVERIFY2(
                lines.back() >= widest / 2,
                qPrintable(QStringLiteral("%1: %2 of %3").arg(text).arg(lines.back()).arg(widest)));
        }
    }
}

QTEST_MAIN(TestMessageBoxes)
#include "test_message_boxes.moc"
