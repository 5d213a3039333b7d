// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_client/ado/AdoError.h"

namespace ado {

AdoError::AdoError(ErrorInfo info)
    : std::runtime_error(info.description.toStdString())
    , info_(std::move(info)) {}

namespace {

ErrorInfo infoOf(qint32 number, const QString &source, const QString &description) {
    ErrorInfo e;
    e.number = number;
    e.source = source;
    e.description = description;
    return e;
}

} // namespace

AdoError::AdoError(qint32 number, const QString &source, const QString &description)
    : AdoError(infoOf(number, source, description)) {}

} // namespace ado
