# The project's commands. Everything is cross-built for 64-bit Windows into build/ and run under Wine.
#   make run    build, then open the exam on the sample bank (examples/questions.json)
#   make test   install what is missing, build, and run every test under Wine
BUILD := build
WITH_DISPLAY := cmake/with-display.sh $(BUILD)

.PHONY: all deps configure build test run clean

all: build

deps:
	@cmake/install-deps.sh

configure: deps
	@[ -f $(BUILD)/build.ninja ] || cmake --preset mingw

build: configure
	@cmake --build $(BUILD)

test: build
	@$(WITH_DISPLAY) test ctest --test-dir $(BUILD) --output-on-failure --timeout 300

run: build
	@cmake/run-exam.sh $(BUILD) examples

clean:
	rm -rf $(BUILD)
