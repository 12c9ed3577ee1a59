// Build tool: turns a manual written in Markdown into a PDF with Qt's own text engine, so
// the manuals need nothing beyond the libraries the app already uses.
//   devedazi-manual INPUT.md OUTPUT.pdf TITLE [SUBTITLE [CONTENTS]]
// The first heading and the text up to the next heading make the title page; SUBTITLE (the
// version, for example) goes below the first heading, and a table of contents headed
// CONTENTS (the chapters, that is the second-level headings, with their pages) ends the page.

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>

#include <cmath>
#include <cstdio>
#include <memory>
#include <utility>

namespace {

const QColor kRule(0x9a, 0x9a, 0x9a);       // table borders
const QColor kHeaderFill(0xe4, 0xe8, 0xee); // table header row
const QColor kCodeFill(0xf0, 0xf0, 0xf0);   // code blocks

int Fail(const QString& text) {
    std::fprintf(stderr, "devedazi-manual: %s\n", qPrintable(text));
    return 1;
}

// After a code block Qt's Markdown reader starts the table's first cell with an empty
// paragraph and loses the header's bold type: the empty paragraph goes, header text is bold.
void TidyCell(const QTextTableCell& cell, bool header) {
    QTextCursor cursor = cell.firstCursorPosition();
    if (cursor.block().text().isEmpty() && cursor.position() < cell.lastPosition())
        cursor.deleteChar();
    if (!header)
        return;
    cursor.setPosition(cell.firstPosition());
    cursor.setPosition(cell.lastPosition(), QTextCursor::KeepAnchor);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    cursor.mergeCharFormat(bold);
}

// Qt draws Markdown tables with doubled borders and no padding. Here a table spans the text
// width with some air in its cells, a shaded header row and a thin rule under each row.
void StyleTable(QTextTable* table) {
    QTextTableFormat format = table->format();
    format.setBorderCollapse(true);
    format.setBorder(0);
    format.setCellSpacing(0);
    format.setCellPadding(3);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setTopMargin(4);
    format.setBottomMargin(8);
    table->setFormat(format);
    for (int row = 0; row < table->rows(); ++row) {
        for (int column = 0; column < table->columns(); ++column) {
            QTextTableCell cell = table->cellAt(row, column);
            QTextTableCellFormat cellFormat = cell.format().toTableCellFormat();
            cellFormat.setBottomBorder(1);
            cellFormat.setBottomBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            cellFormat.setBottomBorderBrush(kRule);
            if (row == 0)
                cellFormat.setBackground(kHeaderFill);
            cell.setFormat(cellFormat);
            TidyCell(cell, row == 0);
        }
    }
}

bool IsCode(const QTextBlock& block) {
    return block.blockFormat().hasProperty(QTextFormat::BlockCodeFence);
}

// Space around headings and paragraphs, code blocks on a shaded band. The title page is the
// first heading with the text up to the next heading. A horizontal rule ("---") is taken as
// a page break.
void StyleBlocks(QTextDocument& document) {
    int headings = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        const int level = format.headingLevel();
        if (format.hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth)) {
            format.clearProperty(QTextFormat::BlockTrailingHorizontalRulerWidth);
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysAfter);
        } else if (level > 0) {
            format.setTopMargin(level == 1 ? 120 : level == 2 ? 14 : 10);
            format.setBottomMargin(level == 1 ? 8 : 5);
            if (level == 1)
                format.setAlignment(Qt::AlignHCenter);
            if (++headings == 2)
                format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        } else if (IsCode(block)) {
            format.setBackground(kCodeFill);
            format.setLeftMargin(6);
            format.setTopMargin(IsCode(block.previous()) ? 0 : 4);
            format.setBottomMargin(IsCode(block.next()) ? 0 : 8);
        } else if (QTextCursor(block).currentTable()) {
            format.setTopMargin(0); // the cell's padding is enough
            format.setBottomMargin(0);
        } else if (!block.textList()) {
            format.setBottomMargin(6);
        }
        QTextCursor(block).setBlockFormat(format);
    }
}

void AddSubtitle(QTextDocument& document, const QString& subtitle) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() != 1)
            continue;
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock);
        QTextBlockFormat format;
        format.setAlignment(Qt::AlignHCenter);
        format.setBottomMargin(48);
        QTextCharFormat text;
        text.setFontPointSize(13);
        cursor.insertBlock(format, text);
        cursor.insertText(subtitle);
        return;
    }
}

void StyleDocument(QTextDocument& document, const QString& subtitle) {
    const auto frames = document.rootFrame()->childFrames();
    for (QTextFrame* frame : frames)
        if (auto* table = qobject_cast<QTextTable*>(frame))
            StyleTable(table);
    StyleBlocks(document);
    if (!subtitle.isEmpty())
        AddSubtitle(document, subtitle);
}

// A copy of the document laid out as QTextDocument::print() lays it out: on the writer's
// resolution and page size, with print()'s own margins of 2 cm.
std::unique_ptr<QTextDocument> PrintLayout(const QTextDocument& document, QPdfWriter& writer) {
    std::unique_ptr<QTextDocument> copy(document.clone());
    copy->documentLayout()->setPaintDevice(&writer);
    const int margin = int(2 / 2.54 * 96); // as print() rounds it
    QTextFrameFormat frame = copy->rootFrame()->frameFormat();
    frame.setMargin(margin);
    copy->rootFrame()->setFrameFormat(frame);
    copy->setPageSize(QSizeF(writer.width(), writer.height()));
    return copy;
}

// Whether a block belongs with what follows it: a heading, a line leading into a list, a
// table or a code block (ending in ":"), or a line of a code block but its last.
bool KeepsWithNext(const QTextBlock& block) {
    if (!block.next().isValid() || block.textList())
        return false;
    if (IsCode(block))
        return IsCode(block.next());
    return block.blockFormat().headingLevel() >= 2 || block.text().endsWith(QLatin1Char(':'));
}

// A move to the next page: the blocks (or tables, by their first position) that start it,
// and those that needn't any more since they follow along.
struct TMove {
    QList<int> starts;
    QList<int> follow;
};

// The move that keeps the first thing torn apart by a page end together: a table of less
// than a page split over two pages, a paragraph leaving a single line on one page, or a
// block that keeps with the next without the start of it (two lines, or a table's first two
// rows). Empty when none is torn.
TMove FirstTorn(QTextDocument& copy, int writerDpi) {
    const qreal pageHeight = copy.pageSize().height();
    const auto* layout = copy.documentLayout();
    // The foot of the text on a page: what reaches below it is printed on the next page.
    const qreal footer = copy.rootFrame()->frameFormat().bottomMargin() * writerDpi / qreal(96);
    auto fits = [&](qreal top, qreal bottom) {
        return bottom <= (std::floor(top / pageHeight) + 1) * pageHeight - footer;
    };
    auto rect = [&](int position) { return layout->blockBoundingRect(copy.findBlock(position)); };
    auto rowBottom = [&](const QTextTable* table, int row) {
        qreal bottom = 0;
        for (int column = 0; column < table->columns(); ++column)
            bottom = qMax(bottom, rect(table->cellAt(row, column).lastPosition()).bottom());
        return bottom;
    };
    // Of a block that a page end divides, the lines before it; -1 for an undivided block.
    auto linesOnFirstPage = [&](const QTextBlock& block) {
        const QRectF box = layout->blockBoundingRect(block);
        const QTextLayout* text = block.layout();
        for (int i = 1; i < text->lineCount(); ++i)
            if (!fits(box.top(), box.top() + text->lineAt(i).rect().bottom()))
                return i;
        return -1;
    };
    for (QTextBlock block = copy.begin(); block.isValid(); block = block.next()) {
        if (const QTextTable* table = QTextCursor(block).currentTable()) {
            if (block.position() != table->firstPosition())
                continue;
            const qreal top = rect(table->firstPosition()).top();
            const qreal bottom = rowBottom(table, table->rows() - 1);
            if (!fits(top, bottom) && bottom - top < pageHeight * 3 / 4)
                return {{table->firstPosition()}, {}};
            continue;
        }
        if (linesOnFirstPage(block) == 1 || linesOnFirstPage(block) == block.lineCount() - 1)
            return {{block.position()}, {}};
        if (!KeepsWithNext(block))
            continue;
        const QTextBlock next = block.next();
        qreal followBottom = layout->blockBoundingRect(next).bottom();
        QList<int> follow{next.position()};
        if (const QTextTable* table = QTextCursor(next).currentTable()) {
            followBottom = rowBottom(table, qMin(1, table->rows() - 1));
            follow = {table->firstPosition()};
        } else if (next.layout()->lineCount() > 2) {
            followBottom =
                layout->blockBoundingRect(next).top() + next.layout()->lineAt(1).rect().bottom();
        }
        if (!fits(layout->blockBoundingRect(block).top(), followBottom))
            return {{block.position()}, follow};
    }
    return {};
}

// Sets the page break policy of the block at `position`, or of the table starting there.
void SetBreak(QTextDocument& document, int position, QTextFormat::PageBreakFlags policy) {
    QTextCursor cursor(&document);
    cursor.setPosition(position);
    if (QTextTable* table = cursor.currentTable(); table && table->firstPosition() == position) {
        QTextTableFormat format = table->format();
        format.setPageBreakPolicy(policy);
        table->setFormat(format);
        return;
    }
    QTextBlockFormat format = cursor.blockFormat();
    format.setPageBreakPolicy(policy);
    cursor.setBlockFormat(format);
}

// Qt ends a page wherever the text reaches its foot. Things torn apart are moved to the next
// page one at a time (each move shifts what follows), until nothing is torn any more.
void KeepTogether(QTextDocument& document, QPdfWriter& writer) {
    for (int round = 0; round < 500; ++round) {
        const TMove move = FirstTorn(*PrintLayout(document, writer), writer.logicalDpiY());
        if (move.starts.isEmpty())
            return;
        for (const int position : move.starts)
            SetBreak(document, position, QTextFormat::PageBreak_AlwaysBefore);
        for (const int position : move.follow)
            SetBreak(document, position, QTextFormat::PageBreak_Auto);
    }
}

// The chapters (second-level headings) and the pages print() will start them on.
QList<std::pair<QString, int>> Chapters(const QTextDocument& document, QPdfWriter& writer) {
    const std::unique_ptr<QTextDocument> copy = PrintLayout(document, writer);
    const qreal pageHeight = copy->pageSize().height();
    QList<std::pair<QString, int>> chapters;
    for (QTextBlock block = copy->begin(); block.isValid(); block = block.next())
        if (block.blockFormat().headingLevel() == 2)
            chapters.append(
                {block.text(),
                 int(copy->documentLayout()->blockBoundingRect(block).top() / pageHeight) + 1});
    return chapters;
}

// The table of contents at the foot of the title page, which always ends before the first
// chapter: the pages after it stay as they were.
void AddContents(QTextDocument& document, QPdfWriter& writer, const QString& caption) {
    const auto chapters = Chapters(document, writer);
    QTextBlock first = document.begin();
    while (first.isValid() && first.blockFormat().headingLevel() != 2)
        first = first.next();
    if (chapters.isEmpty() || !first.previous().isValid())
        return;
    QTextCursor cursor(first.previous());
    cursor.movePosition(QTextCursor::EndOfBlock);
    QTextBlockFormat heading;
    heading.setTopMargin(36);
    heading.setBottomMargin(6);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontPointSize(12);
    cursor.insertBlock(heading, bold);
    cursor.insertText(caption);
    QTextTableFormat format;
    format.setBorder(0);
    format.setCellPadding(2);
    format.setCellSpacing(0);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 90),
                                      QTextLength(QTextLength::PercentageLength, 10)});
    QTextTable* table = cursor.insertTable(int(chapters.size()), 2, format);
    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    for (int row = 0; row < chapters.size(); ++row) {
        table->cellAt(row, 0).firstCursorPosition().insertText(chapters.at(row).first,
                                                               QTextCharFormat());
        QTextCursor page = table->cellAt(row, 1).firstCursorPosition();
        page.setBlockFormat(right);
        page.insertText(QString::number(chapters.at(row).second), QTextCharFormat());
    }
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4 || args.size() > 6)
        return Fail(QStringLiteral(
            "usage: devedazi-manual INPUT.md OUTPUT.pdf TITLE [SUBTITLE [CONTENTS]]"));
    QFile input(args.at(1));
    if (!input.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("cannot read %1: %2").arg(args.at(1), input.errorString()));
    QTextDocument document;
    document.setMarkdown(QString::fromUtf8(input.readAll()), QTextDocument::MarkdownDialectGitHub);
    QFont font(QStringLiteral("DejaVu Sans"), 10); // Latin and Cyrillic in one face
    document.setDefaultFont(font);
    StyleDocument(document, args.value(4));

    // The PDF goes to a temporary file first: a failed run leaves no half-written manual.
    QSaveFile output(args.at(2));
    if (!output.open(QIODevice::WriteOnly))
        return Fail(QStringLiteral("cannot write %1: %2").arg(args.at(2), output.errorString()));
    {
        QPdfWriter writer(&output);
        writer.setTitle(args.at(3));
        writer.setCreator(QStringLiteral("DEVedazi"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(8, 5, 8, 5), QPageLayout::Millimeter));
        KeepTogether(document, writer);
        if (args.size() > 5)
            AddContents(document, writer, args.at(5));
        document.print(&writer);
    }
    if (!output.commit())
        return Fail(QStringLiteral("cannot write %1: %2").arg(args.at(2), output.errorString()));
    return 0;
}
