# Entry points for people and CI. Every target installs what it needs first.
#   make demo   build the Linux module and the command-line host, print the
#               plug-in's identity, parameters and programs, render out/demo.wav
#   make test   build all targets (Linux, Linux+sanitizers, Windows x86-64 and
#               i386) and run every test suite (Windows ones under Wine)
#   make dist   build the three modules into dist/
SHELL := /bin/bash
PRESETS_TEST := linux linux-asan mingw64 mingw32
JOBS ?= $(shell nproc)

.PHONY: all deps deps-mingw demo test dist format-check clean $(addprefix build-,$(PRESETS_TEST)) $(addprefix test-,$(PRESETS_TEST))

all: dist

deps:
	@bash tools/install-deps.sh

deps-mingw: deps
	@bash tools/build-mingw-libpng.sh x86_64-w64-mingw32
	@bash tools/build-mingw-libpng.sh i686-w64-mingw32

build/%/build.ninja:
	@cmake --preset $* >/dev/null

build-linux build-linux-asan: build-%: deps build/%/build.ninja
	@cmake --build build/$* -j $(JOBS)

build-mingw64 build-mingw32: build-%: deps-mingw build/%/build.ninja
	@cmake --build build/$* -j $(JOBS)

$(addprefix test-,$(PRESETS_TEST)): test-%: build-%
	@echo "== test suites: $* =="
	@ctest --test-dir build/$* --output-on-failure -j 1

test: format-check $(addprefix test-,$(PRESETS_TEST))
	@echo "== all suites passed on: $(PRESETS_TEST) =="

format-check: deps
	@bash tools/check-format.sh

demo: build-linux
	@mkdir -p out
	@build/linux/tools/vornhost info build/linux/module/VORN64.so
	@build/linux/tools/vornhost render build/linux/module/VORN64.so -o out/demo.wav --seconds 1
	@echo "demo: wrote out/demo.wav"

dist: build-linux build-mingw64 build-mingw32
	@mkdir -p dist/linux-x86_64 dist/windows-x86_64 dist/windows-x86
	@cp build/linux/module/VORN64.so dist/linux-x86_64/
	@cp build/mingw64/module/VORN64.dll dist/windows-x86_64/
	@cp build/mingw32/module/VORN.dll dist/windows-x86/
	@bash tools/check-module.sh dist/linux-x86_64/VORN64.so dist/windows-x86_64/VORN64.dll dist/windows-x86/VORN.dll
	@echo "dist: modules in dist/"

clean:
	rm -rf build dist out
