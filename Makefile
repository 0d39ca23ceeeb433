# The two entry points: `make run` and `make test`. Both install what is missing first.
PRESET ?= x86
BUILD := build/$(PRESET)

.PHONY: run test test-windows build configure bootstrap clean bench fuzz soak

# The development host plays the default scenario against the shutdown-law library built next to
# it: only those two are built, and only what building them needs is installed.
run: BOOTSTRAP_GROUP := run
run: configure
	cmake --build --preset $(PRESET) --target kivhost kiv_kr_shutdown_law
	$(BUILD)/bin/kivhost run scenarios/default.yaml

test: build
	ctest --preset $(PRESET) -j 2

build: configure
	cmake --build --preset $(PRESET)

configure: bootstrap
	@test -f $(BUILD)/build.ninja || cmake --preset $(PRESET)

BOOTSTRAP_GROUP ?= test
bootstrap:
	@scripts/bootstrap $(BOOTSTRAP_GROUP)

# The Windows build (win32 preset) under wine: export table, kivhost.exe's timelines against the
# Linux reference build's, and every test. Installs mingw-w64 and wine on first use.
test-windows:
	scripts/test-windows

# Every preset's suite 20 times over while stress-ng keeps the machine busy; not part of `make test`.
soak:
	scripts/soak-tests

# The benchmark table: our paths beside their peers (x64 and x86, Release).
bench:
	scripts/bench

# Every fuzz target for FUZZ_SECONDS seconds each.
FUZZ_SECONDS ?= 60
fuzz:
	scripts/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build
