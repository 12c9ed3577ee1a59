#pragma once
// The pictures of the device's screen in each screen mode, behind the indicator lists of the
// "Mod" page: white on black, the mode's main value in large digits at the left, a battery
// symbol at the right edge (with a lightning bolt while charging), the middle left empty for
// the lists. Painted at run time, so they stay sharp at any size and scaling.

#include <QWidget>

class QPainter;

// Screen modes in the order of the indicator rows.
enum class TScreenMode { VV = 0, VW = 1, TC = 2, Charge = 3 };

// Design size of a picture and the widths of its value and battery parts; the rest between
// them is the empty middle.
inline constexpr int ScreenArtWidth = 312;
inline constexpr int ScreenArtHeight = 80;
inline constexpr int ScreenArtValueWidth = 112;
inline constexpr int ScreenArtBatteryWidth = 44;

// The main value a mode's picture shows: "4.2V", "40W", "220C", "40W".
QString ScreenArtValue(TScreenMode mode);

// Paints the picture of mode into rect: the value inside the left valueWidth, the battery
// inside the right batteryWidth, black everywhere else.
void PaintScreenArt(QPainter& painter, const QRectF& rect, TScreenMode mode,
                    qreal valueWidth = ScreenArtValueWidth,
                    qreal batteryWidth = ScreenArtBatteryWidth);

// A screen picture as a widget; lists laid over its middle stay readable.
class TScreenPicture : public QWidget {
    Q_OBJECT
public:
    explicit TScreenPicture(TScreenMode mode, QWidget* parent = nullptr);
    TScreenMode mode() const { return m_mode; }
    QSize sizeHint() const override { return {ScreenArtWidth, ScreenArtHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TScreenMode m_mode;
};
