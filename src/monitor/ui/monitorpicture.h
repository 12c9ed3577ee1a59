#pragma once
// The monitor's chart as a picture file: the curves as the window shows them and, under
// them, the time range in view and a legend of the shown curves.

#include <QImage>
#include <QString>

class TMonitorChart;
class TMonitorHistory;

// The time range of polls first to last, local time with its offset from UTC, and their
// number: "2024-05-01 10:00:00 - 10:05:00 (UTC+02:00), 912 polls". Empty without polls.
QString MonitorRangeText(const TMonitorHistory& history, qsizetype first, qsizetype last);

// The file dialog's filters: PNG, and SVG where the program was built with Qt's SVG module.
QString MonitorPictureFilters();
bool MonitorPictureSvg(); // SVG pictures can be written

// The picture at the chart's size plus the legend, at the given device pixel ratio.
QImage MonitorPicture(const TMonitorChart& chart, const QString& range, qreal ratio);
// Into path: SVG when its extension is .svg (and SVG can be written), PNG otherwise; through
// a temporary file. False with error saying "Cannot write <path>: <reason>".
bool SaveMonitorPicture(const QString& path, const TMonitorChart& chart, const QString& range,
                        qreal ratio, QString* error = nullptr);
