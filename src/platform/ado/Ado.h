// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's ADO: a connection to an Access database read through the database helper, commands
// that select every record of a table, forward-only results, and the provider's properties.

#include "platform/ado/Connection.h"
#include "platform/ado/Properties.h"
#include "platform/ado/Recordset.h"
#include "platform/ado/Types.h"
