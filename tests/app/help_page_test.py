#!/usr/bin/env python3
"""The help page stands alone: every in-page link has its target, and nothing
is loaded from outside the page (no other file, no web address)."""
import sys
from html.parser import HTMLParser

# Attributes through which a page loads or links to something else.
URL_ATTRIBUTES = {"href", "src", "action", "background", "data", "poster", "srcset", "formaction"}


class HelpPageReader(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.targets = set()
        self.links = []
        self.outside = []

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            value = value or ""
            if name in ("id", "name") and value:
                self.targets.add(value)
            elif name in URL_ATTRIBUTES:
                if value.startswith("#"):
                    self.links.append(value[1:])
                else:
                    self.outside.append(f"<{tag} {name}={value!r}>")
        if tag == "link" or (tag == "meta" and dict(attrs).get("http-equiv", "").lower() == "refresh"):
            self.outside.append(f"<{tag}>")

    def handle_data(self, data):
        # Style sheets may load pictures and fonts too.
        if self.lasttag == "style" and ("url(" in data or "@import" in data):
            self.outside.append("a style sheet that loads a file")


def problems(text):
    reader = HelpPageReader()
    reader.feed(text)
    reader.close()
    found = [f"link to #{link} has no target" for link in reader.links if link not in reader.targets]
    found += [f"loads from outside the page: {what}" for what in reader.outside]
    if "top" not in reader.targets:
        found.append("no target named top for the page's own links back")
    if not reader.links:
        found.append("no in-page links at all")
    return found


def self_test():
    """The checks find what they are for."""
    assert problems('<a id="top" href="#top">x</a>') == []
    assert problems('<a id="top" href="#top"></a><a href="#gone">x</a>') == ["link to #gone has no target"]
    assert problems('<p id="top"><a href="#top"></a><img src="logo.png">') == [
        "loads from outside the page: <img src='logo.png'>"]
    assert problems('<p id="top"><a href="#top"></a><a href="http://example.com/">x</a>') != []
    assert problems('<style>body{background:url(x.png)}</style><p id="top"><a href="#top"></a>') != []


def main():
    self_test()
    with open(sys.argv[1], encoding="ascii") as page:
        found = problems(page.read())
    for problem in found:
        print(problem)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
