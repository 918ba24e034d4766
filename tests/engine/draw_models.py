#!/usr/bin/env python3
"""Checks that the game engine loads and draws the models corvane writes.

For each model named, corvane writes it as an alias model (a sprite is shown as
it is); the engine, a real client under Xvfb with software GL and no network
socket, runs a level whose small game program (show.qc, compiled with fteqcc)
hangs the model in front of the player. The run takes one picture without the
model and one with it: they must differ, around the middle of the view, by a
real number of pixels (the better of two pictures with it, for a model the
engine turns). A model the engine refuses (exit 1 with its message) or
crashes on fails with the engine's words; one run per model ties each refusal
to one file.

The engine's base game (id1, in a temporary folder) holds the game's files; the
test's own (progs.dat, the model, the level's entities, the start-up script) sit
in a game folder of their own (-game), which the engine searches first, so a
pack's copy of a model never hides the written one.

usage: draw_models.py --corvane PATH --game-files SRC [--game-files SRC ...]
                      --defs DEFS_QC [--keep DIR] MODEL ...
  SRC     a folder holding the game's files loose, or a pack holding them (the
          engine mounts it); together they must hold every file of GAME_FILES
  MODEL   an alias model (.mdl) or a sprite (.spr): a file, or PACK::MEMBER;
          * and ? match several (progs/*.mdl, pak0.pak::progs/*.mdl), and a
          pack's copy of a model already drawn (the same bytes written) is
          named but not run again
  --keep  copy each pair of pictures there (as TGA) to look at them
Exit 77 (a skip, the reason on stdout) when quakespasm, fteqcc, Xvfb, the game
files or the QuakeC definitions are missing.
"""

import argparse
import fnmatch
import glob
import hashlib
import os
import pwd
import shutil
import struct
import subprocess
import sys
import tempfile
import time

GAME_FILES = ["gfx.wad", "gfx/palette.lmp", "gfx/colormap.lmp", "gfx/conback.lmp", "gfx/pop.lmp", "maps/b_bh10.bsp"]
MAP = "b_bh10"
# Debian installs the engine under /usr/games, which a plain PATH may lack.
ENGINE = shutil.which("quakespasm") or shutil.which("quakespasm", path="/usr/games")
ENGINE_SECONDS = 90  # one engine run, from start to quit
WIDTH, HEIGHT = 640, 480
HERE = os.path.dirname(os.path.abspath(__file__))

# A pixel counts as changed past this step on any channel; the two pictures come
# from one run and one view, so the level itself does not change between them.
CHANNEL_STEP = 16
# The model must change at least this share of the picture (it is framed to fill
# about half the view's height), and the middle of the changed area must lie in
# the middle half of the view, where the model stands.
MIN_CHANGED_SHARE = 0.005

# The level's entities, read by the engine from maps/MAP.ent in place of the
# level's own: the world, and the model that show.qc places.
ENTITIES = """{{
"classname" "worldspawn"
}}
{{
"classname" "shown_model"
"model" "{model}"
}}
"""

# The engine runs these, in its frame loop, as its start-up script: no frame
# cap to wait on, no status bar, no console lines over the view; the level,
# enough frames for the client to join and the console to go up, a picture,
# the model shown (the game program reads scratch1), a few frames, a picture,
# then a third one at least 0.2 s later (frames of 50 ms or more): the engine
# spins pickups about their upright axis at 100 degrees a second, and a flat
# one (a key card) seen edge on in one picture is turned 20 degrees in the other.
START_SCRIPT = """host_maxfps 1000
viewsize 120
scr_conspeed 100000
con_notifytime 0
map {map}
{wait_join}
screenshot tga
scratch1 1
{wait_show}
screenshot tga
host_maxfps 20
{wait_turn}
screenshot tga
quit
"""
PICTURES = 3


def skip(reason):
    print("SKIP: " + reason)
    sys.exit(77)


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def waits(count):
    return "; ".join(["wait"] * count)


def pack_directory(path):
    """Member name -> (offset, size) of a pack archive."""
    with open(path, "rb") as f:
        head = f.read(12)
        if len(head) < 12 or head[:4] != b"PACK":
            raise ValueError(path + " is not a pack")
        offset, size = struct.unpack("<2i", head[4:])
        f.seek(offset)
        table = f.read(size)
    members = {}
    for at in range(0, len(table) - 63, 64):
        name, start, length = struct.unpack("<56s2i", table[at:at + 64])
        members[name.split(b"\0")[0].decode("latin-1")] = (start, length)
    return members


def read_source(source):
    """Bytes of a file, or of PACK::MEMBER."""
    if "::" not in source:
        with open(source, "rb") as f:
            return f.read()
    pack, member = source.split("::", 1)
    start, length = pack_directory(pack)[member]
    with open(pack, "rb") as f:
        f.seek(start)
        return f.read(length)


def expand(pattern):
    """The files or pack members a model argument names, in name order."""
    if "::" in pattern:
        pack, member = pattern.split("::", 1)
        if not os.path.isfile(pack):
            fail("no pack at " + pack)
        return ["%s::%s" % (pack, name) for name in sorted(fnmatch.filter(pack_directory(pack), member))]
    return sorted(glob.glob(pattern)) if glob.has_magic(pattern) else [pattern]


def missing_vertices(model):
    """Triangles of an alias model's bytes that name a vertex it lacks, as (triangle, vertex).

    The engine reads such a vertex from whatever memory follows the model's own:
    far out it crashes, near it draws garbage or nothing wrong at all, so the
    pictures alone cannot be trusted to show it."""
    skins, width, height, vertices, triangles = struct.unpack("<5i", model[48:68])
    at = 84
    for _ in range(skins):
        if struct.unpack("<i", model[at:at + 4])[0] == 0:
            at += 4 + width * height
        else:
            pictures = struct.unpack("<i", model[at + 4:at + 8])[0]
            at += 8 + pictures * (4 + width * height)
    at += vertices * 12
    bad = []
    for t in range(triangles):
        for v in struct.unpack("<3i", model[at + 4:at + 16]):
            if not 0 <= v < vertices:
                bad.append((t, v))
        at += 16
    return bad


def build_base_game(base, sources):
    """Fills BASE/id1 from the sources: loose files linked, packs mounted."""
    id1 = os.path.join(base, "id1")
    os.makedirs(id1)
    wanted = set(GAME_FILES)
    packs = 0
    for source in sources:
        if os.path.isdir(source):
            for name in sorted(wanted):
                path = os.path.join(source, name)
                if os.path.isfile(path):
                    os.makedirs(os.path.dirname(os.path.join(id1, name)), exist_ok=True)
                    os.symlink(os.path.abspath(path), os.path.join(id1, name))
                    wanted.discard(name)
        else:
            held = wanted & set(pack_directory(source))
            if held:
                os.symlink(os.path.abspath(source), os.path.join(id1, "pak%d.pak" % packs))
                packs += 1
                wanted -= held
    if wanted:
        fail("no source holds " + ", ".join(sorted(wanted)))


def compile_program(work, defs):
    """progs.dat of show.qc, compiled in WORK."""
    with open(os.path.join(work, "progs.src"), "w") as f:
        f.write("progs.dat\n%s\n%s\n" % (defs, os.path.join(HERE, "show.qc")))
    run = subprocess.run(["fteqcc"], cwd=work, capture_output=True, text=True)
    progs = os.path.join(work, "progs.dat")
    if run.returncode != 0 or not os.path.isfile(progs):
        fail("fteqcc failed on show.qc:\n" + run.stdout + run.stderr)
    return progs


def read_tga(path):
    """Width, height and the BGR(A) bytes of an uncompressed true-colour TGA."""
    with open(path, "rb") as f:
        data = f.read()
    id_length, colour_map, kind = data[0], data[1], data[2]
    width, height, depth, descriptor = struct.unpack("<HHBB", data[12:18])
    if colour_map != 0 or kind != 2 or depth not in (24, 32):
        raise ValueError("%s: not an uncompressed true-colour TGA" % path)
    start = 18 + id_length
    pixels = data[start:start + width * height * depth // 8]
    if not descriptor & 0x20:  # rows stored from the bottom up
        row = width * depth // 8
        pixels = b"".join(pixels[y * row:(y + 1) * row] for y in reversed(range(height)))
    return width, height, depth // 8, pixels


def changed_columns(line_a, line_b, step):
    return [p // step for p in range(0, len(line_a), step) if line_a[p:p + 3] != line_b[p:p + 3] and
            max(abs(line_a[p + c] - line_b[p + c]) for c in range(3)) > CHANNEL_STEP]


def changed_pixels(before, after):
    """Count and bounding box (x0, y0, x1, y1) of the pixels that changed."""
    width, height, step, a = before
    _, _, _, b = after
    row = width * step
    count = 0
    box = [width, height, -1, -1]
    for y in range(height):
        line_a = a[y * row:(y + 1) * row]
        line_b = b[y * row:(y + 1) * row]
        if line_a == line_b:
            continue
        columns = changed_columns(line_a, line_b, step)
        if columns:
            count += len(columns)
            box = [min(box[0], columns[0]), min(box[1], y), max(box[2], columns[-1]), y]
    return count, box


def is_flat(picture):
    _, _, step, data = picture
    return data == data[:step] * (len(data) // step)


class UserFolder:
    """The engine's folder under the home of the password file, and what a run adds to it.

    The engine writes its pictures and settings there, in a folder named after
    the game, and makes the base game's folder and a history file beside it: the
    game's folder goes after each run, the others only when this test made them
    and they are still empty."""

    def __init__(self, game):
        self.root = os.path.join(pwd.getpwuid(os.getuid()).pw_dir, ".quakespasm")
        self.game = os.path.join(self.root, game)
        self.made = [p for p in (os.path.join(self.root, "history.txt"), os.path.join(self.root, "id1"), self.root)
                     if not os.path.exists(p)]

    def clear_game(self):
        shutil.rmtree(self.game, ignore_errors=True)

    def tidy(self):
        self.clear_game()
        for path in self.made:
            try:
                if os.path.isdir(path):
                    os.rmdir(path)
                elif os.path.getsize(path) == 0:
                    os.remove(path)
            except OSError:
                pass


def start_x_server():
    """An X server of its own for every engine run, and its display once it takes clients."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (WIDTH, HEIGHT),
                               "-nolisten", "tcp"], pass_fds=(write_end,), stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as f:
        number = f.readline().strip()
    if not number:
        server.wait()
        fail("Xvfb did not start (exit %s)" % server.returncode)
    return server, ":" + number


def run_engine(base, game, display, user, log_path):
    """Runs the engine once; its exit status, its log and the pictures it took."""
    env = dict(os.environ, DISPLAY=display, LIBGL_ALWAYS_SOFTWARE="1")
    env.pop("XAUTHORITY", None)
    command = [ENGINE, "-basedir", base, "-game", game, "-noudp", "-nosound", "-nojoy", "-window",
               "-width", str(WIDTH), "-height", str(HEIGHT)]
    # A software-GL start on a loaded machine now and then stalls before the level
    # loads, whatever the model: a stalled run is tried once more before it counts.
    for attempt in range(2):
        user.clear_game()
        with open(log_path, "w") as log:
            try:
                status = subprocess.run(command, cwd=base, env=env, stdout=log, stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL, timeout=ENGINE_SECONDS).returncode
            except subprocess.TimeoutExpired:
                status = "timeout"
        if status != "timeout":
            break
    with open(log_path, errors="replace") as log:
        text = log.read()
    pictures = [os.path.join(user.game, "spasm%04d.tga" % i) for i in range(PICTURES)]
    return status, text, [p for p in pictures if os.path.isfile(p)]


def engine_complaint(status, text):
    lines = [l for l in text.splitlines() if "ERROR" in l or "Error" in l or "error" in l]
    tail = "\n".join(lines[-6:] if lines else text.splitlines()[-12:])
    if status == "timeout":
        return "the engine did not quit within %d s, twice\n" % ENGINE_SECONDS + tail
    if isinstance(status, int) and status < 0:
        return "the engine crashed (signal %d)\n%s" % (-status, tail)
    return "the engine exited with %s\n%s" % (status, tail)


class Stage:
    """The folders, the X server and the compiled program that every model's run shares."""

    def __init__(self, args, base, display, progs):
        self.args = args
        self.base = base
        self.display = display
        self.progs = progs
        self.game = "vnlshow%d" % os.getpid()  # the engine's folder in the user's home is named after it
        self.user = UserFolder(self.game)
        self.work = os.path.join(base, "work")
        self.drawn = {}  # digest of the bytes shown -> the model that showed them

    def place(self, source):
        """Writes the game folder for one model; the model's name there, or the
        model drawn already with the same bytes."""
        name = os.path.basename(source.split("::")[-1])
        folder = os.path.join(self.base, self.game)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(os.path.join(folder, "progs"))
        os.makedirs(os.path.join(folder, "maps"))
        shown = os.path.join(folder, "progs", name)
        if name.lower().endswith(".mdl"):
            run = subprocess.run([self.args.corvane, "-model", source, "-dst", shown], capture_output=True, text=True)
            if run.returncode != 0 or not os.path.isfile(shown):
                fail("corvane -model %s -dst %s exited with %d:\n%s%s" %
                     (source, name, run.returncode, run.stdout, run.stderr))
            with open(shown, "rb") as f:
                bad = missing_vertices(f.read())
            if bad:
                fail("%s: corvane wrote %d triangles naming a missing vertex (triangle %d names %d)" %
                     (source, len(bad), *bad[0]))
        else:
            with open(shown, "wb") as f:
                f.write(read_source(source))
        with open(shown, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        if digest in self.drawn:
            return name, self.drawn[digest]
        self.drawn[digest] = source
        os.symlink(name, os.path.join(folder, "progs", "player.mdl"))
        shutil.copy(self.progs, folder)
        with open(os.path.join(folder, "maps", MAP + ".ent"), "w") as f:
            f.write(ENTITIES.format(model="progs/" + name))
        with open(os.path.join(folder, "quake.rc"), "w") as f:
            f.write(START_SCRIPT.format(map=MAP, wait_join=waits(self.args.join_frames), wait_show=waits(8),
                                        wait_turn=waits(4)))
        return name, None

    def show(self, source):
        """Shows one model and says what was seen; fails when it is not drawn."""
        name, same = self.place(source)
        if same:  # a pack's copy of a loose file, say
            return "same bytes written as %s, drawn above" % same
        stem = os.path.splitext(name)[0]
        status, text, pictures = run_engine(self.base, self.game, self.display, self.user,
                                            os.path.join(self.work, stem + ".log"))
        if status != 0 or len(pictures) != PICTURES:
            fail("%s: %s" % (source, engine_complaint(status, text)))
        if self.args.keep:
            for picture, when in zip(pictures, ("without", "with", "with.later")):
                shutil.copy(picture, os.path.join(self.args.keep, "%s.%s.tga" % (stem, when)))
        before = read_tga(pictures[0])
        if not is_flat(before):
            fail("%s: the view without the model is not clear: the comparison would see more than the model" % source)
        count, box = max(changed_pixels(before, read_tga(p)) for p in pictures[1:])
        width, height = before[0], before[1]
        if count < MIN_CHANGED_SHARE * width * height:
            fail("%s: the model changed %d pixels of %d: not drawn" % (source, count, width * height))
        middle = ((box[0] + box[2]) / 2, (box[1] + box[3]) / 2)
        if not (width / 4 <= middle[0] <= width * 3 / 4 and height / 4 <= middle[1] <= height * 3 / 4):
            fail("%s: the pixels changed around %s, not in front of the player" % (source, middle))
        return "drawn: %6d pixels changed, box %d,%d to %d,%d" % (count, *box)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--corvane", required=True)
    parser.add_argument("--game-files", action="append", required=True)
    parser.add_argument("--defs", required=True)
    parser.add_argument("--keep")
    parser.add_argument("--join-frames", type=int, default=40,
                        help="frames the client gets to join the level before the first picture (default 40)")
    parser.add_argument("models", nargs="+")
    args = parser.parse_args()

    for tool, found, package in (("quakespasm", ENGINE, "quakespasm"), ("fteqcc", shutil.which("fteqcc"), "fteqcc"),
                                 ("Xvfb", shutil.which("Xvfb"), "xvfb")):
        if not found:
            skip("no %s (Debian package %s; scripts/deps.sh test installs it)" % (tool, package))
    for source in args.game_files:
        if not os.path.exists(source):
            skip("no game files at " + source)
    if not os.path.isfile(args.defs):
        skip("no QuakeC definitions at " + args.defs)
    if args.keep:
        os.makedirs(args.keep, exist_ok=True)

    started = time.monotonic()
    base = tempfile.mkdtemp(prefix="draw_models.")
    server = stage = None
    try:
        shown_sources = []
        for pattern in args.models:
            named = expand(pattern)
            if not named:
                fail("no model matches " + pattern)
            shown_sources += named
        server, display = start_x_server()
        build_base_game(base, args.game_files)
        os.makedirs(os.path.join(base, "work"))
        stage = Stage(args, base, display, compile_program(os.path.join(base, "work"), args.defs))
        for source in shown_sources:
            print("%-40s %s" % (source, stage.show(source)), flush=True)
    except (OSError, ValueError, struct.error) as error:
        fail(str(error))
    finally:
        if server:
            server.terminate()
            server.wait()
        if stage:
            stage.user.tidy()
        shutil.rmtree(base, ignore_errors=True)
    print("%d models named, %d drawn by the engine (one run each), in %.1f s" %
          (len(shown_sources), len(stage.drawn), time.monotonic() - started))


if __name__ == "__main__":
    main()
