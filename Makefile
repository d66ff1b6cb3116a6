# The README's commands. Every target installs what is missing first (tools/setup.sh).
JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory
WIN := build/windows
RUN_PREFIX := $(CURDIR)/build/wine-prefix

.PHONY: setup build build-windows build-host build-asan run test test-in soak dist test-kit bench mutate demo fuzz format clean

setup:
	@tools/setup.sh

build-windows: setup
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows -j $(JOBS)

build-host: setup
	@cmake --preset host >/dev/null
	@cmake --build --preset host -j $(JOBS)

build-asan: setup
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)

build: build-windows build-host

run: build-windows
	@tools/run.sh

# Unit tests under the sanitizers first, then every test (unit, Wine, end-to-end); the last
# line printed is CTest's summary of the whole run, unless the tests left the work tree other
# than they found it. The Wine tests run in LANES environments side by side; most of their time
# is the show's real time, not the processors'.
LANES := 4
test: build build-asan
	@tools/tree-unchanged.sh save
	@ctest --preset asan -L unit -j $(JOBS) --output-on-failure --progress
	@ctest --preset host -j $(LANES) --output-on-failure
	@tools/tree-unchanged.sh check

# make test in a fresh clone of HEAD inside a minimal root of the other Debian release (or the
# one named: make test-in DEBIAN=13), made once and reused; GOAL='soak N=5' runs another goal
# there. Needs root. Not part of make test.
DEBIAN ?= $(if $(filter 12,$(shell . /etc/os-release 2>/dev/null; echo $$VERSION_ID)),13,12)
GOAL ?= test
test-in:
	@tools/test-in.sh $(DEBIAN) $(GOAL)

# The end-to-end suites on both sides and the two kit profiles, N times each, with a table of
# passes and failures per suite: make soak N=10. Not part of make test.
N ?= 10
soak: build
	@tools/soak.py $(N) $(LANES)

# The release zip and its checksums in build/dist. Signing is optional: make dist
# SIGN_PFX=cert.pfx SIGN_PASSWORD_FILE=pass.txt [SIGN_TIMESTAMP_URL=...]; the password is read
# from its file by the signing tool and is never printed.
export SIGN_PFX SIGN_PASSWORD_FILE SIGN_TIMESTAMP_URL
dist: build-windows
	@tools/dist.py $(WIN) build/dist

# The tests for a Windows machine in one zip: build/dist/Germcatcher-<version>-windows-x64-tests.zip.
test-kit: build-windows
	@tools/test_kit.py $(WIN) build/dist

bench: build
	@bench/run.sh

# How many one-line faults in the portable layers the unit tests catch, on a fixed, seeded sample
# of mutants built in build/mutate: make mutate [N=200] [SEED=1] [FILES='src/log src/show/show.cpp']
# [BASE=commit]. The sample's size is its own, not soak's N. Not part of make test.
mutate: setup
	@tools/mutate.py $(if $(filter command line environment,$(origin N)),--n '$(N)') \
		$(if $(SEED),--seed '$(SEED)') $(if $(FILES),--files '$(FILES)') $(if $(BASE),--base '$(BASE)')

demo: build
	@tools/demo.sh

fuzz: setup
	@tools/fuzz.sh 120

format:
	@find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	@tools/wine-env.sh stop >/dev/null 2>&1 || true
	rm -rf build
