#pragma once
// Device transactions of the display: the logo set and the screenshot. Each runs inside
// the transport's sequence frame and returns true when the link was not lost.
//
// Every answer line must decode to exactly 128 bytes; any other answer fails the
// transaction like a lost link. A model without a display (scrHeight below 8) is refused
// before any device contact; `refusal` then gets the message for the user.

#include <QString>

// "LOGO[%d]" k = 0..31 into LogoImages and "LSCR" into Settings.logoScreen. Both are
// replaced only when the whole download succeeded.
bool ReadLogos(QString* refusal = nullptr);
// "LRST", then "LSCR" (for 4 or 8 slots) and "LOGO[%d]" k = 0..31, each written only when
// the device holds a different value.
bool WriteLogos(QString* refusal = nullptr);
// "SCR[%d]" into ScreenImage (and the cell colours into ScreenColors on colour displays,
// read first). A line answered "BUSY" is asked again, at most ScreenBusyLimit times or
// for ScreenBusyMs per line; then the capture fails.
bool ReadScreen(QString* refusal = nullptr);

constexpr int ScreenBusyLimit = 200;
constexpr int ScreenBusyMs = 5000;

// The refusal message, or an empty text when the connected model has a display.
QString DisplayRefusal();
