# Quick start on a fresh Debian 12 machine:  make run   |   make test
# Both install what is missing (Debian packages), configure and build.

# What the programs need to be built and run (libxkbcommon-dev: the keyboard support Qt
# looks for while configuring; xdg-utils: the Manual button opens the web browser;
# qt6-translations-l10n: the toolkit's dialogs and buttons in German).
PACKAGES := cmake ninja-build g++ qt6-base-dev qt6-multimedia-dev libgl-dev libxkbcommon-dev \
            fonts-liberation2 xdg-utils qt6-translations-l10n
# Only for the tests and benchmarks (make build, make test).
TEST_PACKAGES := libgtest-dev libgmock-dev libbenchmark-dev clang-format desktop-file-utils \
  pulseaudio pulseaudio-utils
# What `make run` builds: the two programs, the manuals and their launchers, the
# notification sound and the example recording; no tests, benchmarks or fuzz harness.
RUN_TARGETS := veltrane veltrane-cli veltrane-manual-en veltrane-manual-de veltrane_manuals \
               veltrane_assets
# Only for the targets that need them: the Debian package, the manuals' pictures (a
# virtual display, the spoken sentences the preview is shown with, the fonts they are
# taken with), the icon.
DEB_PACKAGES := dpkg-dev file
SCREENSHOT_PACKAGES := xvfb xdotool imagemagick openbox espeak-ng sox fonts-dejavu-core
ICON_PACKAGES := librsvg2-bin
# Only for drawing the preview of real recordings (make pictures).
PICTURE_PACKAGES := sox alsa-utils espeak-ng
# Only for `make bench`: the timer, what the runs are measured against (ffmpeg, the voice
# prompts), the recordings' maker and the tools the scripts read their results with.
BENCH_PACKAGES := hyperfine jq python3 time sox ffmpeg asterisk-core-sounds-en-wav \
                  asterisk-core-sounds-fr-wav
# Only for `make fuzz`: clang and its runtime libraries (libFuzzer, the sanitizers).
FUZZ_PACKAGES := clang libclang-rt-14-dev
FUZZ_SECONDS := 600
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
EXAMPLE := build/example/take001.wav
# Where `make install` puts the program; DESTDIR (empty by default) is put in front of it.
PREFIX ?= /usr/local

.PHONY: all deps packages build build-asan run test bench pictures format format-check \
        clean install deb screenshots icons fuzz fuzz-merge soak

all: build

# Everything `make test` needs; `make run` installs only what the programs need.
deps:
	@$(MAKE) --no-print-directory packages WANTED="$(PACKAGES) $(TEST_PACKAGES) $(EXTRA_PACKAGES)"

packages:
	@missing=""; for p in $(WANTED); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y $$missing; \
	fi

build: deps
	cmake --preset default
	cmake --build --preset default

# Configured once; later runs only build (Ninja configures again by itself when a
# CMakeLists.txt changed).
build/CMakeCache.txt:
	cmake --preset default

build-asan: deps
	cmake --preset asan
	cmake --build --preset asan

run:
	@$(MAKE) --no-print-directory packages WANTED="$(PACKAGES)"
	@$(MAKE) --no-print-directory build/CMakeCache.txt
	cmake --build --preset default --target $(RUN_TARGETS)
	@if [ -n "$$DISPLAY" ]; then \
	  ./build/veltrane; \
	else \
	  echo "No display: the headless tool on the example recording $(EXAMPLE)."; \
	  echo; echo "\$$ veltrane-cli info $(EXAMPLE)"; \
	  ./build/veltrane-cli info $(EXAMPLE) || exit 1; \
	  echo; echo "\$$ veltrane-cli generate $(EXAMPLE)"; \
	  VELTRANE_SETTINGS=build/example/settings.ini ./build/veltrane-cli generate $(EXAMPLE) || exit 1; \
	  echo; echo "\$$ veltrane-cli dump --labels $(EXAMPLE:.wav=.gap)"; \
	  ./build/veltrane-cli dump --labels $(EXAMPLE:.wav=.gap) || exit 1; \
	  echo; echo "To open the window, run 'make run' in a desktop session (or: ./build/veltrane)."; \
	fi

test: build build-asan format-check
	ctest --preset default
	ctest --preset asan

# Many more random user actions than make test plays (tests/soak_test.cpp).
SOAK_ACTIONS := 10000
soak: build
	VELTRANE_SOAK_ACTIONS=$(SOAK_ACTIONS) QT_QPA_PLATFORM=offscreen ./build/veltrane_tests --gtest_filter='Seeds/SoakTest.*'

bench: build
	@$(MAKE) --no-print-directory packages WANTED="$(BENCH_PACKAGES)"
	./build/veltrane_bench
	./build/veltrane_preview_bench
	bench/start.sh build
	bench/folder_run.sh build
	bench/jobs_run.sh build
	bench/copy_limit.sh build
	bench/reasons_limits.sh build

# The preview's picture of real recordings in every sample layout (build/pictures).
pictures:
	$(MAKE) build EXTRA_PACKAGES="$(PICTURE_PACKAGES)"
	tools/preview_pictures.sh build build/pictures

# The program folder PREFIX/lib/veltrane, links in PREFIX/bin, the desktop entry, the icon
# and the manual pages; DESTDIR=/some/root installs below that folder instead of /.
install: build
	DESTDIR="$(DESTDIR)" cmake --install build --prefix "$(PREFIX)" --strip

# The Debian package veltrane_VERSION_ARCH.deb, left in this folder:
#   apt install ./veltrane_*.deb
deb:
	$(MAKE) build EXTRA_PACKAGES="$(DEB_PACKAGES)"
	rm -f veltrane_*.deb
	cd build && cpack -G DEB -B "$(CURDIR)/build/package"
	cp build/package/veltrane_*.deb .

# The pictures of the manuals, taken from the real program (data/manual/*/pictures).
screenshots:
	$(MAKE) build EXTRA_PACKAGES="$(SCREENSHOT_PACKAGES)"
	tools/screenshots.sh build

# The icon's PNG sizes, rendered from its drawings (data/icons).
icons:
	$(MAKE) deps EXTRA_PACKAGES="$(ICON_PACKAGES)"
	tools/icons.sh

# Fuzzes for FUZZ_SECONDS from the corpus in fuzz/corpus; new inputs go to
# build-fuzz/corpus, failing ones to build-fuzz/crashes. Inputs that scan past a read
# block are slow: the fuzzer picks the quick ones more often.
fuzz:
	$(MAKE) deps EXTRA_PACKAGES="$(FUZZ_PACKAGES)"
	cmake --preset fuzz
	cmake --build --preset fuzz
	mkdir -p build-fuzz/corpus build-fuzz/crashes
	./build-fuzz/veltrane_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -dict=fuzz/wav.dict \
	  -entropic_scale_per_exec_time=1 -artifact_prefix=build-fuzz/crashes/ \
	  build-fuzz/corpus fuzz/corpus

# Adds to fuzz/corpus the inputs of build-fuzz/corpus that reach code no input of it reaches.
fuzz-merge:
	./build-fuzz/veltrane_fuzz -merge=1 -use_counters=0 -max_len=4096 fuzz/corpus build-fuzz/corpus

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

format-check:
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-asan build-fuzz
