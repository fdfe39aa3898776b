#include "ui/Fonts.h"

#include <QStringList>

namespace kova {

void installFontSubstitutions()
{
    static const bool installed = [] {
        QFont::insertSubstitutions(SongFamily,
                                   {QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
                                    QStringLiteral("WenQuanYi Zen Hei")});
        QFont::insertSubstitutions(KaiFamily,
                                   {QStringLiteral("AR PL UKai CN"), QStringLiteral("AR PL UKai TW"),
                                    QStringLiteral("AR PL UMing CN")});
        QFont::insertSubstitutions(SansFamily,
                                   {QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("DejaVu Sans")});
        return true;
    }();
    Q_UNUSED(installed);
}

namespace {

QFont makeFont(const QString& family, int pixelHeight, bool bold)
{
    installFontSubstitutions();
    QFont font(family);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

} // namespace

QFont songFont(int pixelHeight, bool bold)
{
    return makeFont(SongFamily, pixelHeight, bold);
}

QFont kaiFont(int pixelHeight, bool bold)
{
    return makeFont(KaiFamily, pixelHeight, bold);
}

QFont sansFont(int pixelHeight, bool bold)
{
    return makeFont(SansFamily, pixelHeight, bold);
}

} // namespace kova
