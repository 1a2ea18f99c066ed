# The two commands: `make demo` and `make test`. Both install missing Debian packages first:
# `make demo` those that building and running the programs need, `make test` the test tools too.
# `make demo` builds the programs alone; `make test` (and `make build`) builds everything.
# `make conformance` compares the Windows layer with the platform's own functions under Wine.
# `make install` and `make package` build the optimised programs in build-release.
.PHONY: all deps test-deps build test demo clean fuzz conformance release install package \
	check-package check-release

PREFIX ?= /usr/local

all: build

deps:
	@scripts/install-deps

test-deps:
	@scripts/install-deps --test

build: test-deps
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
fuzz: test-deps
	fuzz/run.sh

# Our profile files and registry file against the platform's functions, run under wine64 (see
# conformance/run). Closes with "N passed, N failed".
conformance: test-deps
	cmake --preset default >/dev/null
	cmake --build --preset default --target zel-conformance
	conformance/run build

# Only the wizard, its helpers and zel-kit: no tests, fuzzers or benchmarks.
demo: deps
	cmake --preset default >/dev/null
	cmake --build --preset default --target programs
	scripts/demo

# The programs optimised, without tests or benchmarks; stripped when installed or packaged.
release: deps
	cmake --preset release >/dev/null
	cmake --build --preset release

# Into PREFIX (default /usr/local; DESTDIR is honoured): the four programs in bin, the modules
# in lib/zel-setup, the manual pages, the demo kit in share/zel-setup/kit.
install: release
	cmake --install build-release --prefix "$(PREFIX)" --strip

# A Debian package in this directory, its dependencies read off the linked libraries.
package: release
	rm -f zel-setup_*.deb build-release/package/zel-setup_*.deb
	cd build-release && cpack -G DEB >/dev/null
	cp build-release/package/zel-setup_*.deb .
	@ls zel-setup_*.deb

# The package as Debian's checker sees it: any error fails (warnings are shown).
check-package: package
	@scripts/install-deps --test
	lintian --fail-on error zel-setup_*.deb

# The release tree installed into a temporary DESTDIR and used from there with the build tree
# out of reach: the programs' --help and --version, a packed demo medium installed unattended.
check-release: release
	scripts/check-release build-release

clean:
	rm -rf build build-asan build-fuzz build-release zel-setup_*.deb
