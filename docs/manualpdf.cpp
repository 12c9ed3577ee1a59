// Build tool: turns a manual written in Markdown into a PDF with Qt's own text engine, so
// the manuals need nothing beyond the libraries the app already uses.
//   devedazi-manual INPUT.md OUTPUT.pdf TITLE [SUBTITLE]
// The first heading and the text up to the next heading make the title page; SUBTITLE (the
// version, for example) goes below the first heading.

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

#include <cstdio>
#include <memory>

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
// width with some air in its cells, a shaded header row (repeated on every page the table
// spans) and a thin rule under each row.
void StyleTable(QTextTable* table) {
    QTextTableFormat format = table->format();
    format.setBorderCollapse(true);
    format.setBorder(0);
    format.setCellSpacing(0);
    format.setCellPadding(3);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setHeaderRowCount(1);
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
    const qreal margin = 2 / 2.54 * 96;
    QTextFrameFormat frame = copy->rootFrame()->frameFormat();
    frame.setMargin(margin);
    copy->rootFrame()->setFrameFormat(frame);
    copy->setPageSize(QSizeF(writer.width(), writer.height()));
    return copy;
}

// Whether a block belongs with what follows it: a heading, or a line leading into a list,
// a table or a code block (ending in ":").
bool KeepsWithNext(const QTextBlock& block) {
    return block.next().isValid() && !block.textList() &&
           (block.blockFormat().headingLevel() >= 2 || block.text().endsWith(QLatin1Char(':')));
}

// A move to the next page: the blocks that start it, and those that needn't any more since
// they follow along.
struct TMove {
    QList<int> starts;
    QList<int> follow;
};

// The move that keeps the first thing torn apart by a page end together: a table row split
// over two pages (the header row stays with the first row), or a block that keeps with the
// next without the start of it (two lines, or a table's first row). Empty when none is torn.
TMove FirstTorn(QTextDocument& copy) {
    const qreal pageHeight = copy.pageSize().height();
    const auto* layout = copy.documentLayout();
    auto page = [&](qreal y) { return int(y / pageHeight); };
    auto rect = [&](int position) { return layout->blockBoundingRect(copy.findBlock(position)); };
    auto rowBottom = [&](const QTextTable* table, int row) {
        qreal bottom = 0;
        for (int column = 0; column < table->columns(); ++column)
            bottom = qMax(bottom, rect(table->cellAt(row, column).lastPosition()).bottom());
        return bottom;
    };
    auto rowStarts = [](const QTextTable* table, int row) {
        QList<int> starts;
        for (int column = 0; column < table->columns(); ++column)
            starts.append(table->cellAt(row, column).firstPosition());
        return starts;
    };
    for (QTextBlock block = copy.begin(); block.isValid(); block = block.next()) {
        if (const QTextTable* table = QTextCursor(block).currentTable()) {
            const QTextTableCell cell = table->cellAt(block.position());
            if (cell.column() != 0 || cell.row() == 0 || block.position() != cell.firstPosition())
                continue;
            const int first = cell.row() == 1 ? 0 : cell.row();
            if (page(rect(table->cellAt(first, 0).firstPosition()).top()) !=
                page(rowBottom(table, cell.row()) - 1))
                return {rowStarts(table, first), {}};
            continue;
        }
        if (!KeepsWithNext(block))
            continue;
        const QTextBlock next = block.next();
        qreal followBottom = layout->blockBoundingRect(next).bottom();
        QList<int> follow{next.position()};
        if (const QTextTable* table = QTextCursor(next).currentTable()) {
            followBottom = rowBottom(table, qMin(1, table->rows() - 1));
            follow = rowStarts(table, 0);
        } else if (next.layout()->lineCount() > 2)
            followBottom =
                layout->blockBoundingRect(next).top() + next.layout()->lineAt(1).rect().bottom();
        if (page(layout->blockBoundingRect(block).top()) != page(followBottom - 1))
            return {{block.position()}, follow};
    }
    return {};
}

// Qt ends a page wherever the text reaches its foot. Things torn apart are moved to the next
// page one at a time (each move shifts what follows), until nothing is torn any more.
void KeepTogether(QTextDocument& document, QPdfWriter& writer) {
    for (int round = 0; round < 500; ++round) {
        const std::unique_ptr<QTextDocument> copy = PrintLayout(document, writer);
        const TMove move = FirstTorn(*copy);
        if (move.starts.isEmpty())
            return;
        auto setBreak = [&](int position, QTextFormat::PageBreakFlags policy) {
            QTextCursor cursor(&document);
            cursor.setPosition(position);
            QTextBlockFormat format = cursor.blockFormat();
            format.setPageBreakPolicy(policy);
            cursor.setBlockFormat(format);
        };
        for (const int position : move.starts)
            setBreak(position, QTextFormat::PageBreak_AlwaysBefore);
        for (const int position : move.follow)
            setBreak(position, QTextFormat::PageBreak_Auto);
    }
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4 && args.size() != 5)
        return Fail(QStringLiteral("usage: devedazi-manual INPUT.md OUTPUT.pdf TITLE [SUBTITLE]"));
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
        document.print(&writer);
    }
    if (!output.commit())
        return Fail(QStringLiteral("cannot write %1: %2").arg(args.at(2), output.errorString()));
    return 0;
}
