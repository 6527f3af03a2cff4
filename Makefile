# make test: installs what is missing, builds the native and Windows targets,
# creates the private Wine prefix and runs every test.
# make demo: builds the native tools too and runs the bundled sample jobs through
# the real DLL under Wine (qxlprint).
# make bench: times the real DLL under Wine and the native core, and writes
# docs/performance.md.
# make dist: both architectures' products and the install files in
# dist/qxlmon-VERSION/ and its zip.
# make faults: the whole fault matrix and the soak (long; make test runs a sample).
# make fuzz: each fuzzer for FUZZ_SECONDS (default 600; make test runs them briefly).
# make screenshots: pictures of QXSMON.EXE during a job, as PNG in build/screenshots/
# (make demo takes them too).

BUILD ?= build
JOBS ?= $(shell nproc)
# The Windows tests mostly wait on the printer and the application (a fifth
# of the CPU is busy at twice the cores), so they run four to a core.
WINE_JOBS ?= $(shell echo $$(( $(JOBS) * 4 )))
NATIVE := $(BUILD)/native
WIN32DIR := $(BUILD)/win32
WIN64DIR := $(BUILD)/win64

# Both architectures are products and always built. The Windows tests run the
# i686 build under 32-bit Wine where the kernel runs 32-bit code, and the x86_64
# build under 64-bit Wine elsewhere; the other build is built without its tests.
IA32 := $(shell tools/ia32-probe >/dev/null 2>&1 && echo yes || echo no)
ifeq ($(IA32),yes)
TESTDIR := $(WIN32DIR)
WIN32_TESTS := ON
WIN64_TESTS ?= OFF
LOADER := /usr/lib/wine/wine
WINEARCH := win32
else
TESTDIR := $(WIN64DIR)
# WIN32_TESTS=ON builds the i686 tests too (they cannot run here).
WIN32_TESTS ?= OFF
WIN64_TESTS := ON
LOADER := /usr/lib/wine/wine64
WINEARCH := win64
endif
PREFIX := $(abspath $(BUILD))/wineprefix-$(WINEARCH)
EMULATOR := $(abspath tools/wine-run);$(PREFIX);$(LOADER)
# Each run looks for a free display from its own starting number, so that
# runs side by side (several checkouts on one machine) do not take the same one.
XVFB = xvfb-run -a -n $$(( $$$$ % 400 + 100 )) -s "-screen 0 1280x1024x24"

VERSION := $(shell cat VERSION)

.PHONY: all deps native win32 win64 windows prefix test test-native test-windows demo bench dist screenshots faults fuzz clean

all: native windows

deps:
	@tools/install-deps.sh

native: deps
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	cmake --build $(NATIVE) -j $(JOBS)

# The toolchain file counts only at a tree's first configure; later runs pass it
# unused, which CMake would warn about.
win32: deps
	cmake -S . -B $(WIN32DIR) -G Ninja --no-warn-unused-cli -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DQXL_BUILD_TESTS=$(WIN32_TESTS) \
	    "-DCMAKE_CROSSCOMPILING_EMULATOR=$(EMULATOR)" >/dev/null
	cmake --build $(WIN32DIR) -j $(JOBS)

win64: deps
	cmake -S . -B $(WIN64DIR) -G Ninja --no-warn-unused-cli -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DQXL_BUILD_TESTS=$(WIN64_TESTS) \
	    "-DCMAKE_CROSSCOMPILING_EMULATOR=$(EMULATOR)" >/dev/null
	cmake --build $(WIN64DIR) -j $(JOBS)

windows: win32 win64

prefix: deps
	tools/make-wineprefix.sh $(PREFIX) $(LOADER) $(WINEARCH)

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)

# Runs a program of the test build under the private prefix; STOP_WINE stops
# the prefix's wineserver afterwards, keeping the program's exit status.
RUN_WINE = cd $(TESTDIR)/bin && $(XVFB) $(abspath tools/wine-run) $(PREFIX) $(LOADER)
STOP_WINE = WINEPREFIX=$(PREFIX) $(dir $(LOADER))wineserver -k 2>/dev/null

# The products' tables and version resources are checked natively in both
# builds (label "native"); everything else runs under Wine.
test-windows: windows prefix
	ctest --test-dir $(WIN32DIR) --output-on-failure -L native
	ctest --test-dir $(WIN64DIR) --output-on-failure -L native
	QXL_WINE_DETACH=1 $(XVFB) ctest --test-dir $(TESTDIR) --output-on-failure -j $(WINE_JOBS) -LE native; \
	    status=$$?; $(STOP_WINE); exit $$status

test: test-native test-windows

# Wine's processes are stopped while the virtual display still stands, so that
# none outlives it and says so after the demo's last line.
demo: native windows prefix
	QXL_BUILD=$(BUILD) $(XVFB) sh -c 'tools/demo.sh; status=$$?; $(STOP_WINE); exit $$status'
	tools/app-screenshots $(BUILD)/screenshots $(TESTDIR)/app $(PREFIX) $(LOADER)

# Timings are printed and written to docs/performance.md, never checked.
# BENCH_ARGS go to qxltiming, e.g. BENCH_ARGS="--flat-mb 1024" for the full
# 1 GB plain job (a long run).
BENCH_ARGS ?=
bench: native windows prefix
	$(XVFB) bench/bench.sh $(TESTDIR)/bin $(PREFIX) $(LOADER) $(NATIVE)/core_bench docs/performance.md \
	    $(BENCH_ARGS); status=$$?; $(STOP_WINE); exit $$status

# Each fuzzer for FUZZ_SECONDS (make test runs them for seconds only); a
# finding is written to the current directory as crash-* or leak-*.
FUZZ_SECONDS ?= 600
fuzz: native
	@for fuzzer in $(NATIVE)/*_fuzz; do \
	    echo "$$fuzzer: $(FUZZ_SECONDS) s"; \
	    $$fuzzer -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -print_final_stats=1 || exit 1; \
	done

# The whole fault matrix (every case, four workers side by side) and the soak:
# long runs, outside make test, which runs a sample of the matrix.
faults: windows prefix
	($(RUN_WINE) faults.exe --jobs 4); matrix=$$?; \
	($(RUN_WINE) faults.exe --soak); soak=$$?; \
	$(STOP_WINE); [ $$matrix = 0 ] && [ $$soak = 0 ]

dist: windows
	tools/make-dist.sh $(VERSION) $(WIN32DIR) $(WIN64DIR) dist

# The status monitor application printing, paused and waiting for an answer.
screenshots: windows prefix
	tools/app-screenshots $(BUILD)/screenshots $(TESTDIR)/app $(PREFIX) $(LOADER)

clean:
	rm -rf $(BUILD) dist
