# Entry points for people and CI. Every target installs what it needs first.
#   make demo   build the Linux module and the command-line host, print the
#               plug-in's identity, parameters and programs, render the demo
#               phrase to out/demo.wav and out/demo.flac and draw out/demo.png
#               (spectrogram over waveform)
#   make bench  build and print the real-time factor of the Linux module:
#               no notes, 64 held notes, 64 held notes through the voice filters
#   make test   build all targets (Linux, Linux+sanitizers, Windows x86-64 and
#               i386) and run every test suite (Windows ones under Wine)
#   make dist   build the three modules into dist/
#   make package  the Windows installer and the Debian package, into dist/
#   make fuzz   build the fuzz targets (clang-14, libFuzzer) and run each for
#               FUZZ_SECONDS; make fuzz-smoke runs each for FUZZ_SMOKE_SECONDS
#               (part of make test). Crashes land in build/fuzz/artifacts/.
SHELL := /bin/bash
space := $(subst ,, )
PRESETS_TEST := linux linux-asan mingw64 mingw32
JOBS ?= $(shell nproc)
# Compiler cache shared by every clone on this machine: paths are taken
# relative to the source tree, so a fresh clone (as CI makes) hits the cache.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
FUZZ_SECONDS ?= 120
FUZZ_SMOKE_SECONDS ?= 10
FUZZ_TARGETS := program_chunk bank_chunk program_file bank_file bank_image midi_events configuration \
	dispatcher midi_file png

.PHONY: package test-package build-linux-tsan test-linux-tsan all deps deps-mingw demo bench test dist format-check clean build-fuzz fuzz fuzz-smoke $(addprefix build-,$(PRESETS_TEST)) $(addprefix test-,$(PRESETS_TEST))

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

# ThreadSanitizer: the suites that drive one instance from several threads.
TSAN_SUITES := core_tests module_tests editor_tests
build-linux-tsan: deps build/linux-tsan/build.ninja
	@cmake --build build/linux-tsan -j $(JOBS) --target $(TSAN_SUITES) vorn_module

test-linux-tsan: build-linux-tsan
	@echo "== test suites: linux-tsan (ThreadSanitizer) =="
	@TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --test-dir build/linux-tsan --output-on-failure -j 1 \
		-R '^($(subst $(space),|,$(TSAN_SUITES)))$$'

test: format-check $(addprefix test-,$(PRESETS_TEST)) test-linux-tsan test-package fuzz-smoke
	@echo "== all suites passed on: $(PRESETS_TEST); fuzz targets ran $(FUZZ_SMOKE_SECONDS) s each =="

build-fuzz: deps build/fuzz/build.ninja
	@cmake --build build/fuzz -j $(JOBS) --target vorn_fuzzers

# Each target runs on its own corpus (kept between runs) seeded by the seed
# generator; any crash or failed check stops make with the reproducer saved.
# The seed generator and the targets see a private home folder, never the
# developer's configuration (the targets also make one of their own).
FUZZ_ENV := HOME=$(CURDIR)/build/fuzz/home XDG_DATA_HOME=$(CURDIR)/build/fuzz/home/data \
	XDG_CONFIG_HOME=$(CURDIR)/build/fuzz/home/config XDG_DOCUMENTS_DIR=$(CURDIR)/build/fuzz/home/Documents
define run-fuzzers
	@mkdir -p build/fuzz/home
	@rm -rf build/fuzz/seeds && $(FUZZ_ENV) build/fuzz/make-fuzz-seeds build/fuzz/seeds
	@mkdir -p build/fuzz/artifacts
	@set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$t; \
	  echo "== fuzz $$t: $(1) s =="; \
	  $(FUZZ_ENV) build/fuzz/fuzz_$$t -max_total_time=$(1) -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
	    -artifact_prefix=build/fuzz/artifacts/$$t- build/fuzz/corpus/$$t build/fuzz/seeds/$$t \
	    > build/fuzz/$$t.log 2>&1 || { tail -n 60 build/fuzz/$$t.log; exit 1; }; \
	  echo "$$(grep -E '^stat::number_of_executed_units' build/fuzz/$$t.log) in $(1) s"; \
	done
endef

fuzz: build-fuzz
	$(call run-fuzzers,$(FUZZ_SECONDS))

fuzz-smoke: build-fuzz
	$(call run-fuzzers,$(FUZZ_SMOKE_SECONDS))

format-check: deps
	@bash tools/check-format.sh

HOST := build/linux/tools/vornhost
MODULE := build/linux/module/VORN64.so

# sox draws the spectrogram with a 58-pixel margin left of its 1000-pixel time
# axis; the waveform below is drawn on the same columns.
demo: build-linux
	@mkdir -p out
	@$(HOST) info $(MODULE)
	@$(HOST) render $(MODULE) --demo -o out/demo.wav -o out/demo.flac
	@sox -V1 out/demo.wav -n remix - spectrogram -x 1000 -y 400 -z 100 -t "VORN demo phrase" \
		-o out/demo-spectrogram.png
	@$(HOST) plot out/demo.wav --spectrogram out/demo-spectrogram.png --plot-area 58:1000 -o out/demo.png
	@sox -V1 out/demo.wav -n stat 2>&1 | grep -E "^(Length|Maximum amplitude|Minimum amplitude|RMS +amplitude)"
	@# The editor's window, on the current display or a private virtual one.
	@if [ -n "$$DISPLAY" ]; then $(HOST) snapshot $(MODULE) -o out/panel.png --edit-layout; \
	else xvfb-run -a -s "-screen 0 1280x1024x24" $(HOST) snapshot $(MODULE) -o out/panel.png --edit-layout; fi
	@echo "demo: wrote out/demo.wav, out/demo.flac, out/demo.png and out/panel.png"

# Peers measured beside VORN by make bench, from Debian's amsynth,
# dpf-plugins-vst (Kars) and zynaddsubfx-vst; each run is pinned to one core
# and the best of 3 counts.
BENCH_PEERS := /usr/lib/vst/Kars-vst.so /usr/lib/vst/ZynAddSubFX.so /usr/lib/vst/amsynth_vst.so
PIN := $(shell command -v taskset >/dev/null && echo taskset -c 1)

bench: build-linux
	@bash tools/install-deps.sh --bench-peers
	@for notes in 0 16 64; do \
	  for module in $(MODULE) $(BENCH_PEERS); do \
	    [ -f "$$module" ] && $(PIN) $(HOST) bench "$$module" --notes $$notes --runs 3 2>/dev/null | grep '^bench'; \
	  done; \
	done; true
	@$(PIN) $(HOST) bench $(MODULE) --notes 64 --vcf --runs 3
	@build/linux/tools/vorn_unloadbench $(MODULE) 100

dist: build-linux build-mingw64 build-mingw32
	@mkdir -p dist/linux-x86_64 dist/windows-x86_64 dist/windows-x86
	@strip --strip-debug -o dist/linux-x86_64/VORN64.so build/linux/module/VORN64.so
	@x86_64-w64-mingw32-strip --strip-debug -o dist/windows-x86_64/VORN64.dll build/mingw64/module/VORN64.dll
	@i686-w64-mingw32-strip --strip-debug -o dist/windows-x86/VORN.dll build/mingw32/module/VORN.dll
	@bash tools/check-module.sh dist/linux-x86_64/VORN64.so dist/windows-x86_64/VORN64.dll dist/windows-x86/VORN.dll
	@echo "dist: modules in dist/"

# Packages for musicians, from the modules of make dist: the Windows installer
# (NSIS) and the Debian package; test-package checks both (installer under
# Wine, package with dpkg-deb, lintian and a scratch root).
package: dist
	@bash tools/package-windows.sh
	@bash tools/package-deb.sh

test-package: package
	@bash tools/check-deb.sh
	@bash tools/check-installer.sh

clean:
	rm -rf build dist out
