#!/bin/sh
# Succeeds when every Debian package named on the command line is installed.
#   sh tools/installed.sh package[:arch] ...
[ $# -gt 0 ] || exit 0
count=$(dpkg-query -W -f='${db:Status-Status}\n' "$@" 2>/dev/null | grep -cx installed)
[ "$count" -eq $# ]
