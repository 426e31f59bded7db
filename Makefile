# Thin wrapper over the CMake presets. `make test` and `make demo` are what the README promises.
PRESET ?= release
JOBS ?= $(shell nproc)
BUILD := build/$(PRESET)

.PHONY: all build test asan demo bench fuzz fuzz-backup screenshots package check-package clean

all: build

$(BUILD)/build.ninja:
	cmake --preset $(PRESET)

build: $(BUILD)/build.ninja
	cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	ctest --preset $(PRESET) -j $(JOBS)

asan:
	$(MAKE) test PRESET=asan

# The Debian package, $(BUILD)/dunmere_<version>_<architecture>.deb.
package: build
	cd $(BUILD) && cpack -G DEB

# The package unpacked into a scratch root, its programs run from there.
check-package: package
	scripts/check-package $(BUILD)

demo: build
	rm -rf $(BUILD)/sample
	$(BUILD)/tools/sample_backup/make_sample_backup $(BUILD)/sample
	@echo
	@echo '$$ dunmere list --root $(BUILD)/sample'
	@$(BUILD)/cli/dunmere list --root $(BUILD)/sample
	@echo
	@echo '$$ dunmere info $(BUILD)/sample/00008030-001A2B3C4D5E6F70 --json'
	@$(BUILD)/cli/dunmere info $(BUILD)/sample/00008030-001A2B3C4D5E6F70 --json
	@echo
	@echo '$$ dunmere decode <older sample backup>/3d0d7e5fb2ce288813306e4d4636395e047a3d28 --table message'
	@$(BUILD)/cli/dunmere decode $(BUILD)/sample/5d1f0c3a9b7e4f2a8c6d0e1f2a3b4c5d6e7f8091/3d0d7e5fb2ce288813306e4d4636395e047a3d28 --table message
	@echo
	@echo '$$ dunmere scan <each sample backup>'
	@$(BUILD)/cli/dunmere scan $(BUILD)/sample/00008030-001A2B3C4D5E6F70
	@$(BUILD)/cli/dunmere scan $(BUILD)/sample/5d1f0c3a9b7e4f2a8c6d0e1f2a3b4c5d6e7f8091
	@echo
	@echo '$$ dunmere export <older sample backup> --out $(BUILD)/sample-export'
	@rm -rf $(BUILD)/sample-export
	@$(BUILD)/cli/dunmere export $(BUILD)/sample/5d1f0c3a9b7e4f2a8c6d0e1f2a3b4c5d6e7f8091 --out $(BUILD)/sample-export

# Every step of the window over the sample backup, in English and in German, into docs/screenshots/ (the
# README's main pictures are copied to docs/).
screenshots: build
	rm -rf $(BUILD)/sample && $(BUILD)/tools/sample_backup/make_sample_backup $(BUILD)/sample
	mkdir -p docs/screenshots
	xvfb-run -a -s "-screen 0 1280x900x24" $(BUILD)/tools/gui_screenshots/gui_screenshots $(BUILD)/sample/00008030-001A2B3C4D5E6F70 docs/screenshots
	xvfb-run -a -s "-screen 0 1280x900x24" $(BUILD)/tools/gui_screenshots/gui_screenshots $(BUILD)/sample/00008030-001A2B3C4D5E6F70 docs/screenshots Deutsch
	cp docs/screenshots/main-window.png docs/screenshots/scan-page.png docs/screenshots/export-dialog.png docs/

bench: build
	$(BUILD)/bench/bench_manifest
	$(BUILD)/bench/bench_recovery
	$(BUILD)/bench/bench_wal
	$(BUILD)/bench/bench_loaders
	$(BUILD)/bench/bench_decrypt
	$(BUILD)/bench/bench_engine
	$(BUILD)/bench/bench_export
	$(BUILD)/bench/bench_window
	python3 bench/recovery_quality.py $(BUILD)/cli/dunmere
	python3 bench/category_quality.py tests/support/schemas $(BUILD)/cli/dunmere | tail -1

# Runs the page-reader fuzzer for FUZZ_SECONDS (default 600) under AddressSanitizer; crashes land in
# tests/sqlite_recovery/fuzz_corpus, which the test suite replays.
FUZZ_SECONDS ?= 600
fuzz:
	cmake --preset fuzz
	cmake --build build/fuzz --target recovery_fuzzer -j $(JOBS)
	fuzz/make_seeds.sh build/fuzz/seeds
	mkdir -p build/fuzz/corpus tests/sqlite_recovery/fuzz_corpus
	build/fuzz/fuzz/recovery_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=10 \
	  -artifact_prefix=tests/sqlite_recovery/fuzz_corpus/ build/fuzz/corpus build/fuzz/seeds

# The same for the readers of a backup's own files (Info.plist, Manifest.plist, Manifest.mbdb); crashes
# land in tests/backup/fuzz_corpus, which the test suite replays.
fuzz-backup:
	cmake --preset fuzz
	cmake --build build/fuzz --target backup_files_fuzzer -j $(JOBS)
	python3 fuzz/make_backup_seeds.py build/fuzz/backup-seeds
	mkdir -p build/fuzz/backup-corpus tests/backup/fuzz_corpus
	build/fuzz/fuzz/backup_files_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=10 \
	  -artifact_prefix=tests/backup/fuzz_corpus/ build/fuzz/backup-corpus build/fuzz/backup-seeds

clean:
	rm -rf build
