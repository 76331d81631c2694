# Quick start on a fresh Debian 12 machine:  make run   |   make test
# Both install what is missing (Debian packages), configure and build.

PACKAGES := cmake ninja-build g++ qt6-base-dev qt6-multimedia-dev libgl-dev \
            libgtest-dev libgmock-dev libbenchmark-dev clang-format \
            fonts-liberation2
# Only for `make fuzz`: clang and its runtime libraries (libFuzzer, the sanitizers).
FUZZ_PACKAGES := clang libclang-rt-14-dev
FUZZ_SECONDS := 600
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
EXAMPLE := build/example/take001.wav

.PHONY: all deps fuzz-deps build build-asan run test bench fuzz fuzz-merge format format-check clean

all: build

# Installs those of the Debian packages $(1) that are missing.
define install_missing
	@missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y $$missing; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

fuzz-deps: deps
	$(call install_missing,$(FUZZ_PACKAGES))

build: deps
	cmake --preset default
	cmake --build --preset default

build-asan: deps
	cmake --preset asan
	cmake --build --preset asan

run: build
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

bench: build
	./build/veltrane_bench

# Fuzzes for FUZZ_SECONDS from the corpus in fuzz/corpus; new inputs go to
# build-fuzz/corpus, failing ones to build-fuzz/crashes. Inputs that scan past a read
# block are slow: the fuzzer picks the quick ones more often.
fuzz: fuzz-deps
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
