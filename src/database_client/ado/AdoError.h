// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <stdexcept>
#include <vector>

namespace ado {

// The error numbers (HRESULTs) this ADO raises.
namespace HResult {
constexpr qint32 Fail = qint32(0x80004005u); // E_FAIL: the file cannot be read, the helper failed
constexpr qint32 ClassNotRegistered = qint32(0x80040154u); // the helper program is missing
constexpr qint32 NoCommand = qint32(0x80040E0Cu);          // no command text
constexpr qint32 SyntaxError = qint32(0x80040E14u);        // a statement this provider does not understand
constexpr qint32 LimitReached = qint32(0x80040E31u);       // the helper's time limit ran out
constexpr qint32 NoSuchTable = qint32(0x80040E37u);
constexpr qint32 AuthenticationFailed = qint32(0x80040E4Du); // a database password would be needed
constexpr qint32 NoCurrentRecord = qint32(0x800A0BCDu);      // ADO 3021
constexpr qint32 ItemNotFound = qint32(0x800A0CC1u);         // ADO 3265
constexpr qint32 ObjectClosed = qint32(0x800A0E78u);         // ADO 3704
constexpr qint32 ObjectOpen = qint32(0x800A0E79u);           // ADO 3705
constexpr qint32 ProviderNotFound = qint32(0x800A0E7Au);     // ADO 3706
constexpr qint32 InvalidConnection = qint32(0x800A0E7Du);    // ADO 3709
} // namespace HResult

// Where errors come from.
inline const QString providerSource = QStringLiteral("Lumsifter Access Provider");

struct ErrorInfo {
    qint32 number = 0;
    QString source;
    QString description;
    QString sqlState;
    qint32 nativeError = 0;
    QString helpFile;
    qint32 helpContext = 0;
};

// A failing ADO call: its number, source and description.
class AdoError : public std::runtime_error {
public:
    explicit AdoError(ErrorInfo info);
    AdoError(qint32 number, const QString &source, const QString &description);
    const ErrorInfo &info() const { return info_; }
    qint32 number() const { return info_.number; }
    const QString &source() const { return info_.source; }
    const QString &description() const { return info_.description; }

private:
    ErrorInfo info_;
};

// One provider error of a connection's Errors collection.
class Error {
public:
    explicit Error(ErrorInfo info)
        : info_(std::move(info)) {}
    qint32 Number() const { return info_.number; }
    const QString &Description() const { return info_.description; }
    const QString &Source() const { return info_.source; }
    const QString &HelpFile() const { return info_.helpFile; }
    qint32 HelpContext() const { return info_.helpContext; }
    qint32 NativeError() const { return info_.nativeError; }
    const QString &SQLState() const { return info_.sqlState; }

private:
    ErrorInfo info_;
};

using ErrorList = std::vector<Error>;

} // namespace ado
