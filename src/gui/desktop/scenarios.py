#!/usr/bin/python3
"""The desktop program used end to end, as a person or a screen reader uses it.

Each scenario starts r7kprog on the X server of scripts/x-session and drives it only from
outside: through the accessibility bus and synthetic input (desktop_user.py).

    scenarios.py --program build/bin/r7kprog --r7k build/bin/r7k [--artefacts DIR] NAME...
"""

import argparse
import os
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_user import Failure, Program, keys, states, wait_for  # noqa: E402

CONFIGURATION = "Vardex R7000 Programmer Configuration"
MAIN = "Vardex R7000 Programmer"
HEX = "Hexadeicmal display"
GOODBYE = "Thank you for using Vardex R7000 Programmer. Have a nice day and goodbye."
T0031 = (98537, 61)  # start and size of the technique T0031 in the demo module

SCENARIOS = {}


def scenario(function):
    SCENARIOS[function.__name__] = function
    return function


def check(condition, what):
    if not condition:
        raise Failure(what)


class Run:
    def __init__(self, options, name):
        self.options = options
        self.name = name
        self.program = None

    def start(self, *args):
        artefacts = os.path.join(self.options.artefacts, self.name) if self.options.artefacts else None
        self.program = Program(self.options.program, args, artefacts)
        return self.program

    def demo_module(self, name="demo.r7v"):
        path = self.program.path(name)
        subprocess.run([self.options.r7k, "builtin", "demo", "-o", path], check=True,
                       stdout=subprocess.DEVNULL)
        return path

    def module_bytes(self, path, start, size):
        with open(path, "rb") as f:
            f.seek(start)
            return f.read(size)


def configure(program, module=None, port=None, keep=True, load_message=None):
    """The configuration dialog as a screen reader user fills it in, then OK; `load_message`
    is the message box the module's load shows first (a module file that is not there yet)."""
    config = program.window(CONFIGURATION)
    if port is not None:
        rows = config.rows("Ports")
        row = next(i for i, r in enumerate(rows) if r.split()[0] == port)
        config.select_row("Ports", row)
        wait_for(f"the port {port}", lambda: config.text("Port") == port)
    if module is not None:
        config.set_text("Pattern file", module)
    if keep:
        config.toggle("Keep file")
    config.press("OK")
    program.gone(CONFIGURATION)
    if load_message:
        program.answer("Pattern Load", load_message)
    return main_dialog(program)


def main_dialog(program):
    """The main dialog: a message box may carry the same title."""
    def look():
        for w in program.windows():
            if w.title == MAIN and any(n.name == "Directory" for n in w.all("list")):
                return w
        return None

    return wait_for(lambda: f"the main dialog (open: {program.titles()})", look)


def wait_directory(main):
    return wait_for("the directory", lambda: len(main.rows("Directory")) > 20)


def select_entry(main, name):
    rows = main.rows("Directory")
    row = next(i for i, r in enumerate(rows) if r.split()[1:2] == [name])
    main.select_row("Directory", row)
    wait_for(f"{name} as the current entry", lambda: main.text("Name") == name)


def close_program(program, main):
    main.close()
    program.answer(MAIN, GOODBYE)
    check(program.wait_end() == 0, "the program ended with an error")


@scenario
def browse(run):
    """Open a module, select, Info, edit hex, Update, the views and their next/previous."""
    program = run.start()
    module = run.demo_module()
    main = configure(program, module, port="sim")
    wait_directory(main)
    program.shot("main")

    select_entry(main, "T0031")
    check(main.text("Size") == "61", "the size of T0031")
    main.press("Info")
    hexview = program.window(HEX)
    text = hexview.text("Hexadecimal data")
    check(text.startswith("15 00 1F "), f"T0031's bytes: {text[:20]!r}")
    # One digit changed by hand, as the widget gives it back, then Update.
    hexview.set_text("Hexadecimal data", text[:4] + "A" + text[5:])
    hexview.press("Update")
    wait_for("the update", lambda: hexview.text("Status") == "Memory Module updated")
    start, size = T0031
    check(run.module_bytes(module, start, 3) == bytes([0x15, 0x0A, 0x1F]), "the byte written")
    # One byte deleted: the size no longer fits.
    hexview.set_text("Hexadecimal data", text[3:])
    hexview.press("Update")
    program.answer("Update Memory Module", "Size (60) not same as size in module (61)")
    program.shot("hex")
    hexview.close()
    program.gone(HEX)

    select_entry(main, "P5000")
    main.press("Picture")
    pattern = program.window("R7000 Programmer - Pattern")
    first = pattern.picture(None, "Pattern picture", program.path("p5000.png"))
    pattern.press("Next pattern")
    wait_for("the next pattern", lambda: pattern.text("Name") == "P5123")
    second = pattern.picture(None, "Pattern picture")
    check(second != first, "the next pattern shows its own picture")
    check(pattern.centre_colour(None, "Colour 3") == (255, 255, 255),
          "the third swatch of a two-colour pattern is white")
    pattern.press("Previous pattern")
    wait_for("the pattern before", lambda: pattern.text("Name") == "P5000")
    check(pattern.picture(None, "Pattern picture") == first, "and the first picture again")
    program.shot("pattern")
    pattern.close()
    program.gone("R7000 Programmer - Pattern")

    select_entry(main, "S0001")
    main.press("Picture")
    sector = program.window("R7000 Programmer - Sector")
    check(sector.text("Colour of feeder 1") == "8", "the sector's own colour numbers")
    front = sector.picture(None, "Front pattern picture")
    sector.press("Next sector")
    wait_for("the next sector", lambda: sector.text("Front") == "P2010")
    check(sector.picture(None, "Front pattern picture") != front, "its front pattern")
    program.shot("sector")
    sector.close()
    program.gone("R7000 Programmer - Sector")
    close_program(program, main)


def running(main):
    """True while a module operation runs: its Stop button shows."""
    return "showing" in states(main.find("push button", "Stop"))


def start_operation(program, main, button):
    """The button, then OK in the module check; returns once the check is done."""
    main.press(button)
    program.window("Check Module").press("OK")
    program.gone("Check Module", 30)


def stop_operation(program, main, what):
    wait_for(f"the {what} to run", lambda: running(main), 30)
    main.press("Stop")


def file_bytes(path):
    with open(path, "rb") as f:
        return f.read()


@scenario
def upload(run):
    """Upload from the simulated box, chosen by the user, into a new file; then Stop during one."""
    program = run.start()
    module = program.path("read.r7v")
    main = configure(program, module, port="sim", load_message="not found")
    wait_for("the box's version", lambda: main.enabled("push button", "Upload"), 30)
    start_operation(program, main, "Upload")
    wait_for("the module read", lambda: os.path.exists(module) and not running(main), 120)
    wait_directory(main)
    flash = os.path.join(program.config, "simulated-box.r7v")
    check(file_bytes(module) == file_bytes(flash), "the file holds the box's module")
    program.shot("read")

    before = file_bytes(module)
    start_operation(program, main, "Upload")
    stop_operation(program, main, "read")
    wait_for("the read to stop", lambda: not running(main), 30)
    check(main.enabled("push button", "Upload"), "the main dialog is ready again")
    check("Memory Module load" not in program.titles(), "a stopped read asks to save")
    check(file_bytes(module) == before, "a stopped read leaves the file alone")
    close_program(program, main)


@scenario
def download(run):
    """Download into the simulated box, then Stop during one: the box's module is partly written."""
    program = run.start()
    module = run.demo_module()
    with open(module, "r+b") as f:  # a module the box does not hold yet
        f.seek(0x7F000)
        f.write(bytes(range(64)))
    main = configure(program, module, port="sim")
    wait_directory(main)
    wait_for("the box's version", lambda: main.enabled("push button", "Download"), 30)
    start_operation(program, main, "Download")
    box = wait_for("the write's end", lambda: next(
        (w for w in program.windows() if w.title == "Write Module"), None), 120)
    said = box.message()
    check("Verified" in said, f"the write read back and compared says so: {said!r}")
    box.press("OK")
    flash = os.path.join(program.config, "simulated-box.r7v")
    wait_for("the box to hold the module written",  # it saves its flash when idle
             lambda: file_bytes(flash) == file_bytes(module), 20)
    program.shot("written")

    start_operation(program, main, "Download")
    stop_operation(program, main, "write")
    program.answer("Write Module", "erased or partly written")
    wait_for("the write to stop", lambda: not running(main), 30)
    check(main.enabled("push button", "Download"), "the main dialog stays, ready again")
    close_program(program, main)


@scenario
def keyboard(run):
    """Typing and clicking on the X server: the path typed, Enter for OK, nothing more."""
    program = run.start()
    module = run.demo_module()
    config = program.window(CONFIGURATION)
    config.click("text", "Port")
    keys("ctrl+a")
    subprocess.run(["xdotool", "type", "--delay", "20", "sim"], check=True, timeout=60)
    config.click("text", "Pattern file")
    keys("ctrl+a")
    subprocess.run(["xdotool", "type", "--delay", "20", module], check=True, timeout=60)
    config.click("check box", "Keep file")
    keys("Return")
    main = main_dialog(program)
    wait_directory(main)
    check(main.text("Virtual Module") == module, "the typed path")
    # Enter closed the configuration; the main dialog's default button stays unpressed.
    time.sleep(1.5)
    check(HEX not in program.titles(), "Enter in the configuration also pressed Info")
    close_program(program, main)


@scenario
def no_module(run):
    """A first start without a module: greyed buttons and the status line say what is missing."""
    program = run.start()
    main = configure(program, keep=False)
    # No port is chosen and no box answers: the version query says so.
    program.answer(MAIN, "Connection failed.", timeout=30)
    program.answer("Module Informatiuon", "timed out", timeout=30)
    for button in ("Info", "Picture", "New Tech", "Upload"):
        check(not main.enabled("push button", button), f"{button} is available without a module")
        check("virtual module" in main.description("push button", button),
              f"{button} does not say why it is greyed")
    wait_for("the status line's hint", lambda: main.text("Status").startswith("Choose a virtual module"))
    check(main.find("text", "Valid") is not None, "the fields are named by their labels")
    close_program(program, main)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--r7k", required=True)
    parser.add_argument("--artefacts")
    parser.add_argument("names", nargs="*", default=list(SCENARIOS))
    options = parser.parse_args()
    failed = 0
    for name in options.names:
        run = Run(options, name)
        started = time.monotonic()
        try:
            SCENARIOS[name](run)
            print(f"ok {name} ({time.monotonic() - started:.1f} s)")
        except Exception:  # every failure is reported with what the program said
            failed += 1
            print(f"FAILED {name}:")
            traceback.print_exc(file=sys.stdout)
            if run.program:
                run.program.shot("failure")
                print("windows open:", run.program.titles())
        finally:
            if run.program:
                output = run.program.stop()
                if failed and output:
                    print("the program's output:\n" + output)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
