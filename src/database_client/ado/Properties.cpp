// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_client/ado/Properties.h"

#include "database_client/ado/AdoError.h"
#include "database_client/ado/Types.h"

namespace ado {

void itemNotFound() {
    throw AdoError(
        HResult::ItemNotFound, QStringLiteral("ADO.Collection"),
        QStringLiteral(
            "Item cannot be found in the collection corresponding to the requested name or ordinal."));
}

Property readOnly(const QString &name, int type, Variant value) {
    return Property(name, type, std::move(value), PropertyAttribute::Read);
}

const Property &PropertyList::Item(int index) const {
    if (index < 0 || index >= Count())
        itemNotFound();
    return items_[size_t(index)];
}

const Property &PropertyList::Item(const QString &name) const {
    for (const Property &p : items_) {
        if (p.Name().compare(name, Qt::CaseInsensitive) == 0)
            return p;
    }
    itemNotFound();
}

const Parameter &ParameterList::Item(int index) const {
    if (index < 0 || index >= Count())
        itemNotFound();
    return items_[size_t(index)];
}

} // namespace ado
