#!/usr/bin/env python3
"""Whole-program tests of tgramplot.

Each test runs the built program in a scratch folder and reads the picture
with a real XML parser. Positions are checked against the input itself, and
the model line against the model file that tgraminterp writes for the same
input. The programs' command can be prefixed by an emulator (--emulator-arg,
once per word of its command), so that the same tests run a cross-built
program.

    plot_program_test.py --plot PATH --interp PATH --est PATH --e2e DIR --examples DIR
                         [--emulator-arg WORD ...] [--time-limit SECONDS] [TestClass ...]
"""

import argparse
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"
TG = "{urn:tgraminterp:tgramplot}"
PICTURE = "Transiograms.svg"
ARGS = None
# Whether the programs are Windows programs (a cross build run by an emulator).
WINDOWS = False

# A point must sit within this many pixels of where its lag and value map
# to: coordinates are written to a tenth of a pixel.
TOLERANCE = 0.06


def run(program, folder, *arguments):
    command = ARGS.emulator + [program, *arguments]
    done = subprocess.run(command, cwd=folder, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)
    return done.returncode, done.stdout, done.stderr


def plot(folder, *arguments):
    return run(ARGS.plot, folder, *arguments)


def single(value):
    """The value as a 4-byte real, as the program stores it."""
    return struct.unpack("<f", struct.pack("<f", value))[0]


def snapshot(folder):
    """The folder's entries: a file's bytes, or "<dir>"."""
    files = {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if os.path.isfile(path):
            with open(path, "rb") as f:
                files[name] = f.read()
        else:
            files[name] = "<dir>"
    return files


class Input:
    """An ExpTgrams.txt of plain numbers: the counts and every point."""

    def __init__(self, text):
        numbers = text.replace(",", " ").split()
        self.categories, self.max_lag, self.pairs, count = (int(n) for n in numbers[:4])
        self.lags, self.values = [], [[] for _ in range(self.pairs)]
        rest = numbers[4:]
        for e in range(count):
            record = rest[e * (self.pairs + 1):(e + 1) * (self.pairs + 1)]
            self.lags.append(int(record[0]))
            for f in range(self.pairs):
                self.values[f].append(single(float(record[1 + f])))
        self.text = text

    @property
    def matrix(self):
        return self.categories >= 1 and self.categories ** 2 == self.pairs

    def pair_name(self, f, names=None):
        if not self.matrix:
            return "column %d" % (f + 1)
        label = (lambda k: names[k]) if names else (lambda k: str(k + 1))
        return "p(%s,%s)" % (label(f // self.categories), label(f % self.categories))


def read_models(path, pairs):
    """The model file's values by lag: {h: [value per column]}."""
    models = {}
    with open(path, "rb") as f:
        records = f.read().decode("ascii").split("\r\n")
    for record in records[1:]:
        fields = record.split()
        # Header records (more than one when the columns are not the pairs)
        # begin with "h" or "p(".
        if fields and re.fullmatch(r"-?\d+", fields[0]):
            models[int(fields[0])] = [float(v) for v in fields[1:1 + pairs]]
    return models


NUMBER = r"[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?"


def path_vertices(d):
    """The vertices of path data made of moves and straight lines."""
    tokens = re.findall(r"[MmLlHhVvZz]|" + NUMBER, d)
    vertices, x, y, command, i = [], 0.0, 0.0, None, 0
    while i < len(tokens):
        if tokens[i].isalpha():
            command = tokens[i]
            i += 1
            continue
        if command in "MmLl":
            dx, dy = float(tokens[i]), float(tokens[i + 1])
            i += 2
            x, y = (x + dx, y + dy) if command.islower() else (dx, dy)
            command = {"M": "L", "m": "l"}.get(command, command)
        elif command in "Hh":
            x = x + float(tokens[i]) if command == "h" else float(tokens[i])
            i += 1
        elif command in "Vv":
            y = y + float(tokens[i]) if command == "v" else float(tokens[i])
            i += 1
        else:
            raise AssertionError("unexpected path command %r in %r" % (command, d[:80]))
        vertices.append((x, y))
    return vertices


class Panel:
    def __init__(self, group):
        self.group = group
        self.column = int(group.get(TG + "column"))
        self.classes = group.get("class").split()
        frame = [r for r in group.iter(SVG + "rect") if r.get("class") == "frame"]
        assert len(frame) == 1, "one frame per panel"
        self.left, self.top = float(frame[0].get("x")), float(frame[0].get("y"))
        self.width, self.height = float(frame[0].get("width")), float(frame[0].get("height"))
        titles = [t for t in group.iter(SVG + "text") if t.get("class") == "panel-title"]
        self.title = titles[0].text if len(titles) == 1 else None
        self.lag_max = float(group.get(TG + "lag-max"))
        self.p_min, self.p_max = float(group.get(TG + "p-min")), float(group.get(TG + "p-max"))
        models = [p for p in group.iter(SVG + "path") if p.get("class") == "model"]
        self.model = path_vertices(models[0].get("d")) if models else None
        self.circles = [c for c in group.iter(SVG + "circle") if c.get("class") == "point"]
        dots = [p for p in group.iter(SVG + "path") if p.get("class") == "points"]
        self.dots = path_vertices(dots[0].get("d")) if dots else None

    def at(self, lag, p):
        return (self.left + self.width * lag / self.lag_max,
                self.top + self.height * (self.p_max - p) / (self.p_max - self.p_min))


class PlotCase(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="tgramplot-")

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def write(self, name, data, folder=None):
        with open(os.path.join(folder or self.folder, name), "wb") as f:
            f.write(data.encode() if isinstance(data, str) else data)

    def models_of(self, data):
        """The model file tgraminterp writes for `data`, read by lag."""
        folder = tempfile.mkdtemp(prefix="tgraminterp-", dir=self.folder)
        self.write("ExpTgrams.txt", data.text, folder)
        status, _, err = run(ARGS.interp, folder)
        self.assertEqual(status, 0, err)
        return read_models(os.path.join(folder, "TgramModels.txt"), data.pairs)

    def picture(self, path):
        tree = ET.parse(path)  # fails on anything that is not well-formed XML
        root = tree.getroot()
        self.assertEqual(root.tag, SVG + "svg")
        self.assertEqual(root.get("version"), "1.1")
        for element in root.iter():
            self.assertNotIn(element.tag, (SVG + "script", SVG + "image", SVG + "style", SVG + "foreignObject"))
            for name, value in element.attrib.items():
                self.assertFalse(name.startswith("on"), "no event handlers")
                if "href" in name:
                    self.assertTrue(value.startswith("#"), "only references inside the picture")
                for reference in re.findall(r"url\(([^)]*)\)", value):
                    self.assertTrue(reference.startswith("#"), "only references inside the picture")
        self.assertEqual(root.get("font-family"), "sans-serif")
        return root

    def check_picture(self, data, vertex_lags, names=None, models=None, path=None):
        """Everything the picture must show for `data`; returns the panels."""
        root = self.picture(path or os.path.join(self.folder, PICTURE))
        panels = [Panel(g) for g in root.iter(SVG + "g") if "panel" in (g.get("class") or "").split()]
        self.assertEqual([p.column for p in panels], list(range(1, data.pairs + 1)))
        self.assertEqual(len({p.group.get("id") for p in panels}), data.pairs)
        all_values = [v for column in data.values for v in column]
        if models:
            all_values += [v for h in models for v in models[h]]
        lowest, highest = min([0.0] + all_values), max([1.0] + all_values)
        for panel in panels:
            f = panel.column - 1
            self.assertEqual(panel.title, data.pair_name(f, names))
            if data.matrix:
                i, j = f // data.categories + 1, f % data.categories + 1
                self.assertEqual((int(panel.group.get(TG + "from")), int(panel.group.get(TG + "to"))), (i, j))
                self.assertEqual("diagonal" in panel.classes, i == j)
            # The axes: every lag, 0..1 unless a value lies outside.
            self.assertEqual(panel.lag_max, max([data.max_lag, 1] + data.lags))
            self.assertLessEqual(panel.p_min, lowest)
            self.assertGreaterEqual(panel.p_max, highest)
            if (lowest, highest) == (0.0, 1.0):
                self.assertEqual((panel.p_min, panel.p_max), (0.0, 1.0))
            # The points: where their lag and value map to, with a tooltip.
            expected = [panel.at(h, v) for h, v in zip(data.lags, data.values[f])]
            if panel.dots is not None:
                drawn = panel.dots
            else:
                drawn = [(float(c.get("cx")), float(c.get("cy"))) for c in panel.circles]
                for circle, h, v in zip(panel.circles, data.lags, data.values[f]):
                    tooltip = circle.find(SVG + "title").text
                    match = re.fullmatch(re.escape(data.pair_name(f, names)) + r" at lag (\d+): (\S+)", tooltip)
                    self.assertTrue(match, tooltip)
                    self.assertEqual(int(match.group(1)), h)
                    self.assertEqual(single(float(match.group(2))), v)
            self.assertEqual(len(drawn), len(expected), panel.title)
            for (x, y), (ex, ey) in zip(drawn, expected):
                self.assertAlmostEqual(x, ex, delta=TOLERANCE, msg=panel.title)
                self.assertAlmostEqual(y, ey, delta=TOLERANCE, msg=panel.title)
            # The model line: its vertices at the given lags...
            if not vertex_lags:
                self.assertIsNone(panel.model, panel.title)
                continue
            self.assertEqual(len(panel.model), len(vertex_lags), panel.title)
            for (x, _), h in zip(panel.model, vertex_lags):
                self.assertAlmostEqual(x, panel.at(h, 0)[0], delta=TOLERANCE, msg=panel.title)
            if models is None:
                continue
            # ...and through every value of the model file, lag by lag.
            for h in range(0, data.max_lag + 1):
                y = panel.at(h, models[h][f])[1]
                k = max(n for n in range(len(vertex_lags)) if vertex_lags[n] <= h)
                k1 = min(k + 1, len(vertex_lags) - 1)
                y0, y1 = panel.model[k][1], panel.model[k1][1]
                on_line = y0 if k1 == k else y0 + (y1 - y0) * (h - vertex_lags[k]) / (vertex_lags[k1] - vertex_lags[k])
                self.assertAlmostEqual(y, on_line, delta=0.1, msg="%s at lag %d" % (panel.title, h))
        return panels

    def expect_only(self, *names):
        self.assertEqual(sorted(os.listdir(self.folder)), sorted(names))


# Small inputs made by hand, each with the lags of its model line's vertices.
HAND_MADE = {
    "two categories": ("2 8\n4 3\n0 1.0 0.0 0.0 1.0\n2 0.7 0.3 0.4 0.6\n5 0.55 0.45 0.5 0.5\n", [0, 2, 5, 8]),
    "values outside 0..1": ("2 3\n4 2\n0 -0.2 1.3 0.5 0.5\n3 0.1 0.9 0.5 0.5\n", [0, 3]),
    "maxLag at the last lag": ("1 6\n1 3\n0 1\n2 0.5\n6 0.25\n", [0, 2, 6]),
    # What the interpolation leaves for odd input, drawn as the table holds it.
    "first lag 3": ("2 6\n4 2\n3 .2 .4 .6 .8\n5 .3 .5 .7 .9\n", [0, 2, 3, 5, 6]),
    "maxLag below the last lag": ("1 4\n1 3\n0 1\n3 0.4\n8 0.9\n", [0, 3, 4]),
    "lags decreasing": ("1 6\n1 3\n0 0\n4 1\n2 0.5\n", [0, 2, 6]),
    "a later segment overwrites an earlier one": ("1 10\n1 4\n0 0\n8 0.8\n2 0.5\n3 0.1\n", [0, 1, 2, 3, 10]),
    "a single point": ("1 5\n1 1\n2 0.75\n", [0, 5]),
    "negative maxLag": ("1 -2\n1 2\n0 0.5\n3 0.25\n", []),
    "columns that are not the pairs": ("2 4\n3 2\n0 .1 .2 .3\n4 .5 .6 .7\n", [0, 4]),
}


class Pictures(PlotCase):
    def test_bundled_example(self):
        with open(os.path.join(ARGS.examples, "meuse-soil", "ExpTgrams.txt")) as f:
            data = Input(f.read())
        self.write("ExpTgrams.txt", data.text)
        self.write("TgramModels.txt", "a model file the plot must not touch\r\n")
        status, out, err = plot(self.folder)
        self.assertEqual((status, err), (0, b""))
        self.assertIn(PICTURE.encode(), out)
        self.expect_only("ExpTgrams.txt", "TgramModels.txt", PICTURE)
        with open(os.path.join(self.folder, "TgramModels.txt"), "rb") as f:
            self.assertEqual(f.read(), b"a model file the plot must not touch\r\n")
        lags = data.lags + ([data.max_lag] if data.max_lag > data.lags[-1] else [])
        self.check_picture(data, lags, models=self.models_of(data))

    def test_hand_made_inputs(self):
        for what, (text, vertex_lags) in HAND_MADE.items():
            with self.subTest(what):
                data = Input(text)
                self.write("ExpTgrams.txt", text)
                status, _, err = plot(self.folder, "--quiet")  # the warnings: see Warnings
                self.assertEqual((status, err), (0, b""))
                models = self.models_of(data) if data.max_lag >= 0 else None
                self.check_picture(data, vertex_lags, models=models)

    def test_columns_that_are_not_pairs_fill_a_near_square_grid(self):
        data = Input("2 4\n5 2\n0 .1 .2 .3 .4 .5\n4 .5 .6 .7 .8 .9\n")
        self.write("ExpTgrams.txt", data.text)
        self.assertEqual(plot(self.folder)[0], 0)
        panels = self.check_picture(data, [0, 4])
        places = [(p.left, p.top) for p in panels]
        columns, rows = sorted({x for x, _ in places}), sorted({y for _, y in places})
        self.assertEqual((len(columns), len(rows)), (3, 2))
        self.assertEqual([(columns.index(x), rows.index(y)) for x, y in places],
                         [(0, 0), (1, 0), (2, 0), (0, 1), (1, 1)])

    def test_names_label_the_categories(self):
        data = Input(HAND_MADE["two categories"][0])
        self.write("ExpTgrams.txt", data.text)
        names = ["Clay & <loam>", "Sand \"fine\""]
        status, _, err = plot(self.folder, "--names", " Clay & <loam>,Sand \"fine\" ")
        self.assertEqual((status, err), (0, b""))
        root = self.picture(os.path.join(self.folder, PICTURE))
        headers = [t.text for t in root.iter(SVG + "text") if t.get("class") in ("from", "to")]
        self.assertEqual(sorted(headers), sorted(["to " + n for n in names] + ["from " + n for n in names]))
        self.check_picture(data, [0, 2, 5, 8], names=names)

    def test_output_elsewhere_and_an_older_picture_replaced(self):
        data = Input(HAND_MADE["two categories"][0])
        self.write("ExpTgrams.txt", data.text)
        os.mkdir(os.path.join(self.folder, "pictures"))
        self.write("old.svg", "old", os.path.join(self.folder, "pictures"))
        for arguments in (["-o", "pictures/old.svg"], ["--output=pictures/old.svg"]):
            status, _, err = plot(self.folder, *arguments)
            self.assertEqual((status, err), (0, b""))
            self.expect_only("ExpTgrams.txt", "pictures")
            self.assertEqual(os.listdir(os.path.join(self.folder, "pictures")), ["old.svg"])
            self.check_picture(data, [0, 2, 5, 8], path=os.path.join(self.folder, "pictures", "old.svg"))


def smooth_input(categories, points, step, seed=3):
    """Transiograms that rise or fall to a level, with a little noise."""
    import math
    generator = random.Random(seed)
    m = categories
    lines = ["%d %d" % (m, (points - 1) * step), "%d %d" % (m * m, points)]
    for e in range(points):
        h = e * step
        values = []
        for i in range(m):
            row = [max(0.0, 1.0 / m + ((1.0 if i == j else 0.0) - 1.0 / m) * math.exp(-h / 50.0)
                       + generator.gauss(0, 0.01)) for j in range(m)]
            values += ["%.6f" % (v / sum(row)) for v in row]
        lines.append("%d %s" % (h, " ".join(values)))
    return "\n".join(lines) + "\n"


def text_of(element):
    """A text element's lines (one per tspan, else its own text)."""
    spans = element.findall(SVG + "tspan")
    return [s.text for s in spans] if spans else [element.text]


def least_width(text, size):
    """A width that text drawn at `size` in any usual sans-serif face has at
    least: the wide letters and CJK near an em, everything else a quarter."""
    em = 0.0
    for c in text:
        if c in "WM":
            em += 0.8
        elif ord(c) >= 0x2E80 or c == "\u2026":
            em += 0.9
        elif c.isdigit():
            em += 0.55
        else:
            em += 0.25
    return em * size


# Long category names, as users give them.
LONG_NAMES = {
    "capitals": ["WWWWW MMMMM WWWWW MMMMM", "MMMMMMMMMMMMMMMMMMMMMMMMMMMM", "WMWMWMWMWMWMWMWMWMWMWMWMWMWM"],
    "CJK": ["\u51b2\u79ef\u7c98\u571f\u5939\u783e\u77f3\u900f\u955c\u4f53" * 2,
            "\u6cb3\u5cb8\u7802\u8d28\u58e4\u571f\u548c\u7c89\u7802\u5c42",
            "\u98ce\u5316\u57fa\u5ca9\u4e0e\u788e\u77f3"],
    "names sharing their start": ["Alluvial clay with gravel lens", "Alluvial clay with sand lens",
                                  "Alluvial clay"],
}


class Legibility(PlotCase):
    def draw(self, text, *arguments):
        self.write("ExpTgrams.txt", text)
        status, _, err = plot(self.folder, "--quiet", *arguments)
        self.assertEqual((status, err), (0, b""))
        return self.picture(os.path.join(self.folder, PICTURE))

    def test_names_fit_their_room_and_pairs_keep_both_names(self):
        for what, names in LONG_NAMES.items():
            with self.subTest(what):
                root = self.draw(HAND_MADE["two categories"][0].replace("2 8\n4 3", "3 8\n9 3")
                                 .replace("1.0 0.0 0.0 1.0", "1 0 0 0 1 0 0 0 1")
                                 .replace("0.7 0.3 0.4 0.6", ".7 .3 0 .4 .6 0 0 0 1")
                                 .replace("0.55 0.45 0.5 0.5", ".5 .5 0 .5 .5 0 0 0 1"),
                                 "--names", ",".join(names))
                font = float(next(g for g in root.iter(SVG + "g") if g.get("class") == "panels").get("font-size"))
                panels = [Panel(g) for g in root.iter(SVG + "g") if "panel" in (g.get("class") or "").split()]
                for panel in panels:
                    f = panel.column - 1
                    title = panel.title
                    self.assertLessEqual(panel.left + 1 + least_width(title, font), panel.left + panel.width, title)
                    match = re.fullmatch(r"p\((.+),(.+)\)", title)
                    self.assertTrue(match, title)
                    for shown, name in zip(match.groups(), (names[f // 3], names[f % 3])):
                        self.assertTrue(name.startswith(shown.rstrip("\u2026")), (title, name))
                headers = next(g for g in root.iter(SVG + "g") if g.get("class") == "category-headers")
                size = float(headers.get("font-size"))
                columns = sorted({(p.left, p.width) for p in panels})
                gap = columns[1][0] - (columns[0][0] + columns[0][1])
                rows = sorted({(p.top, p.height) for p in panels})
                for k, header in enumerate(t for t in headers.iter(SVG + "text") if t.get("class") == "to"):
                    left, width = columns[k]
                    self.assertEqual(header.find(SVG + "title").text, names[k], "the full name, once")
                    lines = text_of(header)
                    self.assertLessEqual(len(lines), 2)
                    self.assertTrue(" ".join(lines).startswith("to "), lines)
                    for line in lines:
                        half = least_width(line, size) / 2
                        x = float(header.get("x"))
                        self.assertGreaterEqual(x - half, left - gap / 2, line)
                        self.assertLessEqual(x + half, left + width + gap / 2, line)
                for k, header in enumerate(t for t in headers.iter(SVG + "text") if t.get("class") == "from"):
                    top, height = rows[k]
                    row_top = top - 1.7 * font  # the panel titles' band
                    y = float(header.get("y"))
                    for line in text_of(header):
                        half = least_width(line, size) / 2
                        self.assertGreaterEqual(y - half, row_top, line)  # never up into the heading
                        self.assertLessEqual(y + half, top + height, line)

    def test_long_names_keep_the_picture_small(self):
        # A Windows command line holds at most 32 767 characters: there the
        # seven names are as long as it allows.
        length = 4500 if WINDOWS else 18000
        names = ["Category %d %s" % (k, "x" * (length - 11)) for k in range(7)]
        self.assertEqual({len(n) for n in names}, {length})
        self.write("ExpTgrams.txt", smooth_input(7, 401, 2))
        start = time.monotonic()
        status, _, err = plot(self.folder, "--quiet", "--names", ",".join(names))
        seconds = time.monotonic() - start
        self.assertEqual((status, err), (0, b""))
        path = os.path.join(self.folder, PICTURE)
        size = os.path.getsize(path)
        print("7 names of %d characters, 401 lags: %d bytes in %.3f s" % (length, size, seconds))
        self.assertLess(size, 6_000_000)
        self.assertLess(seconds, ARGS.time_limit * 2)
        with open(path, encoding="utf-8") as f:
            document = f.read()
        for name in names:
            self.assertEqual(document.count(name), 1)
        self.picture(path)

    def test_the_model_stays_visible_over_dense_points(self):
        root = self.draw(smooth_input(7, 401, 2))
        for group in (g for g in root.iter(SVG + "g") if "panel" in (g.get("class") or "").split()):
            panel = Panel(group)
            children = list(group)
            drawn = [c.get("class") for c in children]
            self.assertGreater(drawn.index("model"), drawn.index("points"), "the model above the points")
            spacing = panel.width * 800 / panel.lag_max / 400
            for circle in panel.circles:
                self.assertLessEqual(float(circle.get("r")), max(spacing * 0.5, 0.75))
        # Points far apart keep their usual markers, above the line.
        with open(os.path.join(ARGS.examples, "meuse-soil", "ExpTgrams.txt")) as f:
            root = self.draw(f.read())
        for group in (g for g in root.iter(SVG + "g") if "panel" in (g.get("class") or "").split()):
            drawn = [c.get("class") for c in group]
            self.assertLess(drawn.index("model"), drawn.index("points"))
            self.assertGreaterEqual(min(float(c.get("r")) for c in Panel(group).circles), 1.2)

    def test_lag_labels_of_neighbouring_panels_keep_apart(self):
        for categories, max_lag in ((20, 1000), (7, 1000), (3, 20), (12, 999)):
            with self.subTest(categories=categories, max_lag=max_lag):
                text = full_size_input().replace("20 1000", "%d %d" % (categories, max_lag), 1)
                text = text.replace("400 401", "%d 401" % (categories * categories), 1)
                if categories != 20:
                    text = smooth_input(categories, 11, max_lag // 10)
                root = self.draw(text)
                font = float(next(g for g in root.iter(SVG + "g") if g.get("class") == "panels").get("font-size"))
                by_line = {}
                for ticks in (g for g in root.iter(SVG + "g") if g.get("class") == "ticks"):
                    for label in ticks.iter(SVG + "text"):
                        if label.get("text-anchor") == "middle":
                            by_line.setdefault(label.get("y"), []).append((float(label.get("x")), label.text))
                self.assertTrue(by_line)
                for labels in by_line.values():
                    labels.sort()
                    for (x1, t1), (x2, t2) in zip(labels, labels[1:]):
                        space = (x2 - least_width(t2, font) / 2) - (x1 + least_width(t1, font) / 2)
                        self.assertGreaterEqual(space, font, (t1, t2))


# Input that tgraminterp reads without a word, and the warnings tgramplot
# gives about it: a pattern per warning line, in order.
WARNINGS = {
    "decimal commas": ("2 4\n4 2\n0 1 0 0 1\n2 0,7 0,3 0,4 0,6\n", [
        r"line 4, column 11: values left over at the end of the record of experimental point 2 of 2 "
        r"\(a lag and 4 values\), not read: \"0,4 0,6\" \(a comma separates values: a decimal comma, "
        r"as in 0,7, reads as the two values 0 and 7\)",
        r"line 4, column 5: p\(1,2\) = 7 of experimental point 2 \(lag 2\) is outside 0\.\.1",
        r"line 4, column 9: p\(2,2\) = 3 of experimental point 2 \(lag 2\) is outside 0\.\.1",
        r"line 4, column 3: the row p\(1,1\.\.2\) of experimental point 2 \(lag 2\) sums to 7, not 1",
        r"line 4, column 7: the row p\(2,1\.\.2\) of experimental point 2 \(lag 2\) sums to 3, not 1"]),
    "values and rows": ("2 4\n4 2\n0 1 0\n  0 1\n3 0.5 0.6 -0.1 1.1\n", [
        r"line 5, column 11: p\(2,1\) = -0\.1 of experimental point 2 \(lag 3\) is outside 0\.\.1",
        r"line 5, column 16: p\(2,2\) = 1\.1 of experimental point 2 \(lag 3\) is outside 0\.\.1",
        r"line 5, column 3: the row p\(1,1\.\.2\) of experimental point 2 \(lag 3\) sums to 1\.1, not 1"]),
    "row sums at the tolerance": ("2 4\n4 2\n0 0.5 0.49 0.5 0.51\n4 0.5 0.489 0.5 0.5\n", [
        r"line 4, column 3: the row p\(1,1\.\.2\) of experimental point 2 \(lag 4\) sums to 0\.989, not 1"]),
    "lags": ("1 3\n1 3\n2 1\n5 1\n4 1\n", [
        r"line 3, column 1: the first experimental point is at lag 2, not 0: the model is 0 below it",
        r"line 5, column 1: the lag of experimental point 3 \(4\) does not increase on the lag of point 2 "
        r"\(5, line 4\)",
        r"line 1, column 3: maxLag \(3\) is below the last experimental lag \(4, line 5\): "
        r"the model stops at maxLag"]),
    "a count's record": ("1 4 9\n1 1\n0 1\n", [
        r"line 1, column 5: values left over at the end of the record of the counts categoryCount and "
        r"maxLag, not read: \"9\""]),
    "columns that are not the pairs": ("2 4\n3 1\n0 .1 .2 1.5\n", [
        r"line 3, column 9: column 3 = 1\.5 of experimental point 1 \(lag 0\) is outside 0\.\.1"]),
    "many of a kind": ("1 20\n1 15\n" + "".join("%d 0.5\n" % h for h in range(15)),
                       [r"line %d, column \d+: the row p\(1,1\.\.1\) of experimental point %d \(lag %d\) sums to "
                        r"0\.5, not 1" % (3 + e, e + 1, e) for e in range(10)]
                       + [r"5 more rows that do not sum to 1 not shown"]),
}


class Warnings(PlotCase):
    def test_each_warning_names_its_line_and_changes_nothing_else(self):
        for what, (text, expected) in WARNINGS.items():
            with self.subTest(what):
                self.write("ExpTgrams.txt", text)
                status, out, err = plot(self.folder, "--quiet")
                self.assertEqual((status, err), (0, b""))
                with open(os.path.join(self.folder, PICTURE), "rb") as f:
                    quiet = f.read()
                status, loud_out, err = plot(self.folder)
                self.assertEqual((status, loud_out), (0, out))
                with open(os.path.join(self.folder, PICTURE), "rb") as f:
                    self.assertEqual(f.read(), quiet)
                lines = err.decode("utf-8").split("\r\n")
                self.assertEqual(lines[-1], "")
                lines = lines[:-1]
                self.assertEqual(len(lines), len(expected), "\n".join(lines))
                for line, pattern in zip(lines, expected):
                    prefix = "tgramplot: warning: ExpTgrams.txt, "
                    self.assertTrue(line.startswith(prefix), line)
                    self.assertRegex(line[len(prefix):], "^" + pattern + "$")
                for option in ("-q", "--quiet"):
                    self.assertEqual(plot(self.folder, option)[2], b"")

    def test_a_reader_that_has_gone_changes_nothing(self):
        """Warnings written to a pipe that nobody reads any more."""
        self.write("ExpTgrams.txt", WARNINGS["many of a kind"][0])
        read_end, write_end = os.pipe()
        os.close(read_end)
        try:
            done = subprocess.run(ARGS.emulator + [ARGS.plot], cwd=self.folder, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=write_end, timeout=300)
        finally:
            os.close(write_end)
        self.assertEqual(done.returncode, 0)
        self.picture(os.path.join(self.folder, PICTURE))


class Failures(PlotCase):
    def folder_with_old_picture(self, text):
        if text is not None:
            self.write("ExpTgrams.txt", text)
        self.write(PICTURE, "an older picture")
        return snapshot(self.folder)

    def test_bad_input_gives_the_report_of_tgraminterp_and_no_picture(self):
        fixtures = 0
        for name in sorted(os.listdir(ARGS.e2e)):
            case = os.path.join(ARGS.e2e, name)
            source = os.path.join(case, "in", "ExpTgrams.txt")
            stderr = os.path.join(case, "out", "stderr")
            if WINDOWS and os.path.exists(stderr + ".windows"):
                stderr += ".windows"  # the report Windows gives (see the fixture runner)
            if WINDOWS and os.path.exists(os.path.join(case, "windows-skip")):
                continue
            if not os.path.exists(stderr) or not os.path.exists(source):
                continue
            with open(stderr, "rb") as f:
                report = f.read()
            # The faults of reading and computing; the plot never writes the model file.
            if b"(ExpTgrams.txt)" not in report and b"MATH" not in report:
                continue
            fixtures += 1
            with self.subTest(name):
                shutil.rmtree(self.folder)
                shutil.copytree(os.path.join(case, "in"), self.folder, symlinks=True)
                before = self.folder_with_old_picture(None)
                status, out, err = plot(self.folder, "--quiet")
                self.assertEqual((status, out, err), (1, b"", report))
                self.assertEqual(snapshot(self.folder), before)
                # Warnings about what was read may come before the report.
                status, out, err = plot(self.folder)
                self.assertEqual((status, out), (1, b""))
                self.assertTrue(err.endswith(report), err)
                for line in err[:len(err) - len(report)].splitlines():
                    self.assertTrue(line.startswith(b"tgramplot: warning: ExpTgrams.txt, line "), line)
                self.assertEqual(snapshot(self.folder), before)
        self.assertGreater(fixtures, 10)

    def test_missing_input_is_reported_and_not_created(self):
        status, out, err = plot(self.folder)
        self.assertEqual((status, out), (1, b""))
        self.assertIn(b"OPEN(ExpTgrams.txt)", err)
        self.assertIn(b"file not found", err)
        self.expect_only()

    def test_wrong_names_give_status_2_and_no_picture(self):
        cases = [
            ("too few", "2 3\n4 1\n0 .1 .2 .3 .4\n", "A"),
            ("too many", "2 3\n4 1\n0 .1 .2 .3 .4\n", "A,B,C"),
            ("an empty name", "2 3\n4 1\n0 .1 .2 .3 .4\n", "A,,B"),
            ("no matrix to label", "2 3\n3 1\n0 .1 .2 .3\n", "A,B"),
        ]
        for what, text, names in cases:
            with self.subTest(what):
                before = self.folder_with_old_picture(text)
                status, out, err = plot(self.folder, "--names", names)
                self.assertEqual((status, out), (2, b""))
                self.assertIn(b"--names", err)
                self.assertEqual(snapshot(self.folder), before)

    def test_a_picture_that_cannot_be_written_leaves_nothing(self):
        before = self.folder_with_old_picture(HAND_MADE["two categories"][0])
        status, out, err = plot(self.folder, "-o", "no-such-folder/picture.svg")
        self.assertEqual((status, out), (1, b""))
        self.assertIn(b"no-such-folder/picture.svg is not written", err)
        self.assertEqual(snapshot(self.folder), before)

    def test_a_write_that_fails_midway_keeps_the_older_picture(self):
        if os.name != "posix" or ARGS.emulator:
            self.skipTest("needs a POSIX file size limit on the program itself")
        import resource
        import signal

        def limit_file_size():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write beyond the limit fails instead
            resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))

        before = self.folder_with_old_picture(HAND_MADE["two categories"][0])
        done = subprocess.run([ARGS.plot], cwd=self.folder, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, preexec_fn=limit_file_size, timeout=60)
        self.assertEqual((done.returncode, done.stdout), (1, b""))
        self.assertIn(b"Transiograms.svg is not written: cannot write it", done.stderr)
        self.assertEqual(snapshot(self.folder), before)  # no part of a picture, no temporary file

    def test_a_target_that_cannot_be_written_fails_with_one_status(self):
        os.mkdir(os.path.join(self.folder, "sub"))
        for target, reason in (("ExpTgrams.txt", b"which the plot never changes"),
                               ("./TgramModels.txt", b"which the plot never changes"),
                               ("tgrammodels.txt", b"which the plot never changes"),
                               ("sub/../ExpTgrams.txt", b"which the plot never changes"),
                               ("sub", b"it is a folder"),
                               ("no-such-folder/picture.svg", b"no such file or folder")):
            with self.subTest(target):
                before = self.folder_with_old_picture(HAND_MADE["two categories"][0])
                status, out, err = plot(self.folder, "-o", target)
                self.assertEqual((status, out), (1, b""))
                self.assertIn(b"the picture " + target.encode() + b" is not written: ", err)
                self.assertIn(reason, err)
                self.assertEqual(snapshot(self.folder), before)


def posix_only(test):
    """Skips a test that needs POSIX files (links, devices, pipes, modes) on the programs' own system."""
    def wrapper(self):
        if os.name != "posix" or ARGS.emulator:
            self.skipTest("needs POSIX links, devices, pipes or permissions on the programs' own system")
        test(self)
    wrapper.__name__ = test.__name__
    return wrapper


def as_unprivileged():
    """A preexec_fn that drops root to nobody (None when not root)."""
    if os.geteuid() != 0:
        return None
    import pwd
    nobody = pwd.getpwnam("nobody")

    def drop():
        os.setgid(nobody.pw_gid)
        os.setuid(nobody.pw_uid)
    return drop


class Targets(PlotCase):
    """Where -o sends the picture."""

    def setUp(self):
        super().setUp()
        self.data = Input(HAND_MADE["two categories"][0])
        self.write("ExpTgrams.txt", self.data.text)

    def check_written(self, path):
        self.check_picture(self.data, HAND_MADE["two categories"][1], path=path)

    def check_piped(self, out):
        """`out` is the picture and nothing else."""
        self.assertTrue(out.startswith(b"<?xml"), out[:80])
        picture = os.path.join(self.folder, "piped.svg")
        self.write("piped.svg", out)
        self.check_written(picture)
        os.remove(picture)

    def test_standard_output(self):
        status, out, err = plot(self.folder, "-o", "-")
        self.assertEqual((status, err), (0, b""))
        self.check_piped(out)
        self.expect_only("ExpTgrams.txt")

    @posix_only
    def test_devices_and_pipes_are_written_through_never_replaced(self):
        import stat
        import threading
        # Each device through a link of the folder, so that a program that
        # would replace its target replaces the link, never a device node.
        def device(name):
            link = os.path.join(self.folder, name + ".svg")
            os.symlink("/dev/" + name, link)
            return link
        # /dev/stdout: down the program's standard output, a pipe here.
        status, out, err = plot(self.folder, "-o", device("stdout"))
        self.assertEqual((status, err), (0, b""))
        self.check_piped(out)
        # The null device takes it; a full device refuses it.
        self.assertEqual(plot(self.folder, "-o", device("null"))[::2], (0, b""))
        if os.path.exists("/dev/full"):
            status, out, err = plot(self.folder, "-o", device("full"))
            self.assertEqual((status, out), (1, b""))
            self.assertIn(b"full.svg is not written: cannot write it: no space left on device", err)
        for name in ("stdout", "null", "full"):
            self.assertEqual(os.readlink(os.path.join(self.folder, name + ".svg")), "/dev/" + name)
        # A named pipe: its reader gets the picture.
        fifo = os.path.join(self.folder, "pipe.svg")
        os.mkfifo(fifo)
        received = []
        reader = threading.Thread(target=lambda: received.append(open(fifo, "rb").read()))
        reader.start()
        status, _, err = plot(self.folder, "-o", "pipe.svg")
        reader.join(60)
        self.assertEqual((status, err), (0, b""))
        self.assertTrue(stat.S_ISFIFO(os.lstat(fifo).st_mode))
        self.write("from-pipe.svg", received[0])
        self.check_written(os.path.join(self.folder, "from-pipe.svg"))

    @posix_only
    def test_a_socket_is_refused(self):
        import socket
        server = socket.socket(socket.AF_UNIX)
        self.addCleanup(server.close)
        server.bind(os.path.join(self.folder, "socket.svg"))
        status, out, err = plot(self.folder, "-o", "socket.svg")
        self.assertEqual((status, out), (1, b""))
        self.assertIn(b"socket.svg is not written: it is not a regular file, a device or a named pipe", err)

    @posix_only
    def test_links_are_followed_and_the_file_they_lead_to_replaced_in_its_folder(self):
        os.mkdir(os.path.join(self.folder, "real"))
        self.write("old.svg", "old", os.path.join(self.folder, "real"))
        os.symlink("real/old.svg", os.path.join(self.folder, "link.svg"))
        os.symlink(os.path.join(self.folder, "link.svg"), os.path.join(self.folder, "chain.svg"))
        os.symlink("real/new.svg", os.path.join(self.folder, "dangling.svg"))
        for target, written in (("chain.svg", "old.svg"), ("link.svg", "old.svg"), ("dangling.svg", "new.svg")):
            with self.subTest(target):
                status, _, err = plot(self.folder, "-o", target)
                self.assertEqual((status, err), (0, b""))
                self.check_written(os.path.join(self.folder, "real", written))
        self.assertEqual(os.readlink(os.path.join(self.folder, "link.svg")), "real/old.svg")
        self.assertEqual(os.readlink(os.path.join(self.folder, "chain.svg")), os.path.join(self.folder, "link.svg"))
        self.assertEqual(os.readlink(os.path.join(self.folder, "dangling.svg")), "real/new.svg")
        self.assertEqual(sorted(os.listdir(os.path.join(self.folder, "real"))), ["new.svg", "old.svg"])
        self.expect_only("ExpTgrams.txt", "real", "link.svg", "chain.svg", "dangling.svg")

    @posix_only
    def test_the_mode_of_a_replaced_file_is_kept_and_a_read_only_one_refused(self):
        target = os.path.join(self.folder, "kept.svg")
        self.write("kept.svg", "old")
        os.chmod(target, 0o640)
        self.assertEqual(plot(self.folder, "-o", "kept.svg")[::2], (0, b""))
        self.assertEqual(os.stat(target).st_mode & 0o7777, 0o640)
        self.check_written(target)

        # Root may write anything: the refusal is seen by another user, who
        # runs a copy of the program (the build folder may be closed to it).
        drop = as_unprivileged()
        program = ARGS.plot
        if drop is not None:
            copies = tempfile.mkdtemp(prefix="tgramplot-program-")
            self.addCleanup(shutil.rmtree, copies, True)
            os.chmod(copies, 0o755)
            program = shutil.copy(ARGS.plot, copies)
            os.chmod(program, 0o755)
        os.chmod(self.folder, 0o777)
        self.write("read-only.svg", "old")
        os.chmod(os.path.join(self.folder, "read-only.svg"), 0o444)
        done = subprocess.run([program, "-o", "read-only.svg"], cwd=self.folder, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, preexec_fn=drop, timeout=60)
        self.assertEqual((done.returncode, done.stdout), (1, b""), done.stderr)
        self.assertIn(b"read-only.svg is not written: it is read-only", done.stderr)
        with open(os.path.join(self.folder, "read-only.svg"), "rb") as f:
            self.assertEqual(f.read(), b"old")

    def test_the_longest_name_a_folder_allows(self):
        name = "p" * 240 + ".svg"
        self.write(name, "old")
        status, _, err = plot(self.folder, "-o", name)
        self.assertEqual((status, err), (0, b""))
        self.check_written(os.path.join(self.folder, name))
        self.expect_only("ExpTgrams.txt", name)

    def test_names_beyond_ascii(self):
        os.mkdir(os.path.join(self.folder, "Größe"))
        for target in ("é.svg", "Größe/Übersicht.svg", "Кривые.svg", "遷移図.svg"):
            with self.subTest(target):
                status, out, err = plot(self.folder, "-o", target)
                self.assertEqual((status, err), (0, b""))
                self.assertIn(target.encode(), out)
                self.check_written(os.path.join(self.folder, target))
        # A folder of such a name as the current one, for both programs.
        inner = os.path.join(self.folder, "Größe")
        self.write("ExpTgrams.txt", self.data.text, inner)
        self.assertEqual(run(ARGS.interp, inner)[0], 0)
        self.assertEqual(plot(inner)[::2], (0, b""))
        self.check_written(os.path.join(inner, PICTURE))
        self.assertEqual(sorted(os.listdir(inner)),
                         ["ExpTgrams.txt", "TgramModels.txt", PICTURE, "Übersicht.svg"])

    def test_windows_device_names_are_refused(self):
        if not WINDOWS:
            self.skipTest("Windows device names")
        for target in ("NUL", "com1", "LPT1.txt", "sub/AUX.svg"):
            with self.subTest(target):
                status, out, err = plot(self.folder, "-o", target)
                self.assertEqual((status, out), (1, b""))
                self.assertIn(b"is not written: it is a device name on Windows", err)
        self.expect_only("ExpTgrams.txt")


class Options(PlotCase):
    def test_help_and_version_touch_nothing(self):
        for arguments, expected in ((["--help"], [b"-o FILE", b"--names", b"--help", b"Exit status"]),
                                    (["-h"], [b"Usage: tgramplot"]),
                                    (["--version"], [b"tgramplot "])):
            with self.subTest(arguments[0]):
                status, out, err = plot(self.folder, *arguments)
                self.assertEqual((status, err), (0, b""))
                for text in expected:
                    self.assertIn(text, out)
                self.expect_only()

    def test_a_wrong_command_line_gives_status_2(self):
        for arguments, message in ((["--colour"], b"unknown option --colour"),
                                   (["picture.svg"], b"unexpected argument picture.svg"),
                                   (["-o"], b"option -o needs a value"),
                                   (["--names"], b"option --names needs a value"),
                                   (["-o", ""], b"file name is empty")):
            with self.subTest(" ".join(arguments)):
                status, out, err = plot(self.folder, *arguments)
                self.assertEqual((status, out), (2, b""))
                self.assertIn(message, err)
                self.assertIn(b"--help", err)
                self.expect_only()


PAIR_HEADER = "lag,distance_from,distance_to,mean_distance,from,to,n_ij,n_i,p_ij,standard_error,status"


def csv_field(text):
    return '"' + text.replace('"', '""') + '"' if any(c in text for c in ',"\r\n') else text


def estimates(labels, counts, min_pairs, max_lag):
    """An ExpTgrams.txt and the pair table that tgramest writes with it, for
    the pair counts counts[lag][i][j] (lag 0 is the identity, not estimated),
    and each point's expected figures by (lag, value column): (n_ij, n_i, p,
    standard error), or None at lag 0."""
    m = len(labels)
    lags = [0] + sorted(counts)
    lines = ["%d %d" % (m, max_lag), "%d %d" % (m * m, len(lags)),
             "0 " + " ".join("1.000000" if i == j else "0.000000" for i in range(m) for j in range(m))]
    table = ["# tgramest (made by the test)", "# min pairs: %d" % min_pairs, "category,label,samples,proportion"]
    table += ["%d,%s,%d,%.6f" % (k + 1, csv_field(label), 10, 1 / m) for k, label in enumerate(labels)]
    table += ["", PAIR_HEADER]
    table += ["0,0,50,,%d,%d,0,0,,,not estimated" % (i + 1, j + 1) for i in range(m) for j in range(m)]
    expected = {(0, f): None for f in range(m * m)}
    for lag in sorted(counts):
        values = []
        for i in range(m):
            n_i = sum(counts[lag][i])
            for j in range(m):
                n_ij = counts[lag][i][j]
                p = n_ij / n_i
                error = (p * (1 - p) / n_i) ** 0.5
                table.append("%d,%d,%d,%d,%d,%d,%d,%d,%.6f,%.6f,written" % (
                    lag, lag * 100 - 50, lag * 100 + 50, lag * 100, i + 1, j + 1, n_ij, n_i, p, error))
                values.append("%.6f" % p)
                expected[(lag, i * m + j)] = (n_ij, n_i, float("%.6f" % p), float("%.6f" % error))
        lines.append("%d %s" % (lag, " ".join(values)))
    return "\r\n".join(lines) + "\r\n", "\r\n".join(table) + "\r\n", expected


# Two categories, at least 10 pairs: row 2 of lag 1 rests on 4 pairs (hollow,
# and its bars reach beyond 0 and 1); p(1,2) at lag 3 is 0 (no bar).
PAIR_LABELS = ["Clay, heavy", 'Sand "fine"']
PAIR_COUNTS = {1: [[30, 10], [3, 1]], 2: [[25, 25], [12, 12]], 3: [[40, 0], [5, 20]]}
PAIR_MIN = 10


def points_of(group):
    return [c for c in group.iter(SVG + "circle") if "point" in (c.get("class") or "").split()]


def tooltip(element):
    title = element.find(SVG + "title")
    return title.text if title is not None else None


class PairTables(PlotCase):
    def setUp(self):
        super().setUp()
        text, table, self.expected = estimates(PAIR_LABELS, PAIR_COUNTS, PAIR_MIN, 5)
        self.write("ExpTgrams.txt", text)
        self.write("ExpTgrams.pairs.csv", table)

    def panels(self, *arguments):
        status, _, err = plot(self.folder, *arguments)
        self.assertEqual((status, err), (0, b""))
        root = self.picture(os.path.join(self.folder, PICTURE))
        return root, [Panel(g) for g in root.iter(SVG + "g") if "panel" in (g.get("class") or "").split()]

    def test_names_come_from_the_table_unless_given(self):
        for arguments, names in (((), PAIR_LABELS), (("--names", "A,B"), ["A", "B"])):
            with self.subTest(arguments=arguments):
                root, panels = self.panels(*arguments)
                self.assertEqual(len(panels), 4)
                headers = [g for g in root.iter(SVG + "g") if g.get("class") == "category-headers"]
                self.assertEqual([tooltip(t) for t in headers[0].iter(SVG + "text") if t.get("class") == "to"],
                                 names)
                for panel in panels:
                    a, b = names[(panel.column - 1) // 2], names[(panel.column - 1) % 2]
                    self.assertEqual(tooltip(panel.group), "p(%s,%s): from %s to %s" % (a, b, a, b))

    def test_tooltips_give_the_counts_and_few_pairs_are_hollow(self):
        root, panels = self.panels()
        hollow = 0
        for panel in panels:
            f = panel.column - 1
            circles = points_of(panel.group)
            self.assertEqual(len(circles), 4)
            for circle in circles:
                lag = int(re.search(r" at lag (\d+): ", tooltip(circle)).group(1))
                figures = self.expected[(lag, f)]
                few = "few" in circle.get("class").split()
                if figures is None:
                    self.assertTrue(tooltip(circle).endswith(" (not estimated)"), tooltip(circle))
                    self.assertFalse(few)
                    continue
                n_ij, n_i, _, error = figures
                self.assertIn("; n_ij / n_i = %d / %d, standard error %g" % (n_ij, n_i, error), tooltip(circle))
                self.assertEqual(few, n_i < 2 * PAIR_MIN, tooltip(circle))
                if few:
                    self.assertEqual(circle.get("fill"), "#ffffff")
                    self.assertIsNotNone(circle.get("stroke"))
                hollow += few
        self.assertEqual(hollow, 2)
        legend = [g for g in root.iter(SVG + "g") if g.get("class") == "legend"][0]
        self.assertTrue(any(c.get("class") == "few" for c in legend.iter(SVG + "circle")))
        self.assertIn("n_i < 20 = 2 \u00d7 min pairs", [t.text for t in legend.iter(SVG + "text")])

    def test_error_bars_span_two_standard_errors_cut_at_the_panel(self):
        _, panels = self.panels()
        self.assertFalse([p for panel in panels for p in panel.group.iter(SVG + "path")
                          if p.get("class") == "error-bars"], "no bars unless asked for")
        _, panels = self.panels("--error-bars")
        cut = 0
        for panel in panels:
            f = panel.column - 1
            paths = [p for p in panel.group.iter(SVG + "path") if p.get("class") == "error-bars"]
            self.assertEqual(len(paths), 1)
            bars = sorted(tuple(map(float, m)) for m in
                          re.findall(r"M(%s) (%s)V(%s)" % (NUMBER, NUMBER, NUMBER), paths[0].get("d")))
            expected = []
            for (lag, column), figures in self.expected.items():
                if column != f or figures is None or figures[3] == 0:
                    continue
                _, _, p, error = figures
                low, high = max(p - 2 * error, panel.p_min), min(p + 2 * error, panel.p_max)
                cut += (low, high) != (p - 2 * error, p + 2 * error)
                x, y_low = panel.at(lag, low)
                expected.append((x, y_low, panel.at(lag, high)[1]))
            expected.sort()
            self.assertEqual(len(bars), len(expected), paths[0].get("d"))
            for bar, want in zip(bars, expected):
                for got, value in zip(bar, want):
                    self.assertAlmostEqual(got, value, delta=TOLERANCE)
                self.assertTrue(panel.top - TOLERANCE <= bar[2] <= bar[1] <= panel.top + panel.height + TOLERANCE)
        self.assertEqual(cut, 2, "p(2,1) at lag 1 reaches beyond 1, p(2,2) below 0")

    def test_the_table_that_tgramest_writes_for_the_bundled_example(self):
        os.remove(os.path.join(self.folder, "ExpTgrams.txt"))
        os.remove(os.path.join(self.folder, "ExpTgrams.pairs.csv"))
        shutil.copy(os.path.join(ARGS.examples, "meuse-soil", "meuse-soil.csv"), self.folder)
        status, _, err = run(ARGS.est, self.folder, "--lag-width", "100", "--max-class", "15", "--min-pairs", "30",
                             "--max-lag", "20", "meuse-soil.csv")
        self.assertEqual(status, 0, err)
        with open(os.path.join(self.folder, "ExpTgrams.pairs.csv"), newline="") as f:
            rows = [line.split(",") for line in f.read().split("\r\n") if re.match(r"\d+,\d+,\d+,[\d.]*,\d", line)]
        n_i = {(int(r[0]), int(r[4])): int(r[7]) for r in rows}
        root, panels = self.panels("--error-bars")
        self.assertEqual(len(panels), 9)
        headers = [g for g in root.iter(SVG + "g") if g.get("class") == "category-headers"][0]
        self.assertEqual([tooltip(t) for t in headers.iter(SVG + "text") if t.get("class") == "to"], ["1", "2", "3"])
        hollow = set()
        for panel in panels:
            i = (panel.column - 1) // 3 + 1
            for circle in points_of(panel.group):
                lag = int(re.search(r" at lag (\d+): ", tooltip(circle)).group(1))
                if lag:
                    self.assertIn("; n_ij / n_i = ", tooltip(circle))
                if "few" in circle.get("class").split():
                    hollow.add((lag, i))
        with open(os.path.join(self.folder, "ExpTgrams.txt")) as f:
            drawn = {int(line.split()[0]) for line in f.read().splitlines()[2:] if line.strip()}
        # Lags 1 and 2 are dropped (too few pairs from category 3), so never drawn.
        self.assertEqual(min(drawn - {0}), 3)
        self.assertEqual(hollow, {(lag, i) for (lag, i), n in n_i.items() if lag in drawn - {0} and n < 2 * 30})
        self.assertTrue(hollow)

    def test_a_table_that_does_not_serve_is_ignored_with_one_warning(self):
        # The reference: no table at all, which is silent.
        os.rename(os.path.join(self.folder, "ExpTgrams.pairs.csv"), os.path.join(self.folder, "good.csv"))
        status, out, err = plot(self.folder)
        self.assertEqual((status, err), (0, b""))
        with open(os.path.join(self.folder, PICTURE), "rb") as f:
            reference = f.read()
        with open(os.path.join(self.folder, "good.csv")) as f:
            good = f.read()
        _, three_table, _ = estimates(["a", "b", "c"], {1: [[1, 1, 1]] * 3}, 1, 5)
        cases = {
            "other categories": ([], three_table, "it has 3 categories, but ExpTgrams.txt has 2 categories"),
            "a lag it does not hold": ([], good.replace("\n3,", "\n4,"), "it holds no rows for lag 3 of"),
            "another value": ([], good.replace("0.750000", "0.750100"), "line 12: p(1,1) at lag 1 is 0.7501 here but 0.75 in"),
            "unreadable": ([], "\x00\xff garbage", "the category table's header"),
            "missing, but named": (["--pairs", "none.csv"], None, "the file is not found"),
            "a folder": (["--pairs", "."], None, "it is a folder"),
        }
        for what, (arguments, table, problem) in cases.items():
            with self.subTest(what):
                if table is not None:
                    self.write("ExpTgrams.pairs.csv", table)
                for option in ([], ["--error-bars"]):
                    status, loud_out, err = plot(self.folder, *(arguments + option))
                    self.assertEqual((status, loud_out), (0, out))
                    lines = err.decode("utf-8", "replace").split("\r\n")
                    self.assertEqual(len(lines), 2, err)
                    self.assertEqual(lines[1], "")
                    name = arguments[1] if arguments else "ExpTgrams.pairs.csv"
                    self.assertTrue(lines[0].startswith("tgramplot: warning: the pair table %s is not used: " % name),
                                    lines[0])
                    self.assertIn(problem, lines[0])
                    with open(os.path.join(self.folder, PICTURE), "rb") as f:
                        self.assertEqual(f.read(), reference)
                self.assertEqual(plot(self.folder, "--quiet", *arguments)[:3:2], (0, b""))
                if table is not None:
                    os.remove(os.path.join(self.folder, "ExpTgrams.pairs.csv"))
        # Error bars asked for without a table: said once, the picture as always.
        status, _, err = plot(self.folder, "--error-bars")
        self.assertEqual(status, 0)
        self.assertEqual(err.decode(), "tgramplot: warning: --error-bars draws the standard errors of the pair table "
                                       "ExpTgrams.pairs.csv, which is not there\r\n")
        with open(os.path.join(self.folder, PICTURE), "rb") as f:
            self.assertEqual(f.read(), reference)


def full_size_input():
    """20 categories, maxLag 1000, 401 points of 400 random values."""
    generator = random.Random(7)
    lines = ["20 1000", "400 401"]
    for e in range(401):
        lines.append(str(e * 5 // 2) + "".join(" %.6f" % generator.random() for _ in range(400)))
    return "\n".join(lines) + "\n"


class FullSize(PlotCase):
    def test_full_size_picture_is_small_and_quick(self):
        data = Input(full_size_input())
        self.write("ExpTgrams.txt", data.text)
        start = time.monotonic()
        status, _, err = plot(self.folder, "--quiet")  # its random rows do not sum to 1
        seconds = time.monotonic() - start
        self.assertEqual((status, err), (0, b""))
        size = os.path.getsize(os.path.join(self.folder, PICTURE))
        print("full-size picture: %d bytes in %.3f s" % (size, seconds))
        self.assertLess(size, 3_000_000)
        self.assertLess(seconds, ARGS.time_limit)
        self.check_picture(data, data.lags)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--plot", required=True)
    parser.add_argument("--interp", required=True)
    parser.add_argument("--est", required=True)
    parser.add_argument("--e2e", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--emulator-arg", dest="emulator", action="append", default=[],
                        help="one word of the command that runs the programs, if any (repeatable)")
    parser.add_argument("--time-limit", type=float, default=1.0)
    ARGS, rest = parser.parse_known_args()
    for name in ("plot", "interp", "est", "e2e", "examples"):
        setattr(ARGS, name, os.path.abspath(getattr(ARGS, name)))
    global WINDOWS
    WINDOWS = ARGS.plot.lower().endswith(".exe")
    unittest.main(argv=[sys.argv[0], "-v"] + rest)


if __name__ == "__main__":
    main()
