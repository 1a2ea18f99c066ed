# The two commands: `make demo` and `make test`. Both install missing Debian packages first.
.PHONY: all deps build test demo clean fuzz

all: build

deps:
	@scripts/install-deps

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default

test: build
	ctest --preset default

demo: build
	scripts/demo

clean:
	rm -rf build build-asan build-fuzz
