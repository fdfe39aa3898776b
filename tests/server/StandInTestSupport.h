#pragma once

#include "server/StandInServer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <httplib.h>

#include <string>

namespace kova::test {

// One reply as a test sees it. `ok` is false when the transfer failed (connection
// closed early, time-out); `lines` are the GBK-decoded body split at its line breaks.
struct Fetched {
    bool ok = false;
    httplib::Error error = httplib::Error::Success;
    int status = 0;
    QByteArray body;
    std::string contentType;
    httplib::Headers headers;
    QStringList lines;

    std::string header(const std::string& name) const;
};

// GET on 127.0.0.1:port without compression; `cookie` is sent when non-empty.
Fetched fetch(int port, const std::string& target, const std::string& cookie = {}, int readTimeoutMs = 5000);

QStringList pageLines(const QByteArray& gbkBody);

// The cell value of a "<TD>value</TD>" line, "" for a line without "</TD>".
QString cellValue(const QString& line);

// A stand-in server on free loopback ports with its state in a temporary folder.
class StandInFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Fetched service(const std::string& target, const std::string& cookie = {});
    Fetched directory(const std::string& target);
    QString newAccount(); // the user id of a fresh account

    QTemporaryDir m_dir;
    kova::standin::ServerOptions m_options;
    kova::standin::StandInServer m_server;
};

} // namespace kova::test
