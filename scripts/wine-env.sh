# The Wine environment every program of the build runs in, sourced by the other scripts with build_dir set to the
# build folder: the build's own prefix (the user's Wine settings are left alone), no debug output, no Mono or
# Gecko installers offered, and no menu entries made on the host.
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe='
