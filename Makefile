# Thin wrapper over the CMake presets. `make test` and `make demo` are what the README promises.
PRESET ?= release
JOBS ?= $(shell nproc)
BUILD := build/$(PRESET)

.PHONY: all build test asan demo bench clean

all: build

$(BUILD)/build.ninja:
	cmake --preset $(PRESET)

build: $(BUILD)/build.ninja
	cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	ctest --preset $(PRESET) -j $(JOBS)

asan:
	$(MAKE) test PRESET=asan

demo: build
	rm -rf $(BUILD)/sample
	$(BUILD)/tools/sample_backup/make_sample_backup $(BUILD)/sample
	@echo
	@echo '$$ dunmere list --root $(BUILD)/sample'
	@$(BUILD)/cli/dunmere list --root $(BUILD)/sample
	@echo
	@echo '$$ dunmere info $(BUILD)/sample/00008030-001A2B3C4D5E6F70 --json'
	@$(BUILD)/cli/dunmere info $(BUILD)/sample/00008030-001A2B3C4D5E6F70 --json

bench: build
	$(BUILD)/bench/bench_manifest

clean:
	rm -rf build
