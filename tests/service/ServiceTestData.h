#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

namespace kova::test {

// A file of tests/service/data, whole.
inline QByteArray serviceData(const QString& name)
{
    QFile file(QStringLiteral(KOVA_SOURCE_DIR "/tests/service/data/") + name);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "missing test data " << name.toStdString();
        return {};
    }
    return file.readAll();
}

} // namespace kova::test
