// kova-initdb PATH: creates an empty Kova database with its five tables and the price
// history's at PATH.
#include "store/Error.h"
#include "store/Schema.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: kova-initdb PATH\n");
        return 2;
    }
    try {
        kova::createDatabase(args.at(1));
    } catch (const kova::Error& e) {
        std::fprintf(stderr, "kova-initdb: %s\n", e.what());
        return 1;
    }
    return 0;
}
