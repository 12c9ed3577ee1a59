#include "monitor/ui/monitorpicture.h"

#include "monitor/monitorhistory.h"
#include "monitor/ui/monitorchart.h"
#include "settings/safefile.h"

#include <QBuffer>
#include <QDateTime>
#include <QFileInfo>
#include <QPainter>
#include <QTimeZone>

#ifdef DEVEDAZI_HAVE_SVG
#include <QSvgGenerator>
#endif

#include <vector>

namespace {

constexpr int Padding = 8; // around the legend and between its entries
constexpr int SquareGap = 4;

struct TLegendEntry {
    int row;
    QRect square;
    QRect text;
};

// The legend under the chart: the range line, then the shown curves as colour squares with
// their names, as many in a line as the width takes.
struct TLegend {
    QRect range;
    std::vector<TLegendEntry> entries;
    int height = 0;
};

TLegend LayOut(const TMonitorChart& chart, const QFontMetrics& metrics) {
    TLegend legend;
    const int line = metrics.height();
    const int width = chart.width();
    legend.range = QRect(Padding, Padding, width - 2 * Padding, line);
    int x = Padding;
    int y = legend.range.bottom() + 1 + Padding / 2;
    bool any = false;
    for (int row = 0; row < MonitorRowCount; ++row) {
        if (!chart.curveShown(row))
            continue;
        const QString name = QString::fromUtf8(MonitorRows()[size_t(row)].name);
        const int entry = line + SquareGap + metrics.horizontalAdvance(name);
        if (any && x + entry > width - Padding) {
            x = Padding;
            y += line + Padding / 2;
        }
        legend.entries.push_back({row, QRect(x, y + line / 6, line * 2 / 3, line * 2 / 3),
                                  QRect(x + line * 2 / 3 + SquareGap, y, entry, line)});
        x += entry + 2 * Padding;
        any = true;
    }
    legend.height = (any ? y + line : legend.range.bottom() + 1) + Padding;
    return legend;
}

void Paint(QPainter& painter, const TMonitorChart& chart, const QString& range) {
    const TLegend legend = LayOut(chart, QFontMetrics(chart.font()));
    const QSize size(chart.width(), chart.height() + legend.height);
    painter.fillRect(QRect(QPoint(0, 0), size), chart.palette().color(QPalette::Base));
    chart.render(painter);
    painter.save();
    painter.translate(0, chart.height());
    painter.setFont(chart.font());
    painter.setPen(chart.palette().color(QPalette::Text));
    painter.drawText(legend.range, Qt::AlignLeft | Qt::AlignVCenter, range);
    for (const TLegendEntry& entry : legend.entries) {
        painter.fillRect(entry.square, QColor::fromRgb(MonitorRows()[size_t(entry.row)].colour));
        painter.drawText(entry.text, Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromUtf8(MonitorRows()[size_t(entry.row)].name));
    }
    painter.restore();
}

QSize PictureSize(const TMonitorChart& chart) {
    return {chart.width(), chart.height() + LayOut(chart, QFontMetrics(chart.font())).height};
}

} // namespace

QString MonitorRangeText(const TMonitorHistory& history, qsizetype first, qsizetype last) {
    if (first > last || first < 0 || last >= history.size())
        return {};
    // The zone's rules are read once (a local time of the C library looks at the zone
    // file each time, and this runs after every poll).
    static const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(history.at(first).time, zone);
    const QDateTime to = QDateTime::fromMSecsSinceEpoch(history.at(last).time, zone);
    const QString day = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    const QString end =
        from.date() == to.date() ? to.toString(QStringLiteral("HH:mm:ss")) : to.toString(day);
    const int offset = from.offsetFromUtc() / 60;
    const QString offsetText = QStringLiteral("UTC%1%2:%3")
                                   .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                                   .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
                                   .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
    const qsizetype polls = last - first + 1;
    return QStringLiteral("%1 - %2 (%3), %4 %5")
        .arg(from.toString(day), end, offsetText)
        .arg(polls)
        .arg(polls == 1 ? QStringLiteral("poll") : QStringLiteral("polls"));
}

bool MonitorPictureSvg() {
#ifdef DEVEDAZI_HAVE_SVG
    return true;
#else
    return false;
#endif
}

QString MonitorPictureFilters() {
    QString filters = QStringLiteral("PNG Picture (*.png)");
    if (MonitorPictureSvg())
        filters += QStringLiteral(";;SVG Picture (*.svg)");
    return filters;
}

QImage MonitorPicture(const TMonitorChart& chart, const QString& range, qreal ratio) {
    QImage image(PictureSize(chart) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    Paint(painter, chart, range);
    return image;
}

bool SaveMonitorPicture(const QString& path, const TMonitorChart& chart, const QString& range,
                        qreal ratio, QString* error) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
#ifdef DEVEDAZI_HAVE_SVG
    if (QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(PictureSize(chart));
        svg.setViewBox(QRect(QPoint(0, 0), PictureSize(chart)));
        svg.setTitle(chart.window()->windowTitle());
        svg.setDescription(range);
        QPainter painter(&svg);
        Paint(painter, chart, range);
        painter.end();
        return WriteFileSafely(path, bytes, error);
    }
#endif
    MonitorPicture(chart, range, ratio).save(&buffer, "PNG");
    return WriteFileSafely(path, bytes, error);
}
