# Sourced by the package checks with $zip set. Every build from the repository makes the package
# (its data sources are in the repository and one pinned npm package), so a missing zip is a
# failure, shown with the build's reason.
if [ ! -f "$zip" ]; then
  echo "FAIL: no package at $zip"
  [ -f "$zip.missing" ] && cat "$zip.missing"
  exit 1
fi
