# Third-party libraries, all from Debian packages:
#  - native: libpng-dev, zlib1g-dev, libfreetype-dev, libgtest-dev, libbenchmark-dev,
#    libsndfile1-dev;
#  - mingw: zlib from libz-mingw-w64-dev, libpng compiled from Debian's libpng1.6
#    source package by tools/build-mingw-libpng.sh into VORN_DEPS_PREFIX, and
#    GoogleTest compiled from /usr/src/googletest.
if(WIN32 AND CMAKE_CROSSCOMPILING)
  set(VORN_DEPS_PREFIX "" CACHE PATH "Prefix holding the mingw build of libpng")
  if(NOT EXISTS "${VORN_DEPS_PREFIX}/lib/libpng16.a")
    message(FATAL_ERROR "libpng for ${VORN_TRIPLET} not found under '${VORN_DEPS_PREFIX}'; "
                        "run tools/build-mingw-libpng.sh ${VORN_TRIPLET}")
  endif()
  add_library(vorn_zlib STATIC IMPORTED GLOBAL)
  set_target_properties(vorn_zlib PROPERTIES
    IMPORTED_LOCATION "/usr/${VORN_TRIPLET}/lib/libz.a"
    INTERFACE_INCLUDE_DIRECTORIES "/usr/${VORN_TRIPLET}/include")
  add_library(vorn_png STATIC IMPORTED GLOBAL)
  set_target_properties(vorn_png PROPERTIES
    IMPORTED_LOCATION "${VORN_DEPS_PREFIX}/lib/libpng16.a"
    INTERFACE_INCLUDE_DIRECTORIES "${VORN_DEPS_PREFIX}/include"
    INTERFACE_LINK_LIBRARIES vorn_zlib)
  add_library(vorn::png ALIAS vorn_png)

  if(VORN_TESTS)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
    # googletest's own CMake defines GTest::gtest and GTest::gtest_main.
  endif()
else()
  find_package(PNG REQUIRED)
  add_library(vorn::png ALIAS PNG::PNG)
  # Glyphs of the embedded faces (Windows draws text with GDI).
  find_package(Freetype REQUIRED)
  add_library(vorn::freetype ALIAS Freetype::Freetype)
  if(VORN_TESTS)
    find_package(GTest REQUIRED)
  endif()
  if(VORN_BENCHMARKS)
    find_package(benchmark REQUIRED)
  endif()
endif()
