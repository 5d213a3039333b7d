# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the menu entry for a program path: cmake -DTEMPLATE=in -DOUTPUT=out -DPROGRAM=path -P this,
# or include() it with those set. The install runs it once the prefix is known, so that Exec names the
# installed program by its absolute path and the entry starts it whether or not its folder is on PATH.

# Exec holds the path as it stands unless it has a character the Desktop Entry rules reserve; then it
# is quoted, with ", `, $ and \ escaped inside the quotes, and \ escaped again for the key's string.
# A % is doubled in either case: alone it would start a field code.
if(PROGRAM MATCHES "^[A-Za-z0-9/._+,:@=-]+$")
    set(LUMSIFTER_EXEC "${PROGRAM}")
else()
    string(REPLACE "\\" "\\\\" LUMSIFTER_EXEC "${PROGRAM}")
    string(REPLACE "\"" "\\\"" LUMSIFTER_EXEC "${LUMSIFTER_EXEC}")
    string(REPLACE "`" "\\`" LUMSIFTER_EXEC "${LUMSIFTER_EXEC}")
    string(REPLACE "$" "\\$" LUMSIFTER_EXEC "${LUMSIFTER_EXEC}")
    string(REPLACE "\\" "\\\\" LUMSIFTER_EXEC "\"${LUMSIFTER_EXEC}\"")
endif()
string(REPLACE "%" "%%" LUMSIFTER_EXEC "${LUMSIFTER_EXEC}")
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
