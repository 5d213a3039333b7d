// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's ADO: a connection to an Access database read through the database helper, commands
// that select every record of a table, forward-only results, and the provider's properties.

#include "database_client/ado/Connection.h"
#include "database_client/ado/Properties.h"
#include "database_client/ado/Recordset.h"
#include "database_client/ado/Types.h"
