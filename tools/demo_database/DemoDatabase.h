// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Jet4Writer.h"

namespace jet4 {

// The demonstration database that lies beside the program as ADODEMO.MDB: Authors (Au_ID, Author,
// Year Born) of invented writers, one of them without a year of birth, and two small tables about
// their books.
std::vector<Object> demoDatabase();

} // namespace jet4
