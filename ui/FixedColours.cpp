#include "FixedColours.h"

bool isDarkPalette(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

QColor idColour(const QPalette& palette)
{
    return isDarkPalette(palette) ? QColor(0x99, 0xcc, 0xff) : QColor(Qt::blue);
}

QColor alertColour(const QPalette& palette)
{
    return isDarkPalette(palette) ? QColor(0xff, 0x99, 0x99) : QColor(255, 0, 0);
}
