#!/usr/bin/env python3
"""Reads the real program over the accessibility bus, as a screen reader does.

Usage: tst_screenreader.py PROGRAM   (KOKUGO_QT_VERSION: the Qt it is built with, e.g. 6.8.2)

Starts its own X server (Xvfb) and a private D-Bus session (dbus-run-session), where the
accessibility bus of at-spi2-core is started on demand, and reads the program with pyatspi.
Exits with 77 (skipped) when one of them is not installed.
"""

import importlib.util
import os
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

SKIPPED = 77
APP = "kokugo-mogi"

READING_TABS = ["問題", "文章１", "文章２", "文章３", "漢文"]
SHEET_TABS = ("1-問1-ｱ 1-問1-ｲ 1-問1-ｳ 1-問1-ｴ 1-問1-ｵ 1-問2 1-問3 1-問4 1-問5 1-問6 "
              "2-問1-ｱ 2-問1-ｲ 2-問1-ｳ 2-問2 2-問3 2-問4 2-問5 2-問6 "
              "3-問1-ｱ 3-問1-ｲ 3-問1-ｳ 3-問2 3-問3 3-問4 3-問5 3-問6 "
              "4-問1-ｱ 4-問1-ｲ 4-問2-A 4-問2-B 4-問3 4-問4 4-問5 4-問6").split()
CIRCLED = "①②③④⑤⑥⑦"
# The toolkit has the selection interface from 6.5 on.
QT = tuple(int(n) for n in os.environ.get("KOKUGO_QT_VERSION", "0").split(".")[:2])


def missing_tools():
    missing = []
    if importlib.util.find_spec("pyatspi") is None:
        missing.append("python3-pyatspi (for %s)" % sys.executable)
    if not os.path.exists("/usr/share/dbus-1/services/org.a11y.Bus.service"):
        missing.append("at-spi2-core")
    if not shutil.which("dbus-run-session"):
        missing.append("dbus-daemon (dbus-run-session)")
    if not shutil.which("Xvfb"):
        missing.append("an X server (Xvfb)")
    return missing


def outside(program):
    missing = missing_tools()
    if missing:
        print("SKIP: the screen-reader test needs " + ", ".join(missing)
              + "; ./dev.sh test installs them")
        return SKIPPED
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x800x24",
                             "-nolisten", "tcp"], pass_fds=[write],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    try:
        with os.fdopen(read) as pipe:
            display = pipe.readline().strip()
        if not display:
            print("SKIP: Xvfb did not start")
            return SKIPPED
        env = dict(os.environ, DISPLAY=":" + display)
        # The client library would go to a Wayland compositor named here, and crashes there.
        env.pop("WAYLAND_DISPLAY", None)
        session = subprocess.run(["dbus-run-session", "--", sys.executable, __file__, "--inside",
                                  program], env=env, stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT, text=True)
        # The buses and the registry report their own start and end; keep only the rest.
        noise = ("dbus-daemon[", "SpiRegistry daemon is running", "X connection to")
        print("".join(line for line in session.stdout.splitlines(True)
                      if not line.startswith(noise)), end="")
        return session.returncode
    finally:
        xvfb.terminate()
        xvfb.wait()


# Inside the private session from here on.

failures = []


def expect(actual, expected, what):
    if actual != expected:
        failures.append("%s:\n  got      %r\n  expected %r" % (what, actual, expected))


def wait_for(condition, what, seconds=30):
    from gi.repository import GLib
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        GLib.MainContext.default().iteration(False)
        value = condition()
        if value:
            return value
        time.sleep(0.02)
    raise TimeoutError("no %s within %d s" % (what, seconds))


def inside(program):
    import pyatspi
    from gi.repository import Atspi

    def walk(node):
        yield node
        for child in node:
            if child is not None:
                yield from walk(child)

    def find(root, role, name=None):
        return [o for o in walk(root) if o.getRole() == role and (name is None or o.name == name)]

    def has(node, state):
        return node.getState().contains(state)

    def act(node, action):
        actions = node.queryAction()
        names = [actions.getName(i) for i in range(actions.nActions)]
        actions.doAction(names.index(action))

    def showing(root, role):
        return [o for o in find(root, role) if has(o, pyatspi.STATE_SHOWING)]

    events = []
    pyatspi.Registry.registerEventListener(
        lambda e: events.append((e.type, e.source.name, e.detail1)),
        "focus:", "object:state-changed:selected")

    state_home = tempfile.mkdtemp(prefix="kokugo-a11y-")
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               XDG_STATE_HOME=state_home)
    log = open(os.path.join(state_home, "program.log"), "w+")
    process = subprocess.Popen([program], env=env, stdout=log, stderr=subprocess.STDOUT)
    try:
        app = wait_for(lambda: next((a for a in pyatspi.Registry.getDesktop(0)
                                     if a is not None and a.name == APP), None),
                       "program on the accessibility bus")
        # Read what the program says now, never a copy kept from an earlier answer.
        app.set_cache_mask(Atspi.Cache.NONE)
        frame = wait_for(lambda: next((w for w in app if w.name == "問題 （国語Ⅰ・Ⅱ）"), None),
                         "exam window")
        expect(frame.getRole(), pyatspi.ROLE_FRAME, "exam window role")
        client = next(c for c in frame if c.getRole() == pyatspi.ROLE_FILLER)
        menus = next(c for c in frame if c.getRole() == pyatspi.ROLE_MENU_BAR)

        def column(role):
            return {c.name: c for c in client if c.getRole() == role}

        # A button clicks a moment after its action, as if pressed and let go: wait for its work.
        def label(prefix):
            return wait_for(lambda: next((n for n in column(pyatspi.ROLE_LABEL)
                                          if n.startswith(prefix)), None), prefix)

        # Both tab strips are lists of page tabs named by their captions, the first selected.
        lists = column(pyatspi.ROLE_PAGE_TAB_LIST)
        expect(sorted(lists), ["問題・文章", "解答用紙"], "tab lists")
        reading, sheet = lists["問題・文章"], lists["解答用紙"]
        for tabs, captions in ((reading, READING_TABS), (sheet, SHEET_TABS)):
            expect([(t.getRoleName(), t.name) for t in tabs],
                   [("page tab", c) for c in captions], tabs.name + " tabs")
            expect([t.name for t in tabs if has(t, pyatspi.STATE_SELECTED)], captions[:1],
                   tabs.name + " selected")

        # The buttons and the labels as spoken; the words around the time and score are not.
        buttons = column(pyatspi.ROLE_PUSH_BUTTON)
        expect(list(buttons), ["スタート", "得\u3000点", "合格率"], "buttons")
        expect(list(column(pyatspi.ROLE_LABEL)), ["残り時間", "（平均 112,92 点）", "得点"],
               "labels")
        expect([o.name for o in walk(frame) if "あと" in o.name or o.name == "点"], [],
               "words that frame the time and score")

        # The arrow keys move along the answer sheet, and the new tab is heard.
        act(sheet, "SetFocus")
        wait_for(lambda: has(sheet, pyatspi.STATE_FOCUSED), "focus on the answer sheet")
        events.clear()
        pyatspi.Registry.generateKeyboardEvent(0xFF53, None, pyatspi.KEY_SYM)  # Right
        wait_for(lambda: ("focus:", SHEET_TABS[1], 0) in events, "announcement of the next tab")
        expect(("object:state-changed:selected", SHEET_TABS[1], 1) in events, True,
               "next tab announced as selected")
        expect([b.name for b in showing(sheet, pyatspi.ROLE_CHECK_BOX)],
               [SHEET_TABS[1] + " " + c for c in CIRCLED[:5]], "boxes after the arrow key")

        # Picking a tab through its action shows that page and only that one.
        events.clear()
        slot30 = SHEET_TABS[29]
        act(sheet[29], "Press")
        expect(has(sheet[29], pyatspi.STATE_SELECTED), True, slot30 + " selected")
        wait_for(lambda: ("object:state-changed:selected", slot30, 1) in events,
                 "announcement of " + slot30)
        boxes = showing(sheet, pyatspi.ROLE_CHECK_BOX)
        expect([b.name for b in boxes], [slot30 + " " + c for c in CIRCLED[:6]], "boxes of 4-問2-B")
        act(boxes[1], "Toggle")
        expect([has(b, pyatspi.STATE_CHECKED) for b in boxes],
               [False, True, False, False, False, False], slot30 + " after ticking ②")
        # Where the toolkit has the selection interface, the list answers which tab is current
        # and picks one; the current tab cannot be unselected.
        expect("Selection" in sheet.get_interfaces(), QT >= (6, 5),
               "selection interface with Qt %d.%d" % QT)
        if QT >= (6, 5):
            selection = sheet.querySelection()
            expect([selection.getSelectedChild(i).name
                    for i in range(selection.nSelectedChildren)], [slot30], "selected tab")
            expect((selection.selectChild(3), has(sheet[3], pyatspi.STATE_SELECTED)), (True, True),
                   "selecting " + SHEET_TABS[3])
            expect([b.name for b in showing(sheet, pyatspi.ROLE_CHECK_BOX)][:1],
                   [SHEET_TABS[3] + " " + CIRCLED[0]], "boxes after selecting " + SHEET_TABS[3])
            expect(selection.deselectSelectedChild(0), False, "unselecting the current tab")
        act(reading[4], "Press")
        expect([p.name for p in showing(reading, pyatspi.ROLE_TEXT)],
               ["漢文"], "reading pane after picking 漢文")

        # The clock takes a minute off at each minute of the wall clock: start well clear of one.
        if time.time() % 60 > 50:
            time.sleep(61 - time.time() % 60)
        act(buttons["スタート"], "Press")
        expect(label("残り時間 "), "残り時間 1:20", "time after Start")

        # A verdict window and the help window are windows with their captions, panes named.
        act(buttons["得\u3000点"], "Press")
        label("得点 ")
        act(buttons["合格率"], "Press")
        act(find(menus, pyatspi.ROLE_MENU_ITEM, "バージョン情報(A)")[0], "Press")
        windows = wait_for(lambda: len(app) == 3 and {w.name: w for w in app}, "three windows")
        for caption, pane in (("合格ライン", "合格ライン一覧"), ("バージョン情報", "ソフトの説明")):
            window = windows.get(caption)
            expect(window and (window.getRoleName(),
                               [p.name for p in find(window, pyatspi.ROLE_TEXT)]),
                   ("frame", [pane]), caption + " window")

        act(find(menus, pyatspi.ROLE_MENU_ITEM, "終了(Q)")[0], "Press")
        expect(process.wait(timeout=30), 0, "exit status after 終了")
    except Exception:
        failures.append("stopped here:\n" + traceback.format_exc())
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        log.seek(0)
        program_output = log.read()
        log.close()
        shutil.rmtree(state_home, ignore_errors=True)

    if failures:
        print("\n".join("FAIL: " + f for f in failures))
        print("--- program output ---\n" + program_output)
        return 1
    print("PASS: the program reads well over the accessibility bus")
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--inside":
        sys.exit(inside(sys.argv[2]))
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(outside(os.path.abspath(sys.argv[1])))
