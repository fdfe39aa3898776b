#include "store/PackedRow.h"

#include <sqlite3.h>

#include <cstring>
#include <limits>
#include <string>

namespace kova {
namespace {

// The tag byte in front of each value.
enum Tag : unsigned char { TagNull, TagInt64, TagInt32, TagReal, TagText, TagBlob, TagPooled };

class Writer {
public:
    Writer() { m_buffer.clear(); }

    void null() { m_buffer.push_back(static_cast<char>(TagNull)); }
    void integer(qint64 value)
    {
        if (value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max()) {
            tag(TagInt32);
            raw(static_cast<qint32>(value));
        } else {
            tag(TagInt64);
            raw(value);
        }
    }
    void real(double value)
    {
        tag(TagReal);
        raw(value);
    }
    void text(QByteArrayView utf8, TextPool& pool)
    {
        if (!utf8.isValidUtf8()) {
            // Kept as it reads: each bad sequence becomes a replacement character.
            const QByteArray repaired = QString::fromUtf8(utf8).toUtf8();
            text(repaired, pool);
            return;
        }
        const int pooled = pool.intern(utf8);
        if (pooled >= 0) {
            tag(TagPooled);
            raw(static_cast<quint16>(pooled));
            return;
        }
        tag(TagText);
        bytes(utf8);
    }
    void blob(QByteArrayView data)
    {
        tag(TagBlob);
        bytes(data);
    }

    std::unique_ptr<char[]> take() const
    {
        auto data = std::make_unique_for_overwrite<char[]>(m_buffer.size());
        std::memcpy(data.get(), m_buffer.data(), m_buffer.size());
        return data;
    }

private:
    void tag(Tag t) { m_buffer.push_back(static_cast<char>(t)); }
    template <typename T> void raw(T value)
    {
        char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        m_buffer.append(bytes, sizeof(T));
    }
    void bytes(QByteArrayView data)
    {
        // The length in seven-bit groups, lowest first.
        auto length = static_cast<quint64>(data.size());
        do {
            const auto low = static_cast<unsigned char>(length & 0x7F);
            length >>= 7;
            m_buffer.push_back(static_cast<char>(length ? (low | 0x80) : low));
        } while (length);
        m_buffer.append(data.data(), static_cast<size_t>(data.size()));
    }

    // One buffer a thread: a row is written here, then copied into an allocation its size.
    static thread_local std::string m_buffer;
};

thread_local std::string Writer::m_buffer;

template <typename T> T readRaw(const char*& p)
{
    T value;
    std::memcpy(&value, p, sizeof(T));
    p += sizeof(T);
    return value;
}

QByteArrayView readBytes(const char*& p)
{
    quint64 length = 0;
    int shift = 0;
    unsigned char byte;
    do {
        byte = static_cast<unsigned char>(*p++);
        length |= static_cast<quint64>(byte & 0x7F) << shift;
        shift += 7;
    } while (byte & 0x80);
    const QByteArrayView view(p, static_cast<qsizetype>(length));
    p += length;
    return view;
}

// Reads the value at `p` and moves past it.
PackedRow::Ref readValue(const char*& p, const TextPool& pool)
{
    PackedRow::Ref ref;
    switch (static_cast<Tag>(*p++)) {
    case TagNull:
        break;
    case TagInt64:
        ref.kind = PackedRow::Kind::Integer;
        ref.integer = readRaw<qint64>(p);
        break;
    case TagInt32:
        ref.kind = PackedRow::Kind::Integer;
        ref.integer = readRaw<qint32>(p);
        break;
    case TagReal:
        ref.kind = PackedRow::Kind::Real;
        ref.real = readRaw<double>(p);
        break;
    case TagText:
        ref.kind = PackedRow::Kind::Text;
        ref.bytes = readBytes(p);
        break;
    case TagBlob:
        ref.kind = PackedRow::Kind::Blob;
        ref.bytes = readBytes(p);
        break;
    case TagPooled:
        ref.kind = PackedRow::Kind::Text;
        ref.bytes = pool.utf8(readRaw<quint16>(p));
        break;
    }
    return ref;
}

bool isPooled(const char* p)
{
    return static_cast<Tag>(*p) == TagPooled;
}

} // namespace

int TextPool::intern(QByteArrayView utf8)
{
    if (utf8.isEmpty() || utf8.size() > MaxBytes)
        return -1;
    const QByteArray key = QByteArray::fromRawData(utf8.data(), utf8.size());
    if (const auto found = m_index.constFind(key); found != m_index.constEnd())
        return *found;
    if (size() >= MaxTexts)
        return -1;
    const int index = size();
    QByteArray stored(utf8.data(), utf8.size()); // a copy of its own, not the caller's bytes
    m_texts.push_back(QString::fromUtf8(stored));
    m_texts.back().squeeze();
    m_index.insert(stored, index);
    m_utf8.push_back(std::move(stored));
    return index;
}

PackedRow PackedRow::read(sqlite3_stmt* statement, int first, int available, int total, TextPool& pool)
{
    Writer writer;
    for (int i = 0; i < total; ++i) {
        if (i >= available) {
            writer.null();
            continue;
        }
        const int column = first + i;
        switch (sqlite3_column_type(statement, column)) {
        case SQLITE_INTEGER:
            writer.integer(sqlite3_column_int64(statement, column));
            break;
        case SQLITE_FLOAT:
            writer.real(sqlite3_column_double(statement, column));
            break;
        case SQLITE_TEXT: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
            writer.text(QByteArrayView(text, sqlite3_column_bytes(statement, column)), pool);
            break;
        }
        case SQLITE_BLOB: {
            const auto* data = static_cast<const char*>(sqlite3_column_blob(statement, column));
            writer.blob(QByteArrayView(data, sqlite3_column_bytes(statement, column)));
            break;
        }
        default:
            writer.null();
            break;
        }
    }
    PackedRow row;
    row.m_data = writer.take();
    return row;
}

PackedRow PackedRow::pack(const std::vector<QVariant>& values, TextPool& pool)
{
    Writer writer;
    for (const QVariant& value : values) {
        switch (value.typeId()) {
        case QMetaType::UnknownType:
            writer.null();
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::Long:
        case QMetaType::Bool:
            writer.integer(value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            writer.real(value.toDouble());
            break;
        case QMetaType::QByteArray:
            writer.blob(*static_cast<const QByteArray*>(value.constData()));
            break;
        default:
            if (value.isNull())
                writer.null();
            else
                writer.text(value.toString().toUtf8(), pool);
            break;
        }
    }
    PackedRow row;
    row.m_data = writer.take();
    return row;
}

PackedRow::Ref PackedRow::ref(int column, const TextPool& pool) const
{
    const char* p = m_data.get();
    if (!p)
        return {};
    for (int i = 0; i < column; ++i)
        readValue(p, pool);
    return readValue(p, pool);
}

namespace {

QVariant toVariant(const char*& p, const TextPool& pool)
{
    if (isPooled(p)) {
        ++p;
        return QVariant(pool.text(readRaw<quint16>(p))); // shares the pool's text
    }
    const PackedRow::Ref r = readValue(p, pool);
    switch (r.kind) {
    case PackedRow::Kind::Null:
        return {};
    case PackedRow::Kind::Integer:
        return QVariant(static_cast<qlonglong>(r.integer));
    case PackedRow::Kind::Real:
        return QVariant(r.real);
    case PackedRow::Kind::Text:
        // Never a null text: an empty one reads as the empty text SQLite gives.
        return QVariant(r.bytes.isEmpty() ? QString(QLatin1String("")) : QString::fromUtf8(r.bytes));
    case PackedRow::Kind::Blob:
        return QVariant(r.bytes.isEmpty() ? QByteArray() : r.bytes.toByteArray());
    }
    return {};
}

} // namespace

QVariant PackedRow::value(int column, const TextPool& pool) const
{
    if (!m_data)
        return {};
    const char* p = m_data.get();
    for (int i = 0; i < column; ++i)
        readValue(p, pool);
    return toVariant(p, pool);
}

std::vector<QVariant> PackedRow::values(int count, const TextPool& pool) const
{
    std::vector<QVariant> out;
    out.reserve(static_cast<size_t>(count));
    const char* p = m_data.get();
    for (int i = 0; i < count; ++i)
        out.push_back(p ? toVariant(p, pool) : QVariant());
    return out;
}

} // namespace kova
