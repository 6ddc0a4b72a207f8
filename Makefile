# The two entry points of the README: `make run` and `make test`.
# Everything else here is a step they share.
BUILD      ?= build
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
# A compiler cache, where the machine has one, makes rebuilds in several checkouts cheap.
LAUNCHER   := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

.PHONY: setup configure build run test fuzz bench demo screenshots simulator gallery package mutations clean

setup:
	bash tools/setup.sh

configure: setup
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LAUNCHER)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/kovra-control

fuzz: setup
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOVRA_FUZZ=ON $(LAUNCHER)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	ctest --test-dir $(FUZZ_BUILD) --output-on-failure

test: build fuzz
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Runs every benchmark program; each prints its own figures.
bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	for b in $(BUILD)/bin/bench_*; do echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b || exit 1; done

# Every fault listed in tests/mutations.txt, each applied to a copy of the tree in
# build-mutate/ and checked against the test named beside it; prints the score.
mutations: setup
	bash tools/mutate.sh --list tests/mutations.txt

# The Debian package, in $(BUILD)/package/.
package: build
	cd $(BUILD) && cpack -G DEB -B package

# Pictures of every instrument widget in both appearances, made without a display.
gallery: build
	$(BUILD)/bin/kovra-gallery --write-png $(BUILD)/gallery

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)

# Three simulated cameras on 127.0.0.1:9001-9003 (see `kovra-camsim --help` for more).
simulator: build
	$(BUILD)/bin/kovra-camsim $(CAMSIM_ARGS)

# Three simulated cameras and the program against them, in a home folder of its own.
demo: build
	CAMSIM_ARGS="$(CAMSIM_ARGS)" bash tools/demo.sh $(BUILD)/bin

# The window with the demo cameras, every tab, dark and light, under Xvfb with a window
# manager: PNG files in $(BUILD)/screenshots/.
screenshots: build
	rm -rf $(BUILD)/screenshots
	xvfb-run -a -s "-screen 0 1440x1200x24" bash tools/screenshots.sh $(BUILD)/bin $(BUILD)/screenshots
