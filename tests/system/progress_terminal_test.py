#!/usr/bin/env python3
"""The progress display through a pseudo-terminal: drawn on standard error
only, in place, and erased at the end; standard output stays byte for byte
what a run without it prints, also when both share the terminal.

Usage: progress_terminal_test.py LUMENPULL MAKE_SAMPLES"""

import os
import pty
import select
import shutil
import subprocess
import sys
import tempfile
import time


def read_all(fd):
    data = b""
    while True:
        ready, _, _ = select.select([fd], [], [], 0.5)
        if not ready:
            return data
        try:
            chunk = os.read(fd, 65536)
        except OSError:  # the other side is closed
            return data
        if not chunk:
            return data
        data += chunk


def screen(raw):
    """The lines a terminal shows for `raw`: a carriage return goes back to
    the start of the line, a line feed to the next line, anything else is
    written over what is there."""
    lines = [[]]
    column = 0
    for byte in raw.decode("utf-8", "replace"):
        if byte == "\r":
            column = 0
        elif byte == "\n":
            lines.append([])
            column = 0
        else:
            line = lines[-1]
            if column < len(line):
                line[column] = byte
            else:
                line.append(byte)
            column += 1
    return ["".join(line).rstrip(" ") for line in lines]


def run_with_terminal(arguments, cwd, share):
    """Runs the tool with standard error on a new terminal, standard output
    too when `share`, else into a pipe read only after a second, so that the
    run lasts long enough for the display to be drawn. Returns standard
    output and what the terminal received."""
    master, slave = pty.openpty()
    stdout = slave if share else subprocess.PIPE
    process = subprocess.Popen(arguments, cwd=cwd, stdin=subprocess.DEVNULL, stdout=stdout, stderr=slave)
    os.close(slave)
    time.sleep(1.0)
    if share:
        terminal = b""
        while process.poll() is None:
            terminal += read_all(master)
        terminal += read_all(master)
        output = b""
    else:
        output = process.stdout.read()
        process.wait()
        terminal = read_all(master)
    os.close(master)
    if process.returncode != 0:
        raise SystemExit(f"exit code {process.returncode} for {arguments}")
    return output, terminal


def main():
    tool, make_samples = sys.argv[1], sys.argv[2]
    failures = []

    def check(condition, text):
        if not condition:
            failures.append(text)

    with tempfile.TemporaryDirectory() as work:
        subprocess.run([make_samples, os.path.join(work, "samples")], check=True, stdout=subprocess.DEVNULL)
        # Enough small files that the report outgrows a pipe's buffer.
        sample = os.path.join(work, "samples", "colour", "gradient_rgb.tex")
        for folder in range(4):
            os.makedirs(os.path.join(work, "game", str(folder)))
            for index in range(100):
                shutil.copy(sample, os.path.join(work, "game", str(folder), f"t{index}.tex"))

        listing = [tool, "-r", "-l", "--json", "game"]
        expected = subprocess.run(listing + ["--no-progress"], cwd=work, capture_output=True, check=True)
        check(expected.stderr == b"", "--no-progress into a pipe wrote on standard error")

        # Standard error alone on the terminal: drawn in place, erased.
        output, terminal = run_with_terminal(listing, work, share=False)
        check(output == expected.stdout, "standard output differs with the display on")
        check(b"\r" in terminal and b"/400 files, " in terminal, f"no display drawn: {terminal[:200]!r}")
        check(b"\n" not in terminal, f"the display added lines: {terminal[:200]!r}")
        check(screen(terminal) == [""], f"the display was not erased: {screen(terminal)!r}")

        # Turned off on a terminal.
        output, terminal = run_with_terminal(listing + ["--no-progress"], work, share=False)
        check(output == expected.stdout and terminal == b"", f"--no-progress drew: {terminal[:200]!r}")

        # Both on one terminal: the report's lines, and nothing else, stay on it.
        converting = [tool, "-r", "-o", "out", "game"]
        plain = subprocess.run(converting + ["--no-progress"], cwd=work, capture_output=True, check=True)
        shutil.rmtree(os.path.join(work, "out"))
        _, terminal = run_with_terminal(converting, work, share=True)
        shown = screen(terminal)
        expected_lines = plain.stdout.decode().split("\n")
        check(b" files, " in terminal, f"no display drawn beside the report: {terminal[:300]!r}")
        check(shown == expected_lines, "the terminal shows other lines than the report: "
              + repr([line for line in shown if line not in expected_lines][:5]))

    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
