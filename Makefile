# The two commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= Release
# `make run` opens the main window; ARGS="--scan npm" (or ARGS=) runs something else.
ARGS ?= --window
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench screenshots clean

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

bench: build
	@bench/run-all.sh $(BUILD_DIR)

# Every skinned block in every skin, as PNG files under $(BUILD_DIR)/screenshots/<skin>/.
screenshots: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target bramwick_screenshots
	QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/tests/bramwick_screenshots $(BUILD_DIR)/screenshots

clean:
	rm -rf $(BUILD_DIR)
