#!/bin/sh
# Builds the release archive and checks that it holds exactly the files INSTALL.txt
# lists under "Contents", inside one top folder, with the DLL as built.
# Usage: check_package.sh CMAKE BUILD_DIR PACKAGE_NAME INSTALL_TXT DLL
cmake="$1" build="$2" name="$3" install_txt="$4" dll="$5"
zip="$build/$name.zip"
rm -f "$zip"
"$cmake" --build "$build" --target package >/dev/null || { echo "the package target failed"; exit 1; }
[ -f "$zip" ] || { echo "no $zip"; exit 1; }

listed=$(sed -n '/^Contents$/,/^[^ ]/p' "$install_txt" | sed -n 's/^  \([^ ][^ ]*\) .*/\1/p' | sort)
held=$(unzip -Z1 "$zip" | grep -v '/$' | sed "s|^$name/||" | sort)
if [ "$listed" != "$held" ]; then
  echo "INSTALL.txt lists:"; echo "$listed"
  echo "the archive holds:"; unzip -Z1 "$zip"
  exit 1
fi
unzip -p "$zip" "$name/qxlm.dll" | cmp -s - "$dll" || { echo "the archive's qxlm.dll is not the one built"; exit 1; }
echo "$name.zip:" $held
