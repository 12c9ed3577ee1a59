#pragma once
// The application's pictures, drawn rather than shipped: the product picture of the tool
// bar and the About window, and the window icon.

#include <QIcon>
#include <QPixmap>

QPixmap ProductPicture(int size); // a box mod seen from the front, size x size pixels
QIcon AppIcon();
