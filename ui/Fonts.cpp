#include "Fonts.h"

#include <QFontDatabase>
#include <QRegularExpression>

QString installedFamily(const QStringList& families)
{
    QStringList installed = QFontDatabase::families();
    // A family offered by several foundries is listed once per foundry, as "Name [foundry]".
    static const QRegularExpression foundry(QStringLiteral(" \\[[^\\]]*\\]$"));
    for (QString& f : installed)
        f.remove(foundry);
    for (const QString& f : families) {
        if (installed.contains(f, Qt::CaseInsensitive))
            return f;
    }
    return families.isEmpty() ? QString() : families.last();
}

QFont uiFont(int pixelSize)
{
    QFont f(installedFamily({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                             QStringLiteral("IPAPGothic"), QStringLiteral("IPAexGothic"),
                             QStringLiteral("Noto Sans CJK JP")}));
    f.setPixelSize(pixelSize);
    return f;
}

QFont monitorFont()
{
    QFont f(installedFamily({QStringLiteral("ＭＳ 明朝"), QStringLiteral("MS Mincho"),
                             QStringLiteral("IPAMincho"), QStringLiteral("IPAexMincho"),
                             QStringLiteral("Noto Serif CJK JP")}));
    f.setPointSize(10);
    return f;
}
