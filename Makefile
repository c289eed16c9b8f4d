# Thin wrapper over CMake: `make` builds every program into build/bin/, `make test` runs the
# whole CTest suite, `make sanitize` runs it again under AddressSanitizer and
# UndefinedBehaviorSanitizer, `make demo` runs the main job, `make bench` the benchmarks.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all configure test sanitize demo bench format clean

all: configure
	cmake --build $(BUILD) -j $(JOBS)

configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release > /dev/null

test: all
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

sanitize:
	cmake -S . -B $(BUILD)-sanitize -DCMAKE_BUILD_TYPE=Debug -DTOOLKIT_SANITIZE=ON > /dev/null
	cmake --build $(BUILD)-sanitize -j $(JOBS)
	ctest --test-dir $(BUILD)-sanitize --output-on-failure -j $(JOBS)

demo: all
	bash demo/run.sh $(BUILD)

bench: all
	bash bench/run.sh $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(BUILD)-sanitize
