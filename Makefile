# The two commands: `make demo` and `make test`. Both install missing Debian packages first.
# `make demo` builds the programs alone; `make test` (and `make build`) builds everything.
# `make conformance` compares the Windows layer with the platform's own functions under Wine.
.PHONY: all deps build test demo clean fuzz conformance

all: build

deps:
	@scripts/install-deps

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default

# After the default tree's tests, the same tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan), then the fuzz corpora replayed in that tree (with the
# corpora that `make fuzz` grew in build-fuzz/corpus, when there are any).
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0

test: build
	ctest --preset default
	cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize
	$(SANITIZER_ENV) ctest --preset sanitize
	$(SANITIZER_ENV) ZEL_FUZZ_CORPUS=$(CURDIR)/build-fuzz/corpus \
		build-asan/tests/test_fuzz_regressions --gtest_filter='FuzzReplay.*' --gtest_brief=1
	$(SANITIZER_ENV) ZEL_FUZZ_CORPUS=$(CURDIR)/build-fuzz/corpus QT_QPA_PLATFORM=offscreen \
		build-asan/tests/gui_test_pictures --gtest_filter='FuzzReplay.*' --gtest_brief=1

# Runs each fuzz target for FUZZ_SECONDS (default 60) in a clang build in build-fuzz.
fuzz: deps
	fuzz/run.sh

# Our profile files and registry file against the platform's functions, run under wine64 (see
# conformance/run). Closes with "N passed, N failed".
conformance: deps
	cmake --preset default >/dev/null
	cmake --build --preset default --target zel-conformance
	conformance/run build

# Only the wizard, its helpers and zel-kit: no tests, fuzzers or benchmarks.
demo: deps
	cmake --preset default >/dev/null
	cmake --build --preset default --target programs
	scripts/demo

clean:
	rm -rf build build-asan build-fuzz
