# The two everyday commands: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all deps build run test bench clean

all: build

deps:
	@bash scripts/deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)/morvane

test: build
	cd $(BUILD) && ctest --output-on-failure -j 1

bench: build
	@bash scripts/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD)
