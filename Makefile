# Two entry points: `make run` plays the demo song, `make test` runs every test.
BUILD ?= build
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
DEMO := demo/korvane-demo.bme

.PHONY: all setup build run test sanitize fuzz bench install clean

all: build

setup:
	@scripts/setup

build: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/korvane "$(CURDIR)/$(DEMO)" -SP

test: build
	cd $(BUILD) && ctest --output-on-failure
	@$(MAKE) --no-print-directory sanitize
	@$(MAKE) --no-print-directory fuzz

sanitize: setup
	@cmake -S . -B $(BUILD)-asan -DKORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(BUILD)-asan -j$(JOBS) --target korvane-tests korvane-render korvane
	cd $(BUILD)-asan && SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ./korvane-tests --gtest_brief=1

# The fuzz step arrives with the chart reader's fuzzers; until then it is skipped.
fuzz: setup
	@if [ -x scripts/fuzz ]; then scripts/fuzz; else echo "fuzz: scripts/fuzz not present, skipped"; fi

bench: build
	$(BUILD)/korvane-bench

install: build
	@scripts/install "$(BUILD)" "$(PREFIX)"

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-fuzz
