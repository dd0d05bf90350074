# The project's commands. Everything is cross-built for 64-bit Windows into build/ and run under Wine.
#   make run         build, then open the exam on the sample bank (examples/questions.json)
#   make test        install what is missing, build, and run every test under Wine
#   make package     build dist/tessavon-VERSION-win64.zip, what a candidate copies to a Windows PC
#   make screenshot  retake docs/screenshot.png and docs/screenshot-japanese.png on a private virtual display
BUILD := build
WITH_DISPLAY := cmake/with-display.sh $(BUILD)
# What the pictures need beyond the build: xwd, xwininfo, ImageMagick, and Wine's own fonts for the title bar
# that Wine draws in its virtual desktop.
SCREENSHOT_PACKAGES := x11-apps x11-utils imagemagick fonts-wine

.PHONY: all deps configure build test run package screenshot clean

all: build

deps:
	@cmake/install-deps.sh

configure: deps
	@[ -f $(BUILD)/build.ninja ] || cmake --preset mingw

build: configure
	@cmake --build $(BUILD)

test: build
	@$(WITH_DISPLAY) test cmake/run-tests.sh $(BUILD)

# Only the program itself: a first run need not wait for the tests to build.
run: configure
	@cmake --build $(BUILD) --target tessavon
	@cmake/run-exam.sh $(BUILD) examples

package: build
	@cmake --build $(BUILD) --target package

screenshot: build
	@cmake/install-deps.sh $(SCREENSHOT_PACKAGES)
	@env -u DISPLAY $(WITH_DISPLAY) test cmake/screenshot.sh $(BUILD) docs

clean:
	rm -rf $(BUILD)
