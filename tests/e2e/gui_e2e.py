#!/usr/bin/env python3
"""The real parvix window under X with xdotool: scan, start all, a drag and a key on a tile.

Checks in the virtual phone's control log that the press, the moves and the release arrive at
the positions scaled from the tile to the phone's frame, and that a key typed after the click
reaches that phone. Needs DISPLAY (run under xvfb-run) and xdotool.

    gui_e2e.py BUILD_DIR [--screenshot FILE]
"""
import json, os, shutil, subprocess, sys, tempfile, time

build = os.path.abspath(sys.argv[1])
shot = sys.argv[sys.argv.index("--screenshot") + 1] if "--screenshot" in sys.argv else None
phonesim = os.path.join(build, "tools/phonesim/phonesim")
parvix = os.path.join(build, "parvix")

if not os.environ.get("DISPLAY") or not shutil.which("xdotool"):
    print("SKIP: needs an X display and xdotool")
    sys.exit(77)


def xdo(*args):
    return subprocess.run(["xdotool", *map(str, args)], check=True, capture_output=True,
                          text=True).stdout.strip()


def wait_for(condition, timeout, what):
    end = time.time() + timeout
    while time.time() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.2)
    raise SystemExit("FAIL: " + what)


def log_of(home, serial):
    path = os.path.join(home, serial, "control.jsonl")
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [json.loads(line) for line in f if line.strip()]


work = tempfile.mkdtemp(prefix="parvix-e2e-")
sim_home = os.path.join(work, "phones")
init = subprocess.run([phonesim, "init", "--home", sim_home, "--phones", "2", "--size", "720x1280"],
                      check=True, capture_output=True, text=True)
serials = [line.split("\t")[0] for line in init.stdout.splitlines() if line.strip()]

env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, ".config"),
           PHONESIM_HOME=sim_home, PARVIX_ADB=phonesim,
           PARVIX_SCRCPY_SERVER=os.path.join(sim_home, "scrcpy-server"),
           LIBGL_ALWAYS_SOFTWARE="1", QT_QPA_PLATFORM="xcb")
env.pop("XDG_DESKTOP_DIR", None)
app = subprocess.Popen([parvix], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
try:
    window = wait_for(lambda: subprocess.run(["xdotool", "search", "--name", "Vodav Evodo"],
                                             capture_output=True, text=True).stdout.split(), 30,
                      "the window appears")[0]
    xdo("windowmove", window, 0, 0)
    xdo("windowsize", window, 1480, 800)
    time.sleep(1.5)
    geometry = dict(line.split("=") for line in xdo("getwindowgeometry", "--shell", window).split())
    ox, oy = int(geometry["X"]), int(geometry["Y"])

    def click(x, y, button=1):
        xdo("mousemove", ox + x, oy + y)
        time.sleep(0.1)
        xdo("click", button)

    # The right panel's scan button (centre of the panel right of the 300 px list).
    click(300 + (1480 - 300) // 2, 44 + (800 - 44) // 2)
    time.sleep(4)
    # The scan dialog (800 x 600, centred in the window): "Select All", then "Add to Group".
    click(340 + 24, 100 + 109)
    time.sleep(0.5)
    click(340 + 800 - 66, 100 + 600 - 26)
    time.sleep(2)
    # "Start All", the first button of the grid's header, where a 1480 x 800 window puts it.
    click(775, 73)
    wait_for(lambda: all(log_of(sim_home, s) is not None for s in serials), 5, "phones")
    time.sleep(8)
    if shot:
        subprocess.run(["import", "-window", "root", shot], check=False)

    # The first tile's picture: list 300 + split handle 4 + grid margin 10, and below the
    # window header 44, grid margin 10, group header 40 + 5, tile margin 5, tile header 20 + 5,
    # container margin 1. It is 160 wide and 285 high at the default cell width of 220.
    tile_x, tile_y, tile_w, tile_h = 320, 130, 160.0, 285.2
    before = len(log_of(sim_home, serials[0]))
    start = (20, 15)
    xdo("mousemove", ox + tile_x + start[0], oy + tile_y + start[1])
    time.sleep(0.3)
    xdo("mousedown", 1)
    for step in range(1, 11):
        xdo("mousemove", ox + tile_x + start[0] + step * 6, oy + tile_y + start[1] + step * 10)
        time.sleep(0.05)
    xdo("mouseup", 1)
    end = (start[0] + 60, start[1] + 100)
    xdo("type", "a")
    time.sleep(2)
    sent = log_of(sim_home, serials[0])[before:]
    touches = [e for e in sent if e["type"] == "inject_touch_event"]
    keys = [e for e in sent if e["type"] == "inject_keycode"]
    actions = [t["action"] for t in touches]
    if not actions or actions[0] != 0 or actions[-1] != 1 or actions.count(2) < 3:
        raise SystemExit("FAIL: touch actions %s" % actions)
    sx = touches[0]["screenWidth"] / tile_w
    sy = touches[0]["screenHeight"] / tile_h
    for touch, (px, py) in ((touches[0], start), (touches[-1], end)):
        if abs(touch["x"] - px * sx) > 3 * sx or abs(touch["y"] - py * sy) > 3 * sy:
            raise SystemExit("FAIL: touch at %s,%s, expected about %s,%s" %
                             (touch["x"], touch["y"], px * sx, py * sy))
    if len(keys) < 2:
        raise SystemExit("FAIL: the key did not reach the phone: %s" % sent)
    others = [e for e in log_of(sim_home, serials[1]) if e["type"] == "inject_keycode"]
    if others:
        raise SystemExit("FAIL: the other phone got keys")
    print("e2e: press, %d moves, release and %d key events reached %s" %
          (actions.count(2), len(keys), serials[0]))
    print("1 passed, 0 failed")
finally:
    app.terminate()
    try:
        app.wait(10)
    except subprocess.TimeoutExpired:
        app.kill()
    shutil.rmtree(work, ignore_errors=True)
