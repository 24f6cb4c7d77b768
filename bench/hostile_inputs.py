#!/usr/bin/python3
"""Hostile-input figures: crafted resource files run through the real tool.

Each case is a file made to hurt: billion-entry counts in every table, huge
string and array lengths, 65535 x 65535 textures with a few bytes of data,
zip bombs within the inflation capacity, deep and circular type chains,
100,000 unknown objects in one chunk, a signed container with block size 1.
Every file is converted by the real executable in a scratch folder of its
own; the script reports the line the tool printed, its peak RSS, its time and
the bytes it wrote, and checks them against the goals:

  peak RSS  <= max(64 MiB, 4 x the largest texture the file really holds)
  written   <= what the images that the file's real data can fill take
  time      grows linearly with the file's size (families of 3 sizes)

This is a benchmark, not a test: nothing here is asserted by the suite. A case
whose output grows past --max-output or that runs past --timeout is stopped
and reported as such.

The test suite runs every case as a test of its own (tests/replay/): it
writes the files once with --write DIR, which also leaves DIR/manifest.json
(each case's file, arguments and goals), and checks each case's report line
and goals with tests/replay/run_tool_case.py.

usage: bench/hostile_inputs.py [--tool build/lumenpull] [--only NAME...]
       bench/hostile_inputs.py --write DIR
"""

import argparse
import json
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

MiB = 1 << 20

# --- little-endian writers ---------------------------------------------------


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def i32(v):
    return struct.pack("<i", v)


def tag(letters):
    return letters.encode("ascii")


def cstr(text, stored_length=None):
    data = text.encode() if isinstance(text, str) else text
    return u32(len(data) if stored_length is None else stored_length) + data


# --- resource files ----------------------------------------------------------

SIMPLE, SIZED, REF2, FIXED, STRUCT, DYN6, DYN7, REFARRAY, ALIAS, TEMPLATE = 0, 1, 2, 4, 5, 6, 7, 8, 13, 14
VERSION = 12  # meta-data format: current pixel-format codes, member words without names


class Type:
    def __init__(self, name, cls=STRUCT, version=1, base=-1, members=(), value_size=0, element_count=0,
                 template=""):
        self.name, self.cls, self.version, self.base = name, cls, version, base
        self.members, self.value_size, self.element_count, self.template = list(members), value_size, \
            element_count, template

    def bytes(self, index):
        out = tag("DTTY") + i32(index) + cstr(self.name) + u32(self.version) + i32(self.cls)
        if self.cls == SIMPLE:
            out += i32(0) + i32(self.value_size)
        elif self.cls == SIZED:
            out += i32(self.value_size)
        else:
            if self.cls == TEMPLATE:
                out += cstr(self.template)
            out += i32(self.base)
            if self.cls == FIXED:
                out += tag("ADIM") + i32(1) + i32(self.element_count)
            elif self.cls == STRUCT:
                out += tag("STMB") + u32(len(self.members))
                for member_type in self.members:
                    out += i32(0) + i32(member_type)
        return out


# The texture types: CResource 8, CTexture, CBaseTexture 12 (width, height,
# flags, format, pixel array, three words), CStaticTexture 2 (nothing more),
# CAnimTexture 2 (frame count, word).
T_RESOURCE, T_TEXTURE, T_BASE, T_STATIC, T_ANIM, T_UNKNOWN = range(6)


def standard_types():
    return [
        Type("CResource", version=8),
        Type("CTexture", base=T_RESOURCE),
        Type("CBaseTexture", version=12, base=T_TEXTURE),
        Type("CStaticTexture", version=2, base=T_BASE),
        Type("CAnimTexture", version=2, base=T_BASE),
        Type("CThing", cls=SIZED, value_size=12),
    ]


def texture_body(width, height, fmt, pixels=b"", flags=0, frames=None, pixel_count=None, trailing=None):
    body = i32(-1) + i32(0) + i32(0) + i32(-1)                 # CResource: ref, word, name, ref
    body += i32(width) + i32(height) + u32(flags) + i32(fmt)    # CBaseTexture
    body += tag("STAR") + i32(len(pixels) if pixel_count is None else pixel_count) + pixels
    body += i32(0) * 3
    if frames is not None:
        body += i32(frames) + i32(0)                            # CAnimTexture
    if trailing is not None:
        layout, data, size = trailing
        body += u16(layout) + i32(len(data) if size is None else size) + data
    return body


def meta_data(types, object_count, idents=("name",), counts=None, extra=b""):
    """The block from QRVX to the end of EXOB. `counts` overrides INFO's four."""
    info = counts or (0, len(idents), len(types), object_count)
    out = tag("QRVX") + tag("META") + u32(0x1234ABCD) + u32(VERSION) + cstr("meta")
    out += tag("MSGS") + cstr("") + tag("INFO") + u32(0) + b"".join(i32(c) for c in info)
    out += tag("RFIL") + i32(info[0]) if counts else tag("RFIL") + i32(0)
    if counts and info[0] != 0:
        return out  # entries never come: the counts are the hostile part
    out += tag("IDNT") + i32(info[1])
    if counts and info[1] != len(idents):
        return out
    for k, text in enumerate(idents):
        out += i32(k) + cstr(text)
    out += tag("EXTY") + i32(0)
    out += tag("INTY") + i32(len(types))
    # Joined once: appending to bytes copies them, quadratic for long lists.
    return b"".join([out] + [t.bytes(k) for k, t in enumerate(types)] + [extra, tag("EXOB"), i32(0)])


def chunks(records):
    """OBTY with every (object, type), empty EDTY, OBJS with the bodies, empty EDOB."""
    out = [tag("OBTY"), i32(len(records))]
    out += [i32(obj) + i32(typ) for obj, typ, _ in records]
    out += [tag("EDTY"), i32(0), tag("OBJS"), i32(len(records))]
    out += [i32(obj) + i32(typ) + body for obj, typ, body in records]
    return b"".join(out + [tag("EDOB"), i32(0)])


def resource(records, types=None, **kw):
    types = types or standard_types()
    return meta_data(types, len(records), **kw) + chunks(records)


def signed(payload, block_size, signature_size=256):
    header = tag("SIGS") + tag("TRM1") + u32(1397311282) + u32(5) + u32(block_size) + u32(4) + u32(0) + u32(0)
    header += u32(0) + u32(0) + cstr("") + u32(signature_size) + cstr("Signkey.EditorSignature")
    record = b"\xA5" * signature_size
    out = [header, record]
    for at in range(0, len(payload), block_size):
        out.append(payload[at:at + block_size])
        out.append(record)
    return b"".join(out)


def work(payload):
    return tag("WRKS") + tag("TRM1") + u32(0x6C720D60) + u32(0) + u32(0) + payload


# --- the cases ---------------------------------------------------------------


class Case:
    """A crafted file with what it really holds: the largest texture's bytes
    (for the memory goal) and the output its real data can fill."""

    def __init__(self, name, data, real_texture=0, fillable_output=0, family=None, args=()):
        self.name, self.data, self.real_texture, self.fillable = name, data, real_texture, fillable_output
        self.family, self.args = family, list(args)


TGA_HEADER = 18
SMALL = 64 * MiB


def gradient(width, height):
    return bytes((x * 255 // max(width - 1, 1)) & 0xFF for _ in range(height) for x in range(width * 4))


def good_texture(width=64, height=64):
    pixels = gradient(width, height)
    body = texture_body(width, height, 3, pixels)
    return body, len(pixels), TGA_HEADER + width * height * 4


def billion_counts():
    cases = []
    big = 1_000_000_000
    for k, table in enumerate(("referenced files", "IDENTs", "data types", "objects")):
        counts = [0, 1, len(standard_types()), 1]
        counts[k] = big
        data = meta_data(standard_types(), 1, counts=tuple(counts))
        cases.append(Case(f"INFO count of {table} 1e9", data))
    base = standard_types()
    # Counts at the head of every list that is not checked against INFO.
    for name, extra_at in (("EXTY", "EXTY"), ("INTY", "INTY"), ("EXOB", "EXOB")):
        data = meta_data(base, 1)
        cut = data.rfind(tag(extra_at))
        cases.append(Case(f"{name} count 1e9", data[:cut] + tag(extra_at) + i32(big)))
    body, _, _ = good_texture(4, 4)
    for name, chunk in (("OBTY", "OBTY"), ("OBJS", "OBJS")):
        data = resource([(0, T_STATIC, body)])
        cut = data.rfind(tag(chunk))
        cases.append(Case(f"{name} record count 1e9", data[:cut] + tag(chunk) + i32(big) + i32(0) + i32(T_STATIC)))
    cases.append(Case("STAR pixel count 1e9", resource([(0, T_STATIC, texture_body(64, 64, 3, b"", pixel_count=big))])))
    cases.append(Case("trailing pixel block size 1e9",
                      resource([(0, T_STATIC, texture_body(64, 64, 3, b"", trailing=(0, b"\0" * 16, big)))])))
    data = meta_data(standard_types() + [Type("CWide", members=[T_UNKNOWN])], 1)
    cut = data.rfind(tag("STMB"))
    data = data[:cut] + tag("STMB") + u32(big)
    cases.append(Case("structure member count 1e9", data))
    return cases


def huge_lengths():
    cases = []
    hdr = tag("QRVX") + tag("META") + u32(0x1234ABCD) + u32(VERSION)
    cases.append(Case("meta text length 4 GiB - 1", hdr + cstr(b"x" * 16, 0xFFFFFFFF)))
    data = meta_data(standard_types(), 1)
    idnt = data.find(tag("IDNT"))
    cases.append(Case("IDENT length 2 GiB", data[:idnt] + tag("IDNT") + i32(1) + i32(0) + cstr(b"abc", 0x80000000)))
    # Unknown objects measured by StoredSize: a dynamic array and a CString
    # whose stored counts are huge.
    types = standard_types() + [Type("CString", cls=SIMPLE, value_size=4), Type("CList", cls=DYN6, base=T_UNKNOWN)]
    tex, _, fill = good_texture(4, 4)
    cases.append(Case("CString length 2 GiB", resource([(0, 6, i32(0x7FFFFFF0) + b"abc"), (1, T_STATIC, tex)], types=types)))
    cases.append(Case("dynamic array count 1e9", resource([(0, 7, i32(0) + i32(1_000_000_000) + b"\0" * 12),
                                                           (1, T_STATIC, tex)], types=types)))
    # A fixed array of a billion 12-byte elements: 12e9 bytes does not fit 32 bits.
    types = standard_types() + [Type("CBig", cls=FIXED, base=T_UNKNOWN, element_count=1_000_000_000)]
    cases.append(Case("fixed array of 1e9 elements", resource([(0, 6, b"\0" * 16), (1, T_STATIC, tex)], types=types)))
    return cases


def huge_dimensions():
    cases = []
    tiny = bytes(range(16))
    # 65535 x 65535 wraps to a negative 32-bit pixel count (images of no
    # bytes); 65535 x 32767 does not. Both reach the writers, which write the
    # one row the 16 bytes begin.
    for side in (65535, 32767):
        dims = f"65535 x {side}"
        fill_row = TGA_HEADER + 65535 * 4  # the one row 16 bytes begin
        cases.append(Case(f"{dims}, 16 bytes", resource([(0, T_STATIC, texture_body(65535, side, 3, tiny))]),
                          real_texture=16, fillable_output=fill_row))
        cases.append(Case(f"{dims}, 16 bytes, -u", resource([(0, T_STATIC, texture_body(65535, side, 3, tiny))]),
                          real_texture=16, fillable_output=fill_row, args=["-u"]))
        cases.append(Case(f"{dims} cube, 16 bytes",
                          resource([(0, T_STATIC, texture_body(65535, side, 3, tiny, flags=2))]),
                          real_texture=16, fillable_output=fill_row))
        cases.append(Case(f"{dims} BC1, 16 bytes", resource([(0, T_STATIC, texture_body(65535, side, 9, tiny))]),
                          real_texture=16, fillable_output=TGA_HEADER + 65535 * 4 * 3))
        cases.append(Case(f"{dims} HDR, 16 bytes", resource([(0, T_STATIC, texture_body(65535, side, 12, tiny))]),
                          real_texture=16, fillable_output=128 + 65535 * 4))
        many = [(k, T_STATIC, texture_body(65535, side, 3, tiny)) for k in range(300)]
        cases.append(Case(f"300 textures of {dims}, 16 bytes each", resource(many),
                          real_texture=16, fillable_output=300 * fill_row))
    cases.append(Case("animation of 2^31-1 frames, 16 bytes",
                      resource([(0, T_ANIM, texture_body(4, 4, 3, tiny, frames=0x7FFFFFFF))]),
                      real_texture=16, fillable_output=TGA_HEADER + 64))
    cases.append(Case("animation of 2^31-1 empty frames, 16 bytes",
                      resource([(0, T_ANIM, texture_body(0, 4, 3, tiny, frames=0x7FFFFFFF))]),
                      real_texture=16, fillable_output=16 * TGA_HEADER))
    cases.append(Case("negative dimensions, 16 bytes",
                      resource([(0, T_STATIC, texture_body(-1, -65536, 3, tiny))]),
                      real_texture=16, fillable_output=TGA_HEADER))
    return cases


def zip_bombs():
    cases = []
    for side in (2048, 4096, 8192):
        image = side * side * 4
        packed = zlib.compress(b"\0" * image, 9)
        body = texture_body(side, side, 3, packed)
        # Zeros pack well as run-length data: the TGA is 5 bytes per 128 pixels.
        fill = TGA_HEADER + image
        cases.append(Case(f"zlib zeros to {side} x {side} ({image // MiB} MiB)", resource([(0, T_STATIC, body)]),
                          real_texture=image, fillable_output=fill, family="zip"))
    # Within the capacity (1.5 x the image) but well past the image: the
    # extraction keeps the largest image.
    side = 4096
    image = side * side * 4
    packed = zlib.compress(b"\0" * (image * 3 // 2), 9)
    cases.append(Case("zlib zeros to 1.5 x 4096 x 4096", resource([(0, T_STATIC, texture_body(side, side, 3, packed))]),
                      real_texture=image * 3 // 2, fillable_output=TGA_HEADER + image))
    # Past the capacity: stays compressed, written from the packed bytes.
    side = 1024
    packed = zlib.compress(b"\0" * (side * side * 4 * 8), 9)
    cases.append(Case("zlib zeros to 8 x the capacity", resource([(0, T_STATIC, texture_body(side, side, 3, packed))]),
                      real_texture=side * side * 4, fillable_output=TGA_HEADER + side * side * 4))
    return cases


def type_chains():
    cases = []
    tex, size, fill = good_texture(4, 4)
    for depth in (10_000, 100_000, 200_000):
        types = standard_types()
        first = len(types)
        # CStaticTexture's base becomes the top of a long chain that ends in CBaseTexture.
        chain = [Type(f"CLink{k}", base=(first + k + 1) if k + 1 < depth else T_BASE) for k in range(depth)]
        types[T_STATIC] = Type("CStaticTexture", version=2, base=first)
        types += chain
        cases.append(Case(f"base chain {depth} deep", resource([(0, T_STATIC, tex)], types=types),
                          real_texture=size, fillable_output=fill, family="chain"))
    types = standard_types() + [Type("CLoopA", base=7), Type("CLoopB", base=6)]
    cases.append(Case("circular base chain", resource([(0, 6, b""), (1, T_STATIC, tex)], types=types),
                      real_texture=size, fillable_output=fill))
    types = standard_types() + [Type("CAliasA", cls=ALIAS, base=7), Type("CAliasB", cls=ALIAS, base=6)]
    cases.append(Case("circular alias chain", resource([(0, T_STATIC, tex)], types=types),
                      real_texture=size, fillable_output=fill))
    types = standard_types() + [Type("CSelf", members=[6])]
    cases.append(Case("structure containing itself", resource([(0, 6, b"\0" * 8), (1, T_STATIC, tex)], types=types),
                      real_texture=size, fillable_output=fill))
    # Structures nested 100,000 deep, each holding the next: measured by recursion.
    depth = 100_000
    types = standard_types()
    first = len(types)
    types += [Type(f"CNest{k}", members=[first + k + 1] if k + 1 < depth else [T_UNKNOWN]) for k in range(depth)]
    cases.append(Case("structures nested 100000 deep", resource([(0, first, b"\0" * 12), (1, T_STATIC, tex)],
                                                                 types=types),
                      real_texture=size, fillable_output=fill))
    return cases


def unknown_objects():
    cases = []
    tex, size, fill = good_texture(4, 4)
    for count in (100_000, 200_000, 400_000):
        records = [(k, T_UNKNOWN, b"\0" * 12) for k in range(count)] + [(count, T_STATIC, tex)]
        cases.append(Case(f"{count} unknown objects in one chunk", resource(records),
                          real_texture=size, fillable_output=fill, family="unknown"))
    return cases


def signed_block_size_one():
    cases = []
    body, size, fill = good_texture(32, 32)
    payload = resource([(0, T_STATIC, body)])
    for signature_size in (0, 4, 64):
        cases.append(Case(f"signed, block size 1, records of {signature_size}", signed(payload, 1, signature_size),
                          real_texture=size, fillable_output=fill, family="signed1"))
    cases.append(Case("signed, block size 1, records of 256", signed(payload, 1, 256),
                      real_texture=size, fillable_output=fill))
    cases.append(Case("work stream baseline", work(payload), real_texture=size, fillable_output=fill))
    return cases


def all_cases():
    return (billion_counts() + huge_lengths() + huge_dimensions() + zip_bombs() + type_chains()
            + unknown_objects() + signed_block_size_one())


# --- running -----------------------------------------------------------------


def folder_bytes(path):
    total = 0
    for root, _, files in os.walk(path):
        for name in files:
            try:
                total += os.lstat(os.path.join(root, name)).st_size
            except OSError:
                pass
    return total


def run_case(tool, case, timeout, max_output):
    work_dir = tempfile.mkdtemp(prefix="lumenpull-hostile-")
    try:
        path = os.path.join(work_dir, "case.tex")
        with open(path, "wb") as f:
            f.write(case.data)
        rss_file = os.path.join(work_dir, "rss")
        start = time.monotonic()
        # GNU time measures the tool alone: the peak RSS that wait4 reports
        # for a direct child would include this script's own, inherited
        # through fork.
        proc = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", rss_file, tool] + case.args + [path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                cwd=work_dir, start_new_session=True)
        stopped = []
        done = threading.Event()

        def watch():
            while not done.is_set():
                elapsed = time.monotonic() - start
                written = folder_bytes(work_dir) - len(case.data)
                if elapsed > timeout or written > max_output:
                    stopped.append("timeout" if elapsed > timeout else "output limit")
                    os.killpg(proc.pid, signal.SIGKILL)
                    return
                time.sleep(0.05)

        watcher = threading.Thread(target=watch, daemon=True)
        watcher.start()
        output = proc.stdout.read()
        proc.wait()
        done.set()
        elapsed = time.monotonic() - start
        watcher.join()
        try:
            with open(rss_file) as f:
                rss = int(f.read().split()[-1]) * 1024
        except (OSError, ValueError, IndexError):
            rss = 0  # killed before GNU time could report
        os.remove(rss_file)
        written = folder_bytes(work_dir) - len(case.data)
        line = output.decode(errors="replace").strip().splitlines()
        line = line[0].split(": ", 1)[-1] if line else "(nothing printed)"
        return {
            "rss": rss,
            "time": elapsed,
            "written": written,
            "files": sum(len(f) for _, _, f in os.walk(work_dir)) - 1,
            "line": line,
            "stopped": stopped[0] if stopped else "",
        }
    finally:
        shutil.rmtree(work_dir, ignore_errors=True)


def rss_goal(case):
    return max(SMALL, 4 * case.real_texture)


def write_cases(directory, cases):
    """Writes every case's file into `directory` with a manifest of the goals."""
    os.makedirs(directory, exist_ok=True)
    manifest = []
    for k, case in enumerate(cases):
        name = f"case{k:03}.tex"
        with open(os.path.join(directory, name), "wb") as f:
            f.write(case.data)
        manifest.append({"name": case.name, "file": name, "args": case.args,
                         "max_rss": rss_goal(case), "max_written": case.fillable})
    with open(os.path.join(directory, "manifest.json"), "w") as f:
        json.dump(manifest, f, indent=1)


def human(n):
    for unit, size in (("GiB", 1 << 30), ("MiB", MiB), ("KiB", 1024)):
        if n >= size:
            return f"{n / size:.1f} {unit}"
    return f"{n} B"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--tool", default=os.path.join(here, "..", "build", "lumenpull"))
    parser.add_argument("--timeout", type=float, default=60.0, help="seconds before a case is stopped")
    parser.add_argument("--max-output", type=int, default=2 << 30, help="bytes written before a case is stopped")
    parser.add_argument("--only", nargs="*", help="run only the cases whose name contains one of these")
    parser.add_argument("--write", metavar="DIR", help="only write the case files and their manifest into DIR "
                        "(kept when newer than this script)")
    opts = parser.parse_args()
    if opts.write:
        manifest = os.path.join(opts.write, "manifest.json")
        if not os.path.exists(manifest) or os.path.getmtime(manifest) < os.path.getmtime(__file__):
            write_cases(opts.write, all_cases())
        return 0
    tool = os.path.abspath(opts.tool)
    if not os.access(tool, os.X_OK):
        sys.exit(f"no executable at {tool} (build first, or pass --tool)")

    cases = all_cases()
    if opts.only:
        cases = [c for c in cases if any(word in c.name for word in opts.only)]
    header = f"{'case':48} {'file':>10} {'peak RSS':>10} {'time s':>8} {'written':>10}  {'goal':4}  line"
    print(header)
    print("-" * len(header))
    families = {}
    failures = 0
    for case in cases:
        r = run_case(tool, case, opts.timeout, opts.max_output)
        rss_limit = rss_goal(case)
        problems = []
        if r["rss"] > rss_limit:
            problems.append(f"RSS over {human(rss_limit)}")
        if r["written"] > case.fillable:
            problems.append(f"wrote over {human(case.fillable)}")
        if r["stopped"]:
            problems.append("stopped: " + r["stopped"])
        failures += bool(problems)
        verdict = "ok" if not problems else "MISS"
        print(f"{case.name[:48]:48} {human(len(case.data)):>10} {human(r['rss']):>10} {r['time']:8.3f} "
              f"{human(r['written']):>10}  {verdict:4}  {r['line'][:70]}")
        for p in problems:
            print(f"{'':48}   -> {p}")
        if case.family:
            families.setdefault(case.family, []).append((len(case.data), r["time"]))
    if families:
        print("\nTime against file size (seconds per MiB; equal figures mean linear):")
        for family, points in families.items():
            figures = ", ".join(f"{human(size)}: {t / (size / MiB):.3f}" for size, t in points)
            print(f"  {family:10} {figures}")
    print(f"\n{len(cases) - failures} of {len(cases)} cases within the goals")
    return 0


if __name__ == "__main__":
    sys.exit(main())
