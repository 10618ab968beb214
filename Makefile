# The two commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= Release
# `make run` opens the main window; ARGS="--scan npm" (or ARGS=) runs something else.
ARGS ?= --window
JOBS ?= $(shell nproc)
SANITIZE_ASAN ?= halt_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1
SANITIZE_UBSAN ?= halt_on_error=1:print_stacktrace=1

# `make test-sanitize` builds and tests under AddressSanitizer and UndefinedBehaviorSanitizer in
# a folder of its own, so the ordinary build is left as it is.
SANITIZE_DIR ?= build-sanitize

.PHONY: all deps configure build run test test-sanitize bench screenshots clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
		-DCMAKE_CXX_COMPILER_LAUNCHER=$(shell command -v ccache >/dev/null && echo ccache) \
		-DBRAMWICK_WERROR=ON >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/bramwick $(ARGS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

test-sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_COMPILER_LAUNCHER=$(shell command -v ccache >/dev/null && echo ccache) \
		-DBRAMWICK_WERROR=ON -DBRAMWICK_SANITIZE=ON -DBRAMWICK_BENCH=OFF >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=$(SANITIZE_ASAN) UBSAN_OPTIONS=$(SANITIZE_UBSAN) \
		LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/leak-suppressions.txt \
		ctest --output-on-failure -j $(JOBS) --timeout 1800

bench: build
	@bench/run-all.sh $(BUILD_DIR)

# Every skinned block in every skin, as PNG files under $(BUILD_DIR)/screenshots/<skin>/.
screenshots: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target bramwick_screenshots
	QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/tests/bramwick_screenshots $(BUILD_DIR)/screenshots

clean:
	rm -rf $(BUILD_DIR)
