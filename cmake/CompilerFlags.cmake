# Flags shared by every target. Floating point must give the same numbers on
# all three targets: no contraction into fused multiply-adds anywhere, and the
# i386 toolchain file switches maths from x87 to SSE2.
add_library(vorn_options INTERFACE)
target_compile_options(vorn_options INTERFACE
  -ffp-contract=off
  -Wall -Wextra -Wpedantic -Werror
  -Wno-missing-field-initializers)
# The version lives in the project() line only; the code gets it packed as
# 0x00MMmmrr, the packaging scripts read it from there too.
math(EXPR vorn_version_packed
  "(${PROJECT_VERSION_MAJOR} << 16) | (${PROJECT_VERSION_MINOR} << 8) | ${PROJECT_VERSION_PATCH}"
  OUTPUT_FORMAT HEXADECIMAL)
target_compile_definitions(vorn_options INTERFACE VORN_VERSION_PACKED=${vorn_version_packed})

if(VORN_SANITIZE)
  target_compile_options(vorn_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(vorn_options INTERFACE -fsanitize=address,undefined)
endif()

if(VORN_SANITIZE_THREAD)
  target_compile_options(vorn_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(vorn_options INTERFACE -fsanitize=thread)
endif()

if(WIN32)
  # Static runtime: the DLLs must import Windows system DLLs only.
  target_link_options(vorn_options INTERFACE -static -static-libgcc -static-libstdc++)
  target_compile_definitions(vorn_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
endif()
