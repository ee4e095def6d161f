# build.mak -- documentation and release packaging for Inkwell.
# Included from the top-level Makefile; can also be used on its own:
#     make -f build.mak docs
#     make -f build.mak release VERSION=1.8.0

# project() spans lines in CMakeLists.txt; take the first "  VERSION x.y.z" line.
VERSION     ?= $(shell sed -n 's/^  VERSION \([0-9][0-9.]*\)$$/\1/p' CMakeLists.txt | head -n 1)
DATE        := $(shell date -u +%Y-%m-%d)
DOCS_SRC    := $(sort $(wildcard docs/*.md))
DOCS_HTML   := $(DOCS_SRC:docs/%.md=site/%.html)
MAN_PAGES   := $(patsubst docs/man/%.ronn,man/%,$(wildcard docs/man/*.ronn))
PANDOC      ?= pandoc
PANDOC_OPTS = --standalone --toc --metadata title="$(basename $(notdir $<))" \
              --metadata date="$(DATE)" --css=style.css
RELEASE_DIR := dist/inkwell-$(VERSION)
PLATFORMS   := linux-x86_64 linux-aarch64 windows-x86_64 macos-universal

# "\#" keeps the anchor from starting a comment.
TOP_LINK    := index.html\#top
SIGN_FILE    = $@

# An HTML footer with characters make would otherwise mangle.
define FOOTER
<footer>
  <p>Inkwell $(VERSION) &middot; built $(DATE) &middot; <a href="$(TOP_LINK)">top</a></p>
  <p>“Plain text, kept plain.” — 50% docs, 50% code; 100% #hashtag-friendly.</p>
</footer>
endef
export FOOTER

# A help text defined once and printed with printf so that quotes survive.
define HELP_TEXT
Documentation targets:
  docs       HTML pages in site/ ($(words $(DOCS_SRC)) sources)
  man        manual pages in man/
  release    archives for: $(PLATFORMS)
  checksums  SHA256SUMS for dist/
endef

.PHONY: docs man release checksums clean-docs help-docs verify-version

docs: $(DOCS_HTML) site/style.css

site/%.html: docs/%.md docs/template.html | site
	$(PANDOC) $(PANDOC_OPTS) --template=docs/template.html -o $@ $<
	@printf '%s\n' "$$FOOTER" >> $@
	@echo "html  $@ ($$(wc -c < $@) bytes)"

site/style.css: docs/style.css | site
	cp $< $@

site man dist:
	mkdir -p $@

man: $(MAN_PAGES)
man/%: docs/man/%.ronn | man
	ronn --roff --pipe --date=$(DATE) --manual='Inkwell Manual' $< > $@

verify-version:
	@test -n "$(VERSION)" || { echo "could not determine VERSION" >&2; exit 1; }
	@case '$(VERSION)' in \
	    *-dirty|*-rc*) echo "warning: '$(VERSION)' is not a final release" ;; \
	    [0-9]*.[0-9]*.[0-9]*) ;; \
	    *) echo "error: malformed version '$(VERSION)'" >&2; exit 1 ;; \
	esac

ifeq ($(origin SIGN_KEY),undefined)
  SIGN_CMD = @echo "not signing $(SIGN_FILE) (set SIGN_KEY to enable)"
else
  SIGN_CMD = gpg --batch --yes --local-user '$(SIGN_KEY)' --detach-sign --armor '$(SIGN_FILE)'
endif

release: verify-version docs man | dist
	@for p in $(PLATFORMS); do \
	    src="build/$$p/inkwell$$(case $$p in windows-*) echo .exe ;; esac)"; \
	    if [ ! -f "$$src" ]; then \
	        echo "skip $$p: $$src not built"; continue; \
	    fi; \
	    d='$(RELEASE_DIR)'-$$p; \
	    rm -rf "$$d" && mkdir -p "$$d/doc" && \
	    cp "$$src" README.md LICENSE.txt "$$d/" && \
	    cp -R site "$$d/doc/html" && cp -R man "$$d/doc/man" || exit 1; \
	    case $$p in \
	        windows-*) (cd dist && zip -qr "$${d#dist/}.zip" "$${d#dist/}") ;; \
	        *)         tar -C dist -czf "$$d.tar.gz" "$${d#dist/}" ;; \
	    esac; \
	    echo "packaged $$p"; \
	done
	$(MAKE) -f build.mak checksums

checksums: | dist
	cd dist && sha256sum inkwell-$(VERSION)-*.tar.gz inkwell-$(VERSION)-*.zip 2>/dev/null > SHA256SUMS; \
	test -s SHA256SUMS || { echo "no archives found" >&2; exit 1; }
	$(SIGN_CMD)

# Per-target value: sign the sums file, not a file called "checksums".
checksums: SIGN_FILE = dist/SHA256SUMS
release: export TZ := UTC

clean-docs:
	rm -rf site man
	-rm -f dist/SHA256SUMS dist/SHA256SUMS.asc

help-docs:
	@printf '%s\n' "$$HELP_TEXT"

export HELP_TEXT
