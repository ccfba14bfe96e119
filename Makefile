# Talvine: build, test and try the converter.
#
#   make test    install what is missing, build, run every test (also under
#                AddressSanitizer and UndefinedBehaviorSanitizer)
#   make demo    install what is missing, build, and convert the examples
#   make bench   build and run the benchmarks
#   make fuzz    build the fuzz targets with clang and run each FUZZ_SECONDS
#                seconds (default 60); fails on any finding
#   make screenshot
#                build, convert the examples in the window under a virtual
#                display and save its picture as docs/window.png
#   make windows install the cross tools, cross-build the Windows programs
#                and write dist/talvine-<version>-windows-x64.zip
#   make test-windows
#                cross-build the tests, run them under Wine and compare the
#                conversions of both builds (part of make test)

BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_BENCH ?= build-bench
BUILD_WINDOWS ?= build-windows
BUILD_FUZZ ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TEST_SECONDS ?= 20
FUZZ_CXX   ?= clang++
# clang with its libFuzzer runtime, for make fuzz.
FUZZ_PACKAGES := clang libclang-rt-dev
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CONFIGURE  := scripts/configure.sh

# Debian packages the build needs: the compiler and libraries, Qt 6 and a
# Japanese font for the window, a virtual display and ImageMagick for its picture.
PACKAGES := g++ cmake make ninja-build pkg-config zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev \
            qt6-base-dev fonts-ipafont-gothic xvfb imagemagick

# What the Windows cross build needs: mingw-w64 with posix threads, static
# zlib for it, GoogleTest's sources and Wine to run the tests.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix mingw-w64 libz-mingw-w64-dev googletest wine wine64 cmake ninja-build
VERSION := $(shell sed -n 's/^project(Talvine VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
WINDOWS_ZIP := dist/talvine-$(VERSION)-windows-x64.zip

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build test test-release test-sanitize test-fuzz fuzz fuzz-build bench demo screenshot clean \
        deps-windows build-windows test-windows windows

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

build: deps
	$(CONFIGURE) $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

test-release: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: deps
	$(CONFIGURE) $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DTALVINE_SANITIZE=ON
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(BUILD_ASAN) --output-on-failure -j $(JOBS)

test: test-release test-sanitize test-fuzz test-windows

# The fuzz targets, briefly, so that they keep building and finding nothing.
test-fuzz:
	$(MAKE) fuzz FUZZ_SECONDS=$(FUZZ_TEST_SECONDS)

fuzz-build: deps
	@missing=""; \
	for p in $(FUZZ_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi
	$(CONFIGURE) $(BUILD_FUZZ) -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTALVINE_FUZZ=ON -DTALVINE_BUILD_TESTS=OFF
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target talvine_fuzz

fuzz: fuzz-build
	scripts/fuzz.sh $(BUILD_FUZZ) $(FUZZ_SECONDS)

deps-windows:
	@missing=""; \
	for p in $(WINDOWS_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

build-windows: deps-windows
	$(CONFIGURE) $(BUILD_WINDOWS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_WINDOWS) -j $(JOBS)

# The suite under Wine (one process), then the same conversions and reports
# from both builds, compared byte for byte.
test-windows: build-windows build
	ctest --test-dir $(BUILD_WINDOWS) --output-on-failure
	scripts/cross-build-check.sh $(BUILD) $(BUILD_WINDOWS)

windows: build-windows
	scripts/package-windows.sh $(BUILD_WINDOWS) $(WINDOWS_ZIP)

bench: deps
	$(CONFIGURE) $(BUILD_BENCH) -DCMAKE_BUILD_TYPE=Release -DTALVINE_BUILD_TESTS=OFF -DTALVINE_BUILD_BENCH=ON
	cmake --build $(BUILD_BENCH) -j $(JOBS)
	$(BUILD_BENCH)/bench/talvine_bench

demo: build
	@rm -rf out/demo && mkdir -p out/demo
	@echo "== Converting the examples into out/demo"
	$(BUILD)/talvine-cli -o out/demo examples/plan.jww examples/door.jws
	@echo "== Before"
	@$(BUILD)/talvine-examples --show examples/plan.jww examples/door.jws
	@echo "== After"
	@$(BUILD)/talvine-examples --show out/demo/plan.jww out/demo/door.jws

screenshot: build
	BUILD=$(BUILD) scripts/screenshot.sh docs/window.png

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_BENCH) $(BUILD_FUZZ) $(BUILD_WINDOWS)
