# The environment the scripts here run Wine in, as CTest runs each Windows test
# (TUNELIFT_WINE_ENVIRONMENT in CMakeLists.txt): headless, without Wine's debug output, and
# without Mono and Gecko, which Wine would offer to download and the tests need neither of.
# Sourced after WINEPREFIX is set.
export WINEDEBUG=-all DISPLAY= WAYLAND_DISPLAY= WINEDLLOVERRIDES="mscoree,mshtml="
