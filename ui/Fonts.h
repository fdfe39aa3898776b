#pragma once

#include <QFont>
#include <QString>

namespace kova {

// The Windows font names the layout is designed with, and the installed fonts that stand
// in for them: "宋体" → AR PL UMing CN (Song/Ming), "楷体_GB2312" → AR PL UKai CN (Kai),
// "MS Sans Serif" → WenQuanYi Zen Hei (a sans font that also covers Chinese).
inline const QString SongFamily = QStringLiteral("宋体");
inline const QString KaiFamily = QStringLiteral("楷体_GB2312");
inline const QString SansFamily = QStringLiteral("MS Sans Serif");

// Registers the substitutions. Idempotent; setupUi calls it, main may call it earlier.
void installFontSubstitutions();

// Fonts by character height in pixels, as the layout gives them.
QFont songFont(int pixelHeight, bool bold = false);
QFont kaiFont(int pixelHeight, bool bold = false);
QFont sansFont(int pixelHeight, bool bold = false);

} // namespace kova
