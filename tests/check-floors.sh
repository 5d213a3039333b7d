#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the floors of src/: a file may include its own folder and folders on lower floors only, and no
# two folders may include each other, even through others. Prints every offending include; exits 1 then.
set -u
src=${1:-$(dirname "$0")/../src}

# The floors, lowest first; folders on one line share a floor.
floors=(
    "base"
    "helper_protocol"
    "platform controls dbhost"
    "database_client"
    "search_component saved_list result_actions database system_info"
    "status_window"
    "main_window"
    "app"
)

declare -A floorOf
for i in "${!floors[@]}"; do
    for folder in ${floors[$i]}; do floorOf[$folder]=$i; done
done

status=0
edges=""
while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -E 's/.*#include "([^"/]+)\/.*/\1/' <<<"$line")
    folder=${file#"$src"/}
    folder=${folder%%/*}
    [ "$target" = "$folder" ] && continue
    [ -n "${floorOf[$target]+x}" ] || continue # a header of the same folder, a generated form, a library
    if [ -z "${floorOf[$folder]+x}" ]; then
        echo "$file: the folder $folder has no floor"
        status=1
        continue
    fi
    if [ "${floorOf[$target]}" -ge "${floorOf[$folder]}" ] && ! [[ " ${floors[${floorOf[$folder]}]} " == *" $target "* ]]; then
        echo "$file includes $target/, a higher floor"
        status=1
    fi
    edges+="$folder $target"$'\n'
done < <(grep -rnE '^#include "[^"/]+/' "$src" --include='*.h' --include='*.cpp' | sed -E 's/:[0-9]+:/:/')

# The search component is a plugin the program loads from its file: in src/ only the plugin includes its
# headers, and of the program's side it sees only the interface it implements.
while IFS= read -r line; do
    echo "${line%%:*} includes the search component's own headers: the program reaches it through its interface"
    status=1
done < <(grep -rnE '^#include "search_component/plugin/' "$src" --include='*.h' --include='*.cpp' |
    sed -E 's/:[0-9]+:/:/' | grep -v "^$src/search_component/plugin/")
while IFS= read -r line; do
    echo "${line%%:*}: the plugin includes ${line#*#include } of the program's side"
    status=1
done < <(grep -rnE '^#include "search_component/[^/"]+"' "$src/search_component/plugin" --include='*.h' --include='*.cpp' |
    sed -E 's/:[0-9]+:/:/' | grep -v 'search_component/SearchComponent.h"')

# Folders of one floor may use each other, but never in a circle: tsort finds one.
if ! sort -u <<<"$edges" | sed '/^$/d' | tsort >/dev/null 2>/tmp/floors-tsort.$$; then
    echo "folders include each other in a circle:"
    sed 's/^/    /' /tmp/floors-tsort.$$
    status=1
fi
rm -f /tmp/floors-tsort.$$
[ $status -eq 0 ] && echo "floors: every include looks down"
exit $status
