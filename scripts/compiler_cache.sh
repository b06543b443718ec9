# Sourced by the build scripts: compile through ccache when it is there, so
# the package's clean build and repeated runs reuse the objects of earlier
# builds. Paths are taken relative to the tree, so a fresh clone elsewhere
# hits the same cache.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR=1
fi
