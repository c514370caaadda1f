# Fuzz targets (libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer)
# for every reader of chunks and files from outside, plus the generator of
# their seed inputs. Configured by the preset "fuzz" (clang-14); `make fuzz`
# and `make fuzz-smoke` build and run them.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "VORN_FUZZ needs clang for libFuzzer; configure with the preset 'fuzz'")
endif()

# Everything is instrumented for coverage and both sanitizers; only the fuzz
# executables link libFuzzer's main.
target_compile_options(vorn_options INTERFACE
  -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
  "-fsanitize-coverage-ignorelist=${PROJECT_SOURCE_DIR}/tools/fuzz/coverage-ignore.txt"
  "-fsanitize-ignorelist=${PROJECT_SOURCE_DIR}/tools/fuzz/sanitizer-ignore.txt")
target_link_options(vorn_options INTERFACE -fsanitize=address,undefined)

set(fuzz_dir "${PROJECT_SOURCE_DIR}/tools/fuzz")
# The targets create instances through the module's own entry point, driven
# by the shared host.
add_library(vorn_fuzz_support STATIC "${fuzz_dir}/FuzzPlugin.cpp" "${PROJECT_SOURCE_DIR}/core/VstPluginMain.cpp")
target_include_directories(vorn_fuzz_support PUBLIC "${PROJECT_SOURCE_DIR}")
target_link_libraries(vorn_fuzz_support PUBLIC vorn_editor vorn_host)
target_compile_definitions(vorn_fuzz_support PRIVATE VORN_ENTRY_IN_PROGRAM)

set(VORN_FUZZ_TARGETS "")
foreach(pair IN ITEMS program_chunk:ProgramChunk bank_chunk:BankChunk program_file:ProgramFile
                      bank_file:BankFile bank_image:BankImage midi_events:MidiEvents
                      configuration:Configuration dispatcher:Dispatcher midi_file:MidiFile png:Png)
  string(REPLACE ":" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 source)
  add_executable(fuzz_${name} "${fuzz_dir}/Fuzz${source}.cpp")
  target_link_libraries(fuzz_${name} PRIVATE vorn_fuzz_support)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  list(APPEND VORN_FUZZ_TARGETS fuzz_${name})
endforeach()
# The command-line host's reader, compiled in directly (the tools are not
# part of the fuzz build).
target_sources(fuzz_midi_file PRIVATE "${PROJECT_SOURCE_DIR}/tools/vornhost/MidiFile.cpp")
target_link_libraries(fuzz_png PRIVATE vorn_graphics)

add_executable(make-fuzz-seeds "${fuzz_dir}/MakeSeeds.cpp")
target_link_libraries(make-fuzz-seeds PRIVATE vorn_engine)

add_custom_target(vorn_fuzzers DEPENDS ${VORN_FUZZ_TARGETS} make-fuzz-seeds)
