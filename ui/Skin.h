#pragma once

#include <QString>

namespace kova {

// Makes `sheet`, read from the skin file at `path`, the application's style sheet. A sheet
// that Qt rejects (it cannot be parsed) is not kept: the application goes on with its
// design look and kova::Error says so, as for a skin file that cannot be read.
void ApplySkinStyleSheet(const QString& path, const QString& sheet);

} // namespace kova
