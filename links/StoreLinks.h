#pragma once

#include <QString>

namespace kova {

// The entry addresses of the start page's store pictures Image1 … Image8: fixed addresses
// of the build carrying the operator's identifiers (not the ones read from the version
// page).
inline constexpr int StoreEntryCount = 8;

QString storeEntryName(int n);    // n = 1 … 8; empty outside
QString storeEntryAddress(int n); // n = 1 … 8; empty outside

} // namespace kova
