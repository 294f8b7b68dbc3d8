"""The project's documents link only to files that exist and to headings their targets have.
Reads the Markdown files alone: needs no build and no Wine."""
import glob
import os
import re
import tempfile
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
FENCE = re.compile(r"^\s*(```|~~~)")
HEADING = re.compile(r"^ {0,3}(#{1,6})\s+(.*?)\s*#*\s*$")
CODE_SPAN = re.compile(r"`+[^`]*`+")
# [text](target) or [text](target "title"); an image's ![alt](target) too.
LINK = re.compile(r"\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
EXTERNAL = re.compile(r"^[a-zA-Z][a-zA-Z0-9+.-]*:")


def documents(root):
    """The documents whose links are checked: the top-level ones and those of docs/."""
    names = ["README.md", "HACKING.md", "NEWS.md"]
    found = [os.path.join(root, n) for n in names if os.path.isfile(os.path.join(root, n))]
    return found + sorted(glob.glob(os.path.join(root, "docs", "*.md")))


def prose_lines(text):
    """The lines outside fenced code blocks, with their numbers."""
    fenced = False
    for number, line in enumerate(text.splitlines(), 1):
        if FENCE.match(line):
            fenced = not fenced
            continue
        if not fenced:
            yield number, line


def github_anchor(heading):
    """The anchor GitHub gives a heading: its text as shown, lower-case, punctuation dropped
    (letters, digits, underscores, spaces and hyphens stay), spaces made hyphens."""
    shown = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", heading)
    shown = re.sub(r"[^\w\- ]", "", shown.lower())
    return shown.replace(" ", "-")


def anchors(path):
    """Every anchor of a Markdown file; a repeated heading gets -1, -2 ... as on GitHub."""
    seen, result = {}, set()
    with open(path, encoding="utf-8") as f:
        for _, line in prose_lines(f.read()):
            heading = HEADING.match(line)
            if not heading:
                continue
            anchor = github_anchor(heading.group(2))
            count = seen.get(anchor, 0)
            seen[anchor] = count + 1
            result.add(anchor if count == 0 else "%s-%d" % (anchor, count))
    return result


def links(path):
    """(line number, target) of every link in the prose of a Markdown file."""
    with open(path, encoding="utf-8") as f:
        for number, line in prose_lines(f.read()):
            for match in LINK.finditer(CODE_SPAN.sub("code", line)):
                yield number, match.group(1)


def broken_links(root, paths):
    """'file:line: target: why' for every relative link that leads nowhere."""
    problems = []
    for path in paths:
        for number, target in links(path):
            if EXTERNAL.match(target):
                continue
            where = "%s:%d: %s: " % (os.path.relpath(path, root), number, target)
            file_part, _, anchor = target.partition("#")
            linked = os.path.normpath(os.path.join(os.path.dirname(path), file_part)) \
                if file_part else path
            if os.path.commonpath([root, linked]) != root:
                problems.append(where + "leads out of the repository")
            elif not os.path.exists(linked):
                problems.append(where + "no such file")
            elif anchor and not linked.endswith(".md"):
                problems.append(where + "an anchor into a file that is not Markdown")
            elif anchor and anchor not in anchors(linked):
                problems.append(where + "no heading gives the anchor #" + anchor)
    return problems


class DocLinksTest(unittest.TestCase):
    def test_GithubAnchor_FollowsGithubRules(self):
        cases = [  # (heading as written, anchor)
            ("The release", "the-release"),
            ("Report: BristokeReport.exe", "report-bristokereportexe"),
            ("After a crash, a power loss, a closed console or a killed process",
             "after-a-crash-a-power-loss-a-closed-console-or-a-killed-process"),
            ("Release command: scripts/release.sh", "release-command-scriptsreleasesh"),
            ("The emulator: machines that cannot run 32-bit programs",
             "the-emulator-machines-that-cannot-run-32-bit-programs"),
            ("What `--expect` does", "what---expect-does"),
            ("snake_case stays", "snake_case-stays"),
            ("See [the guide](docs/admin.md)", "see-the-guide"),
            ("It's the tool's own", "its-the-tools-own"),
        ]
        for heading, anchor in cases:
            with self.subTest(heading):
                self.assertEqual(github_anchor(heading), anchor)

    def test_BrokenLinks_FoundInAWrittenTree(self):
        # (what, the link written in docs/a.md, the problem expected or None)
        cases = [
            ("a file beside", "[b](b.md)", None),
            ("a file above", "[r](../README.md)", None),
            ("a heading of another file", "[b](b.md#second-part)", None),
            ("a repeated heading's second anchor", "[b](b.md#repeated-1)", None),
            ("a heading of the same file", "[here](#top)", None),
            ("a folder", "[docs](../docs/)", None),
            ("a web address", "[w](https://example.org/missing.md)", None),
            ("a link shown as code", "`[x](missing.md)`", None),
            ("a missing file", "[m](missing.md)", "no such file"),
            ("a missing anchor", "[b](b.md#third-part)", "no heading gives the anchor"),
            ("a third repeat that is not there", "[b](b.md#repeated-2)",
             "no heading gives the anchor"),
            ("a missing anchor in the same file", "[here](#bottom)", "no heading gives"),
            ("an anchor into a script", "[s](../run.sh#L1)", "not Markdown"),
            ("out of the repository", "[o](../../outside.md)", "out of the repository"),
        ]
        with tempfile.TemporaryDirectory() as scratch:
            root = os.path.join(scratch, "repo")
            os.makedirs(os.path.join(root, "docs"))
            with open(os.path.join(scratch, "outside.md"), "w") as f:
                f.write("# Outside\n")
            for name, text in [("README.md", "# Readme\n"), ("run.sh", "true\n"),
                               ("docs/b.md", "# B\n\n## Second part\n\n## Repeated\n\n"
                                             "## Repeated\n\n```\n## Third part\n```\n")]:
                with open(os.path.join(root, name), "w") as f:
                    f.write(text)
            a = os.path.join(root, "docs", "a.md")
            for what, link, expected in cases:
                with self.subTest(what):
                    with open(a, "w") as f:
                        f.write("# Top\n\nSee %s.\n\n```\n[fenced](missing.md)\n```\n" % link)
                    problems = broken_links(root, [a])
                    if expected is None:
                        self.assertEqual(problems, [])
                    else:
                        self.assertEqual(len(problems), 1, problems)
                        self.assertIn(expected, problems[0])
                        self.assertTrue(problems[0].startswith("docs/a.md:3: "), problems[0])

    def test_ProjectDocuments_LinkOnlyToWhatExists(self):
        self.assertEqual(broken_links(ROOT, documents(ROOT)), [])

    def test_Readme_LinksToEveryDocument(self):
        readme = os.path.join(ROOT, "README.md")
        linked = {os.path.normpath(os.path.join(ROOT, target.partition("#")[0]))
                  for _, target in links(readme)}
        for path in documents(ROOT):
            if path != readme:
                with self.subTest(os.path.relpath(path, ROOT)):
                    self.assertIn(path, linked)


if __name__ == "__main__":
    unittest.main(verbosity=2)
