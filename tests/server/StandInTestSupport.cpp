#include "tests/server/StandInTestSupport.h"

#include "store/Gbk.h"

#include <QRegularExpression>

namespace kova::test {

std::string Fetched::header(const std::string& name) const
{
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

Fetched fetch(int port, const std::string& target, const std::string& cookie, int readTimeoutMs)
{
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(2, 0);
    client.set_read_timeout(readTimeoutMs / 1000, (readTimeoutMs % 1000) * 1000);
    httplib::Headers headers = {{"Accept-Encoding", "identity"}};
    if (!cookie.empty())
        headers.emplace("Cookie", cookie);
    Fetched f;
    const httplib::Result result = client.Get(target, headers);
    f.error = result.error();
    if (!result)
        return f;
    f.ok = true;
    f.status = result->status;
    f.body = QByteArray(result->body.data(), static_cast<qsizetype>(result->body.size()));
    f.contentType = result->get_header_value("Content-Type");
    f.headers = result->headers;
    f.lines = pageLines(f.body);
    return f;
}

QStringList pageLines(const QByteArray& gbkBody)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r?\n"));
    QStringList lines = kova::gbk::decode(gbkBody).split(lineBreak);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString cellValue(const QString& line)
{
    const qsizetype end = line.indexOf(QStringLiteral("</TD>"));
    return end < 0 ? QString() : line.mid(4, end - 4);
}

void StandInFixture::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    m_options.dataDir = m_dir.path();
    m_server.start(m_options);
}

void StandInFixture::TearDown()
{
    m_server.stop();
}

Fetched StandInFixture::service(const std::string& target, const std::string& cookie)
{
    return fetch(m_server.servicePort(), target, cookie);
}

Fetched StandInFixture::directory(const std::string& target)
{
    return fetch(m_server.directoryPort(), target);
}

QString StandInFixture::newAccount()
{
    const Fetched page = service("/RandomUser.aspx");
    for (const QString& line : page.lines) {
        if (line.startsWith(QStringLiteral("<body>")))
            return line.mid(6).trimmed();
    }
    ADD_FAILURE() << "no account in the reply";
    return {};
}

} // namespace kova::test
