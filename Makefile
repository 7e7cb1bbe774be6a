# Two commands do everything on a fresh Debian machine:
#   make run    installs what is missing, builds, starts the intro
#   make test   installs what is missing, builds, runs every test
BUILD ?= build
JOBS  ?= 2

.PHONY: all deps configure build run test clean

all: build

deps:
	@bash tools/setup-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/ZENOrA_intro

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
