#pragma once

// Shared pieces of the fuzz targets: turning input bytes into text and keeping Qt's
// warnings (a broken picture, a bad charset) off the fuzzer's output.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace kova::fuzz {

inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Input bytes as text, the way a decoded page reaches the readers (bad UTF-8 becomes U+FFFD).
inline QString text(const uint8_t* data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

inline void quietQt()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg) {
            std::fprintf(stderr, "Qt fatal: %s\n", qPrintable(message));
            std::abort();
        }
    });
}

// A broken expectation: printed, then the process aborts so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what, const QString& detail = {})
{
    std::fprintf(stderr, "fuzz check failed: %s %s\n", what, qPrintable(detail));
    std::abort();
}

} // namespace kova::fuzz
