#include "DialogUnits.h"

#include <QFontMetrics>
#include <QString>

DialogBaseUnits BaseUnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogBaseUnits{(alphabet / 26 + 1) / 2, metrics.height()};
}

int MulDiv(int number, int numerator, int denominator)
{
    const long long product = static_cast<long long>(number) * numerator;
    return static_cast<int>((product + denominator / 2) / denominator);
}

QRect DialogRect(const DialogBaseUnits& units, int x, int y, int width, int height)
{
    return QRect(MulDiv(x, units.x, 4), MulDiv(y, units.y, 8), MulDiv(width, units.x, 4), MulDiv(height, units.y, 8));
}

QSize DialogSize(const DialogBaseUnits& units, int width, int height)
{
    return QSize(MulDiv(width, units.x, 4), MulDiv(height, units.y, 8));
}
