#!/usr/bin/env python3
"""Whole-program tests of tgramplot.

Each test runs the built program in a scratch folder and reads the picture
with a real XML parser. Positions are checked against the input itself, and
the model line against the model file that tgraminterp writes for the same
input. The programs' command can be prefixed by an emulator (--emulator-arg,
once per word of its command), so that the same tests run a cross-built
program.

    plot_program_test.py --plot PATH --interp PATH --e2e DIR --examples DIR
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
                status, _, err = plot(self.folder)
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
                status, out, err = plot(self.folder)
                self.assertEqual((status, out, err), (1, b"", report))
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

    def test_the_input_and_model_files_are_never_the_picture(self):
        os.mkdir(os.path.join(self.folder, "sub"))
        for target in ("ExpTgrams.txt", "./TgramModels.txt", "tgrammodels.txt", "sub/../ExpTgrams.txt", "sub"):
            with self.subTest(target):
                before = self.folder_with_old_picture(HAND_MADE["two categories"][0])
                status, out, err = plot(self.folder, "-o", target)
                self.assertEqual((status, out), (2, b""))
                self.assertIn(b"cannot write the picture to", err)
                self.assertEqual(snapshot(self.folder), before)


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
        status, _, err = plot(self.folder)
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
    parser.add_argument("--e2e", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--emulator-arg", dest="emulator", action="append", default=[],
                        help="one word of the command that runs the programs, if any (repeatable)")
    parser.add_argument("--time-limit", type=float, default=1.0)
    ARGS, rest = parser.parse_known_args()
    for name in ("plot", "interp", "e2e", "examples"):
        setattr(ARGS, name, os.path.abspath(getattr(ARGS, name)))
    unittest.main(argv=[sys.argv[0], "-v"] + rest)


if __name__ == "__main__":
    main()
