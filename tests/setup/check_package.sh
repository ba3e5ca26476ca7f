#!/bin/sh
# Builds the release archive and checks that it holds exactly the files INSTALL.txt
# lists under "Contents", inside one top folder, with the code of the DLL as built (the
# archive's copy is stripped, which also stamps it anew).
# Usage: check_package.sh CMAKE OBJCOPY BUILD_DIR PACKAGE_NAME INSTALL_TXT DLL
cmake="$1" objcopy="$2" build="$3" name="$4" install_txt="$5" dll="$6"
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
check="$build/package-check"
mkdir -p "$check"
unzip -p "$zip" "$name/qxlm.dll" >"$check/qxlm.dll"
"$objcopy" -O binary -j .text "$dll" "$check/built.text" &&
  "$objcopy" -O binary -j .text "$check/qxlm.dll" "$check/archived.text" || exit 1
cmp -s "$check/built.text" "$check/archived.text" || { echo "the archive's qxlm.dll is not the one built"; exit 1; }
rm -rf "$check"
echo "$name.zip:" $held
