#pragma once

#include <QString>

#include <optional>

namespace kova {

class PageText;
class SettingsRecord;

// The operator's affiliate ids as the version page carries them.
struct AffiliateIds {
    QString taobaoPid;
    QString jdUnionId;
};

// The ids of one version-page line "…AAA=" pid "BBB=" union id "CCC=…": the texts between
// the first "AAA=", "BBB=" and "CCC=" of the line, trimmed. A line without the three
// markers in this order, or with an empty value, gives nothing: one empty id would empty
// that parameter in every product link.
std::optional<AffiliateIds> ParseVersionLine(const QString& line);

// Reads the version page: the first line that gives both ids stores them enciphered in the
// settings record (fields a and b) while either field is empty; any later line changes
// nothing. Returns the ids as stored (deciphered and trimmed), or nothing when no line
// gave ids or both fields were set already.
std::optional<AffiliateIds> ReadVersionPage(const PageText& page, SettingsRecord& settings);

} // namespace kova
