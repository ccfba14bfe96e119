# Talvine: build, test and try the converter.
#
#   make demo    install what the build needs, build the programs and convert
#                the examples
#   make build   the same set-up; builds talvine, talvine-cli and the examples tool
#   make test    also install what the tests need, build everything and run
#                every test (also under AddressSanitizer and
#                UndefinedBehaviorSanitizer, and the output check and batch
#                run under ThreadSanitizer)
#   make bench   build and run the benchmarks
#   make fuzz    build the fuzz targets with clang and run each FUZZ_SECONDS
#                seconds (default 60); fails on any finding
#   make screenshot
#                convert the examples in the window under a virtual display
#                and save its picture as docs/window.png; the same with the
#                Windows window under Wine as docs/window-windows.png
#   make install install the programs, the desktop entry, the icon, the file
#                types and the manual pages under PREFIX (/usr/local; DESTDIR
#                is honoured)
#   make uninstall
#                remove what make install installed (give it the same PREFIX)
#   make package build the Debian package talvine_VERSION_ARCH.deb in the build folder
#   make windows install the cross tools, cross-build the Windows programs
#                and write dist/talvine-<version>-windows-x64.zip
#   make test-windows
#                cross-build the tests, run them under Wine and compare the
#                conversions of both builds (part of make test)
#   make web     install emscripten, build the engine to WebAssembly and
#                write the page dist/talvine-web.html
#   make test-web
#                run the WebAssembly test suite under Node.js and the page in
#                headless Chromium against talvine-cli (part of make test)
#   make bench-web
#                convert the bench drawing in the page and with talvine-cli
#
# Every target installs the Debian packages it needs that are missing
# (through sudo when not root) and they can run in any order in one folder.
#
# The build folders are those of the presets in CMakePresets.json, which
# the targets configure, build, test and package with: release (build),
# sanitizers (build-asan), thread (build-tsan), fuzz (build-fuzz), bench
# (build-bench) and windows (build-windows). The presets fix them, so they
# cannot be set on the command line.

override BUILD         := build
override BUILD_ASAN    := build-asan
override BUILD_BENCH   := build-bench
override BUILD_WINDOWS := build-windows
override BUILD_FUZZ    := build-fuzz
override BUILD_TSAN    := build-tsan
override BUILD_WEB     := build-web
FUZZ_SECONDS ?= 60
FUZZ_TEST_SECONDS ?= 20
# clang with its libFuzzer runtime, for make fuzz.
FUZZ_PACKAGES := clang libclang-rt-dev
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX     ?= /usr/local
DESTDIR    ?=
CONFIGURE  := scripts/configure.sh
DEPS       := scripts/deps.sh

# Debian packages, by what needs them.
# The build and the window: compiler, CMake, zlib, Qt 6 with its platform
# plugins and translations, and a Japanese font.
PACKAGES_BUILD := g++ cmake make ninja-build pkg-config zlib1g-dev qt6-base-dev qt6-qpa-plugins \
                  qt6-translations-l10n fonts-ipafont-gothic libfmt-dev libfast-float-dev
# The tests: GoogleTest, the tools that check the installed files and the
# package, and those that rasterise and compare the examples' pictures.
PACKAGES_TEST := libgtest-dev libgmock-dev help2man desktop-file-utils libxml2-utils shared-mime-info \
                 xdg-utils dpkg-dev file librsvg2-bin imagemagick
PACKAGES_BENCH := libbenchmark-dev
PACKAGES_SCREENSHOT := xvfb imagemagick librsvg2-bin
# make install: the manual page, and the caches of file types and desktop entries.
PACKAGES_INSTALL := help2man shared-mime-info desktop-file-utils
# make package: the manual page, and dpkg-shlibdeps for the run-time dependencies.
PACKAGES_PACKAGE := help2man dpkg-dev file

# A folder configured for the first time builds no tests; one that has them
# (make test was run in it) keeps them.
CONFIGURE_PROGRAMS = $(CONFIGURE) release $(BUILD) \
                     $$([ -f $(BUILD)/CMakeCache.txt ] || echo -DTALVINE_BUILD_TESTS=OFF)

.PHONY: all deps build test test-release test-sanitize test-thread test-fuzz fuzz fuzz-build bench demo screenshot install uninstall package clean \
        deps-windows build-windows test-windows windows web test-web bench-web screenshot-web

# What the Windows cross build needs: mingw-w64 with posix threads, static
# zlib for it, GoogleTest's sources and Wine to run the tests.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix mingw-w64 libz-mingw-w64-dev googletest wine wine64 cmake ninja-build \
                    libfmt-dev libfast-float-dev
# The window's test under Wine needs a virtual display; the zip's test unzip.
WINDOWS_TEST_PACKAGES := xvfb unzip
VERSION := $(shell sed -n 's/^project.Talvine VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
WINDOWS_ZIP := dist/talvine-$(VERSION)-windows-x64.zip

all: build

deps:
	@$(DEPS) $(PACKAGES_BUILD)

# The programs a user runs (make demo, make build, make screenshot): the
# build preset "programs".
build: deps
	$(CONFIGURE_PROGRAMS)
	cmake --build --preset programs -j $(JOBS)

test-release:
	@$(DEPS) $(PACKAGES_BUILD) $(PACKAGES_TEST)
	$(CONFIGURE) release $(BUILD) -DTALVINE_BUILD_TESTS=ON
	cmake --build --preset release -j $(JOBS)
	ctest --preset release -j $(JOBS)

test-sanitize:
	@$(DEPS) $(PACKAGES_BUILD) $(PACKAGES_TEST)
	$(CONFIGURE) sanitizers $(BUILD_ASAN)
	cmake --build --preset sanitizers -j $(JOBS)
	ctest --preset sanitizers -j $(JOBS)

# The output check and the batch run use a second thread: their tests
# (label thread) under ThreadSanitizer.
test-thread:
	@$(DEPS) $(PACKAGES_BUILD) $(PACKAGES_TEST)
	$(CONFIGURE) thread $(BUILD_TSAN)
	cmake --build --preset thread -j $(JOBS)
	ctest --preset thread -j $(JOBS)

test: test-release test-sanitize test-thread test-fuzz test-windows test-web

# The fuzz targets, briefly, so that they keep building and finding nothing.
test-fuzz:
	$(MAKE) fuzz FUZZ_SECONDS=$(FUZZ_TEST_SECONDS)

fuzz-build:
	@$(DEPS) $(PACKAGES_BUILD) $(FUZZ_PACKAGES)
	$(CONFIGURE) fuzz $(BUILD_FUZZ)
	cmake --build --preset fuzz -j $(JOBS)

fuzz: fuzz-build
	scripts/fuzz.sh $(BUILD_FUZZ) $(FUZZ_SECONDS)

deps-windows:
	@$(DEPS) $(WINDOWS_PACKAGES)

build-windows: deps-windows
	$(CONFIGURE) windows $(BUILD_WINDOWS)
	cmake --build --preset windows -j $(JOBS)

# The suite under Wine (one process), then the same conversions and reports
# from both builds (the tests labelled cross-build), compared byte for byte.
# The suite runs with an empty environment (no LANG, no LC_*), as on a bare
# system: Wine must be given a UTF-8 locale by the scripts that start it,
# whatever the caller's.
test-windows: build-windows
	@$(DEPS) $(PACKAGES_BUILD) $(PACKAGES_TEST) $(WINDOWS_TEST_PACKAGES)
	$(CONFIGURE) release $(BUILD) -DTALVINE_BUILD_TESTS=ON
	cmake --build --preset release-tests -j $(JOBS)
	env -i HOME="$$HOME" PATH="$$PATH" ctest --preset windows
	scripts/cross-build-check.sh $(BUILD) $(BUILD_WINDOWS)
	$(MAKE) --no-print-directory windows
	tests/install/windows-zip.sh $(WINDOWS_ZIP)

# CPack's ZIP generator writes the zip in the cross build's folder.
windows: build-windows
	cpack --preset windows
	@mkdir -p $(dir $(WINDOWS_ZIP))
	cp $(BUILD_WINDOWS)/$(notdir $(WINDOWS_ZIP)) $(WINDOWS_ZIP)
	@echo "Wrote $(WINDOWS_ZIP)"

bench:
	@$(DEPS) $(PACKAGES_BUILD) $(PACKAGES_BENCH)
	$(CONFIGURE) bench $(BUILD_BENCH)
	cmake --build --preset bench -j $(JOBS)
	$(BUILD_BENCH)/bench/talvine_bench
	QT_QPA_PLATFORM=offscreen $(BUILD_BENCH)/bench/talvine_window_bench

demo: build
	@rm -rf out/demo && mkdir -p out/demo
	@echo "== Before"
	$(BUILD)/talvine-cli --info --brief examples/plan.jww examples/door.jws
	@echo "== Converting the examples into out/demo"
	$(BUILD)/talvine-cli -o out/demo examples/plan.jww examples/door.jws
	@echo "== After"
	$(BUILD)/talvine-cli --info --brief out/demo/plan.jww out/demo/door.jws
	@echo "== Before and after, side by side"
	$(BUILD)/talvine-cli --compare out/demo/plan-compare.svg examples/plan.jww

screenshot: build build-windows
	@$(DEPS) $(PACKAGES_SCREENSHOT)
	BUILD=$(BUILD) scripts/screenshot.sh docs/window.png
	scripts/wine-window.sh $(BUILD_WINDOWS) docs/window-windows.png
	rm -f $(BUILD)/plan-compare.svg  # a picture never replaces a file
	$(BUILD)/talvine-cli --compare $(BUILD)/plan-compare.svg examples/plan.jww
	rsvg-convert -w 1200 $(BUILD)/plan-compare.svg -o docs/plan-compare.png
	$(MAKE) screenshot-web

install:
	@$(DEPS) $(PACKAGES_BUILD) $(PACKAGES_INSTALL)
	$(CONFIGURE_PROGRAMS)
	cmake --build --preset release -j $(JOBS)
	@# Through sudo only when the target folder cannot be written.
	@root="$(DESTDIR)$(PREFIX)"; while [ ! -e "$$root" ]; do root=$$(dirname "$$root"); done; \
	if [ -w "$$root" ]; then as=""; elif [ "$$(id -u)" != 0 ] && command -v sudo >/dev/null 2>&1; then as=sudo; \
	else echo "install: $(DESTDIR)$(PREFIX) cannot be written; run as root: make install PREFIX=$(PREFIX)" >&2; exit 1; fi; \
	set -x; $$as env DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"; \
	if [ -z "$(DESTDIR)" ]; then \
	  $$as update-mime-database "$(PREFIX)/share/mime"; \
	  $$as update-desktop-database -q "$(PREFIX)/share/applications"; \
	  if command -v gtk-update-icon-cache >/dev/null 2>&1 && [ -f "$(PREFIX)/share/icons/hicolor/index.theme" ]; then \
	    $$as gtk-update-icon-cache -q "$(PREFIX)/share/icons/hicolor"; fi; \
	fi

uninstall:
	@[ -f $(BUILD)/install_manifest.txt ] || { echo "uninstall: nothing was installed from $(BUILD)" >&2; exit 1; }
	@root=$$(head -n 1 $(BUILD)/install_manifest.txt); root=$${root%/*}; \
	if [ -w "$$root" ]; then as=""; else as=sudo; fi; \
	set -x; tr '\n' '\0' < $(BUILD)/install_manifest.txt | $$as xargs -0 rm -f; \
	if [ -z "$(DESTDIR)" ] && [ -d "$(PREFIX)/share/mime/packages" ]; then \
	  $$as update-mime-database "$(PREFIX)/share/mime"; \
	  $$as update-desktop-database -q "$(PREFIX)/share/applications"; \
	fi

package:
	@$(DEPS) $(PACKAGES_BUILD) $(PACKAGES_PACKAGE)
	$(CONFIGURE_PROGRAMS)
	cmake --build --preset release -j $(JOBS)
	cpack --preset deb

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_BENCH) $(BUILD_FUZZ) $(BUILD_WINDOWS) $(BUILD_TSAN) $(BUILD_WEB)

# ---- The page ---------------------------------------------------------------
#
# emscripten (Debian's, with its node-acorn, which a Node.js from elsewhere
# finds through NODE_PATH), zlib built for it from Debian's source package
# (scripts/web-zlib.sh, kept in build-web/zlib), and the preset web. The
# tests also need Node.js, Chromium with its driver and selenium, and
# dpkg-dev for apt-get source.
WEB_PACKAGES := emscripten cmake ninja-build g++ dpkg-dev python3 libfmt-dev libfast-float-dev
WEB_TEST_PACKAGES := nodejs chromium chromium-driver python3-selenium googletest
WEB_PAGE := dist/talvine-web.html
# emscripten builds the variants of its system libraries it lacks on first
# use, into its cache: Debian's own when it can be written (as root), else
# one in the build folder, kept from run to run.
WEB_CACHE := $(shell [ -w /usr/share/emscripten/cache ] || echo EM_CACHE=$(abspath $(BUILD_WEB))/emscripten-cache)
WEB_ENV := env NODE_PATH=/usr/share/nodejs $(WEB_CACHE)
# Debian's Python, which python3-selenium is installed for.
WEB_PYTHON := /usr/bin/python3

web:
	@$(DEPS) $(WEB_PACKAGES)
	$(WEB_ENV) scripts/web-zlib.sh $(BUILD_WEB)
	$(WEB_ENV) $(CONFIGURE) web $(BUILD_WEB) \
	  $$([ -f $(BUILD_WEB)/CMakeCache.txt ] || echo -DTALVINE_BUILD_TESTS=OFF)
	$(WEB_ENV) cmake --build --preset web -j $(JOBS)
	$(WEB_PYTHON) scripts/web-page.py $(BUILD_WEB)/app/web/talvine-web.js app/web $(WEB_PAGE)

# The suite cross-built with emscripten under Node.js (label web in
# build-web), then the page in headless Chromium from file:// against the
# native talvine-cli (label web in build).
test-web: web
	@$(DEPS) $(PACKAGES_BUILD) $(PACKAGES_TEST) $(WEB_TEST_PACKAGES)
	$(WEB_ENV) $(CONFIGURE) web $(BUILD_WEB) -DTALVINE_BUILD_TESTS=ON
	$(WEB_ENV) cmake --build --preset web-tests -j $(JOBS)
	$(WEB_ENV) ctest --preset web
	$(CONFIGURE) release $(BUILD) -DTALVINE_BUILD_TESTS=ON
	cmake --build --preset release -j $(JOBS)
	TALVINE_WEB_PAGE=$(abspath $(WEB_PAGE)) ctest --test-dir $(BUILD) -L web --output-on-failure

bench-web: web
	@$(DEPS) $(PACKAGES_BUILD) $(PACKAGES_BENCH) $(WEB_TEST_PACKAGES)
	$(CONFIGURE) bench $(BUILD_BENCH)
	cmake --build --preset bench -j $(JOBS)
	$(WEB_PYTHON) tests/web/page_bench.py $(BUILD_BENCH) $(WEB_PAGE)

screenshot-web: web
	@$(DEPS) $(PACKAGES_BUILD) $(WEB_TEST_PACKAGES)
	$(CONFIGURE_PROGRAMS)
	cmake --build --preset programs -j $(JOBS)
	$(WEB_PYTHON) tests/web/page_test.py $(BUILD) --page $(WEB_PAGE) --screenshot docs/web.png
