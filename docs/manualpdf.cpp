// Build tool: turns a manual written in Markdown into a PDF with Qt's own text engine, so
// the manuals need nothing beyond the libraries the app already uses.
//   devedazi-manual INPUT.md OUTPUT.pdf TITLE

#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

#include <cstdio>

namespace {
int Fail(const QString& text) {
    std::fprintf(stderr, "devedazi-manual: %s\n", qPrintable(text));
    return 1;
}
} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return Fail(QStringLiteral("usage: devedazi-manual INPUT.md OUTPUT.pdf TITLE"));
    QFile input(args.at(1));
    if (!input.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("cannot read %1: %2").arg(args.at(1), input.errorString()));
    QTextDocument document;
    document.setMarkdown(QString::fromUtf8(input.readAll()), QTextDocument::MarkdownDialectGitHub);
    QFont font(QStringLiteral("DejaVu Sans"), 10); // Latin and Cyrillic in one face
    document.setDefaultFont(font);

    // The PDF goes to a temporary file first: a failed run leaves no half-written manual.
    QSaveFile output(args.at(2));
    if (!output.open(QIODevice::WriteOnly))
        return Fail(QStringLiteral("cannot write %1: %2").arg(args.at(2), output.errorString()));
    {
        QPdfWriter writer(&output);
        writer.setTitle(args.at(3));
        writer.setCreator(QStringLiteral("DEVedazi"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter));
        document.print(&writer);
    }
    if (!output.commit())
        return Fail(QStringLiteral("cannot write %1: %2").arg(args.at(2), output.errorString()));
    return 0;
}
