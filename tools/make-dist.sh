#!/bin/sh
# Gathers a release: both architectures' programs with the install files in
# DEST/qxlmon-VERSION/ (x86/, x64/, the INF and README at the top, since the
# INF serves both) and DEST/qxlmon-VERSION.zip.
# make-dist.sh VERSION WIN32DIR WIN64DIR DEST
set -eu
version=$1 win32=$2 win64=$3 dest=$4
root=$(cd "$(dirname "$0")/.." && pwd)

# What ships. Per architecture: files of the build tree, copied into x86/ or
# x64/. QXSMON.EXE is the application's own build (app/), never the test
# stand-in in bin/. Optional files are skipped with a warning when missing.
arch_files="bin/qxlmon.dll bin/qxlsetup.exe app/QXSMON.EXE"
optional_files=""
# Text files of the source tree: source and name in the release.
text_files="install/qxlmon.inf:qxlmon.inf install/README.txt:README.txt"

name=qxlmon-$version
out=$dest/$name
rm -rf "$out" "$dest/$name.zip"
mkdir -p "$out"

is_optional() { case " $optional_files " in *" $1 "*) return 0 ;; esac; return 1; }

# copy_arch FOLDER BUILD_TREE PE_FORMAT OBJDUMP
copy_arch() {
    folder=$1 tree=$2 format=$3 objdump=$4
    mkdir -p "$out/$folder"
    for file in $arch_files; do
        if [ ! -f "$tree/$file" ]; then
            if is_optional "$file"; then
                echo "make-dist: warning: $tree/$file is missing, $folder/$(basename "$file") not shipped" >&2
                continue
            fi
            echo "make-dist: $tree/$file is missing" >&2; exit 1
        fi
        # A file of the other architecture in this folder would install and then fail to load.
        found=$("$objdump" -f "$tree/$file" | awk '/file format/{print $NF; exit}')
        if [ "$found" != "$format" ]; then
            echo "make-dist: $tree/$file is $found, expected $format" >&2; exit 1
        fi
        cp "$tree/$file" "$out/$folder/"
        # DWARF is no use to a Windows debugger; the build tree keeps it.
        "${objdump%objdump}strip" --strip-debug "$out/$folder/$(basename "$file")"
    done
}

copy_arch x86 "$win32" pei-i386 i686-w64-mingw32-objdump
copy_arch x64 "$win64" pei-x86-64 x86_64-w64-mingw32-objdump

# Windows line ends for Notepad and setup; @VERSION@ names the release.
for pair in $text_files; do
    sed -e "s/@VERSION@/$version/g" -e 's/\r*$/\r/' "$root/${pair%%:*}" > "$out/${pair#*:}"
done

(cd "$dest" && zip -qrX "$name.zip" "$name")
(cd "$dest" && find "$name" -type f | sort)
echo "make-dist: $dest/$name.zip"
