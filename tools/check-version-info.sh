#!/bin/sh
# Reads a product image's version resource back as Windows shows it (the
# UTF-16 strings of its VERSIONINFO) and checks the version and file name.
# check-version-info.sh STRINGS FILE VERSION ORIGINAL_FILENAME
set -eu
strings_tool=$1
file=$2
version=$3
original=$4

# Each key of the string table is followed by its value.
value_of() {
    "$strings_tool" -a -el "$file" | awk -v key="$1" 'found{print; exit} $0==key{found=1}'
}
status=0
for pair in "FileVersion=$version" "ProductVersion=$version" \
            "OriginalFilename=$original" "ProductName=qxlmon"; do
    key=${pair%%=*} want=${pair#*=}
    got=$(value_of "$key")
    if [ "$got" != "$want" ]; then
        echo "$key: '$got', expected '$want'"; status=1
    fi
done
[ $status = 0 ] && echo "version $version, $original: 1 passed, 0 failed"
exit $status
