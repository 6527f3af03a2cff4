# make test: installs what is missing, builds the native and Windows targets,
# creates the private Wine prefix and runs every test.
# make demo: runs a whole job through the real DLL under Wine.
# make bench: prints timings of the real DLL under Wine and of the native core.
# make screenshots: pictures of QXSMON.EXE during a job, as PNG in build/screenshots/.

BUILD ?= build
JOBS ?= $(shell nproc)
# The Windows tests mostly wait on the printer and the application, not the CPU.
WINE_JOBS ?= $(shell echo $$(( $(JOBS) * 2 )))
NATIVE := $(BUILD)/native
WIN32DIR := $(BUILD)/win32
WIN64DIR := $(BUILD)/win64

# The Windows tests run the i686 build under 32-bit Wine where the kernel runs
# 32-bit code, and an x86_64 build of the same sources under 64-bit Wine elsewhere.
IA32 := $(shell tools/ia32-probe >/dev/null 2>&1 && echo yes || echo no)
ifeq ($(IA32),yes)
TESTDIR := $(WIN32DIR)
WIN32_TESTS := ON
LOADER := /usr/lib/wine/wine
WINEARCH := win32
else
TESTDIR := $(WIN64DIR)
# Only the product is built for i686 here; WIN32_TESTS=ON builds its tests too.
WIN32_TESTS ?= OFF
LOADER := /usr/lib/wine/wine64
WINEARCH := win64
endif
PREFIX := $(abspath $(BUILD))/wineprefix-$(WINEARCH)
EMULATOR := $(abspath tools/wine-run);$(PREFIX);$(LOADER)
XVFB := xvfb-run -a -s "-screen 0 1280x1024x24"

.PHONY: all deps native win32 win64 windows prefix test test-native test-windows demo bench screenshots clean

all: native windows

deps:
	@tools/install-deps.sh

native: deps
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	cmake --build $(NATIVE) -j $(JOBS)

win32: deps
	cmake -S . -B $(WIN32DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DQXL_BUILD_TESTS=$(WIN32_TESTS) \
	    "-DCMAKE_CROSSCOMPILING_EMULATOR=$(EMULATOR)" >/dev/null
	cmake --build $(WIN32DIR) -j $(JOBS)

win64: deps
	cmake -S . -B $(WIN64DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
	    "-DCMAKE_CROSSCOMPILING_EMULATOR=$(EMULATOR)" >/dev/null
	cmake --build $(WIN64DIR) -j $(JOBS)

ifeq ($(IA32),yes)
windows: win32
else
windows: win32 win64
endif

prefix: deps
	tools/make-wineprefix.sh $(PREFIX) $(LOADER) $(WINEARCH)

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)

# Runs a program of the test build under the private prefix; STOP_WINE stops
# the prefix's wineserver afterwards, keeping the program's exit status.
RUN_WINE = cd $(TESTDIR)/bin && $(XVFB) $(abspath tools/wine-run) $(PREFIX) $(LOADER)
STOP_WINE = WINEPREFIX=$(PREFIX) $(dir $(LOADER))wineserver -k 2>/dev/null

test-windows: windows prefix
	ctest --test-dir $(WIN32DIR) --output-on-failure -R '_tables$$'
	$(XVFB) ctest --test-dir $(TESTDIR) --output-on-failure -j $(WINE_JOBS) -E '_tables$$'; \
	    status=$$?; $(STOP_WINE); exit $$status

test: test-native test-windows

demo: windows prefix
	$(RUN_WINE) qxldemo.exe; status=$$?; $(STOP_WINE); exit $$status

# Timings are printed, never checked. The native benchmarks run when
# `make native` has built them.
bench: windows prefix
	$(RUN_WINE) qxltiming.exe; status=$$?; $(STOP_WINE); exit $$status
	@if [ -x $(NATIVE)/core_bench ]; then $(NATIVE)/core_bench; \
	    else echo "no $(NATIVE)/core_bench: make native builds it (needs Google Benchmark)"; fi

# The status monitor application printing, paused and waiting for an answer.
screenshots: windows prefix
	tools/app-screenshots $(BUILD)/screenshots $(TESTDIR)/app $(PREFIX) $(LOADER)

clean:
	rm -rf $(BUILD)
