# Sourced by the entry scripts: from the repository's top, installs the dependencies, builds
# everything and starts the build's Wine prefix, which is stopped again when the script exits.
top="$PWD"
./scripts/setup.sh
./scripts/build.sh
export WINEPREFIX="$top/build/wineprefix"
trap '"$top/scripts/wine-prefix.sh" stop' EXIT
./scripts/wine-prefix.sh start
