// Dialog units as Windows converts them: the dialog's font decides the size
// of every control, so the window keeps the proportions of its template with
// whatever serif face stands in for the original.
#ifndef TOLVANE_UI_QT_DIALOGUNITS_H
#define TOLVANE_UI_QT_DIALOGUNITS_H

#include <QFont>
#include <QRect>
#include <QSize>

struct DialogBaseUnits {
    int x = 0; // the average character width in pixels: four dialog units
    int y = 0; // the character height in pixels: eight dialog units
};

// Windows measures the 52 letters of the alphabet and rounds half a
// character up; the height is the font's full line height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// Windows' MulDiv for non-negative numbers: the product divided, rounded
// to the nearest integer, halves away from zero.
int MulDiv(int number, int numerator, int denominator);

// Each of the four numbers is converted on its own, as Windows creates the
// controls of a template, so a width does not depend on where it starts.
QRect DialogRect(const DialogBaseUnits& units, int x, int y, int width, int height);
QSize DialogSize(const DialogBaseUnits& units, int width, int height);

#endif
