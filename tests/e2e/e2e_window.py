#!/usr/bin/env python3
"""The real program in a real X server, driven as a person drives it: keys, clicks, the clipboard.

    e2e_window.py PROGRAM

Starts its own Xvfb at 96 dpi, copies PROGRAM into a fresh folder whose name holds a blank and
Chinese characters, and runs it there. Exits 77 (skipped) when no X server can be started.
Run it inside a D-Bus session (dbus-run-session) with Debian's Python: the tests whose names end in
_accessibly read the program through assistive technology (AT-SPI, pyatspi).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import warnings
from pathlib import Path

warnings.simplefilter('ignore', ImportWarning)  # raised by pyatspi's bindings as they load

SKIP = 77
TITLE = '图片转换工具--'
WINDOW_AT = (303, 153)
WINDOW_SIZE = (757, 543)
PICTURE_AREA = (320, 8, 425, 345)  # left, top, width, height inside the window
BROWN = (0x80, 0x40, 0x00)
TEXT1 = (160, 180)
TEXT1_SCROLL_BAR = (313, 180)
TEXT_ORIGIN = (11, 10)  # the first character's top-left corner: panel, frame and margin
CELL, LINE = 6, 12
COMMAND1, COMMAND2, COMMAND4 = (124, 476), (356, 476), (604, 476)

PROGRAM = None
ENV = None


def run(*args, stdin=None, timeout=30):
    return subprocess.run(args, input=stdin, capture_output=True, env=ENV, timeout=timeout,
                          check=True).stdout


def serve_clipboard(text):
    # xclip goes on serving the clipboard in the background: its output is not waited for.
    subprocess.run(['xclip', '-selection', 'clipboard', '-in'], input=text.encode(), env=ENV,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=20, check=True)


def wait_for(what, condition, timeout=15.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError('timed out waiting for ' + what)


def find_windows(name):
    result = subprocess.run(['xdotool', 'search', '--onlyvisible', '--name', name],
                            capture_output=True, env=ENV, text=True)
    return result.stdout.split()


def start_xvfb():
    """Starts Xvfb on a free display; returns the process and the display, or None."""
    if not shutil.which('Xvfb'):
        return None
    read, write = os.pipe()
    server = subprocess.Popen(['Xvfb', '-displayfd', str(write), '-screen', '0', '1280x1024x24',
                               '-dpi', '96', '-nolisten', 'tcp'], pass_fds=(write,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    number = b''
    deadline = time.monotonic() + 10
    while not number.endswith(b'\n') and time.monotonic() < deadline and server.poll() is None:
        chunk = os.read(read, 16)
        if not chunk:
            break
        number += chunk
    os.close(read)
    if not number.strip().isdigit():
        server.kill()
        return None
    return server, ':' + number.decode().strip()


def screenshot(x, y, width, height):
    """The screen's pixels in a rectangle, as rows of (r, g, b)."""
    data = run('import', '-window', 'root', '-crop', f'{width}x{height}+{x}+{y}', '+repage',
               '-depth', '8', 'ppm:-')
    return parse_ppm(data)


def parse_ppm(data):
    fields = re.match(rb'P6\s+(\d+)\s+(\d+)\s+(\d+)\s', data)
    width, height = int(fields.group(1)), int(fields.group(2))
    pixels = data[fields.end():]
    return [[tuple(pixels[(row * width + col) * 3:(row * width + col) * 3 + 3])
             for col in range(width)] for row in range(height)]


def mean_difference(a, b):
    total = count = 0
    for row_a, row_b in zip(a, b):
        for pa, pb in zip(row_a, row_b):
            total += sum(abs(ca - cb) for ca, cb in zip(pa, pb))
            count += 3
    return total / count


def dump(data, per_line=None):
    pairs = ['%02X' % byte for byte in data]
    if per_line is None:
        return ' '.join(pairs) + ' '
    lines = [' '.join(pairs[i:i + per_line]) + ' ' for i in range(0, len(pairs), per_line)]
    return '\n'.join(lines)


def character_point(column, line=0):
    """The middle of a character cell of the text panel, in the window."""
    return (TEXT_ORIGIN[0] + column * CELL + CELL // 2, TEXT_ORIGIN[1] + line * LINE + LINE // 2)


def menu_entries(open_menu):
    """Opens a popup menu with open_menu() and returns its entries as assistive technology reads
    them, without the shortcuts; the menu is closed again."""
    import pyatspi
    from gi.repository import GLib
    names = []

    def on_focus(event):
        # An entry that takes the focus (detail1 is 0 where one loses it, as the last menu went).
        if event.detail1 != 1 or event.source.getRoleName() != 'menu item' or names:
            return
        menu = event.source.parent
        entries = (menu.getChildAtIndex(i).name for i in range(menu.childCount))
        names.extend(name.split('\t')[0] for name in entries if name)
        if names:
            pyatspi.Registry.stop()

    def act():
        open_menu()
        run('xdotool', 'key', 'Down')
        return False

    def give_up():
        timers.pop()
        pyatspi.Registry.stop()
        return False

    events = ('object:state-changed:focused',)
    pyatspi.Registry.registerEventListener(on_focus, *events)
    GLib.timeout_add(300, act)
    timers = [GLib.timeout_add(15000, give_up)]
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(on_focus, *events)
    for timer in timers:
        GLib.source_remove(timer)
    run('xdotool', 'key', 'Escape')
    return names


def heard(event_type, act):
    """Whether assistive technology hears event_type from the text panel once act() has run."""
    import pyatspi
    from gi.repository import GLib
    events = []

    def on_event(event):
        if event.source.getRoleName() == 'text':
            events.append(event)
            pyatspi.Registry.stop()

    def start():
        act()
        return False

    def give_up():
        timers.pop()
        pyatspi.Registry.stop()
        return False

    pyatspi.Registry.registerEventListener(on_event, event_type)
    GLib.timeout_add(300, start)
    timers = [GLib.timeout_add(5000, give_up)]
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(on_event, event_type)
    for timer in timers:
        GLib.source_remove(timer)
    return bool(events)


def accessible_panel():
    """The text panel as assistive technology sees it, once the program has made itself known."""
    import pyatspi

    def find():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
            if app is not None and app.name == PROGRAM.name:
                return pyatspi.findDescendant(app, lambda node: node.getRoleName() == 'text')
        return None
    return wait_for('the text panel to be reported to assistive technology', find)


class Program:
    """One run of the program in its folder."""

    def __init__(self, folder, accessible=False, arguments=(), title=TITLE, language=None):
        env = dict(ENV, QT_LINUX_ACCESSIBILITY_ALWAYS_ON='1') if accessible else dict(ENV)
        if language:
            env['LC_ALL'] = language
        self.process = subprocess.Popen([str(folder / PROGRAM.name), *arguments], cwd='/', env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        found = wait_for('the window', lambda: find_windows('^' + re.escape(title)))
        self.window = found[0]
        # Let it draw itself before anything looks at it.
        wait_for('the brown panel', lambda: self.picture_area_mean() is not None)

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    def click(self, point, button=1, repeat=1):
        run('xdotool', 'mousemove', '--window', self.window, str(point[0]), str(point[1]),
            'click', '--repeat', str(repeat), str(button))

    def key(self, *keys):
        run('xdotool', 'key', '--clearmodifiers', *keys)

    def paste(self, text):
        serve_clipboard(text)
        self.click(TEXT1)
        self.key('ctrl+v')

    def picture_area(self):
        left, top, width, height = PICTURE_AREA
        return screenshot(WINDOW_AT[0] + left, WINDOW_AT[1] + top, width, height)

    def picture_area_mean(self):
        # Text1's edge covers the area's first column: the mean is taken inside it.
        rows = self.picture_area()
        pixels = [p for row in rows[2:-2:17] for p in row[2:-2:17]]
        return tuple(sum(c[i] for c in pixels) // len(pixels) for i in range(3))

    def answer_warning(self, title='警告'):
        """Waits for the message box titled 警告 (or title), and dismisses it with Enter."""
        box = wait_for('the message box', lambda: find_windows(f'^{title}$'))[0]
        run('xdotool', 'windowfocus', '--sync', box)
        self.key('Return')
        wait_for('the message box to go', lambda: not find_windows(f'^{title}$'))


class EndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.folder = Path(cls.tmp.name) / '图片 转换 工具'
        cls.folder.mkdir()
        shutil.copy2(PROGRAM, cls.folder / PROGRAM.name)
        cls.output = cls.folder / '1.jpg'
        pictures = Path(cls.tmp.name) / 'pictures'
        pictures.mkdir()
        cls.baseline = pictures / 'baseline.jpg'
        cls.progressive = pictures / 'progressive.jpg'
        cls.large = pictures / 'large.jpg'
        run('convert', '-seed', '7', '-size', '360x270', 'plasma:fractal', '-quality', '85',
            str(cls.baseline))
        run('convert', '-seed', '9', '-size', '1600x1200', 'plasma:fractal', '-attenuate', '0.4',
            '+noise', 'Gaussian', '-quality', '95', str(cls.large), timeout=120)
        run('convert', '-seed', '8', '-size', '300x300', 'plasma:fractal', '-quality', '80',
            '-interlace', 'Plane', str(cls.progressive))

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def setUp(self):
        self.program = Program(self.folder, self._testMethodName.endswith('_accessibly'))

    def tearDown(self):
        self.program.close()

    def assert_shows(self, picture):
        """The picture fills the picture area, stretched over it."""
        expected = parse_ppm(run('convert', str(picture), '-resize', '425x345!', '-depth', '8',
                                 'ppm:-'))
        difference = wait_for('the picture', lambda: (
            lambda d: d if d < 12 else None)(mean_difference(self.program.picture_area(),
                                                                expected)))
        self.assertLess(difference, 12)

    def convert_and_wait(self):
        before = self.output.stat().st_mtime_ns if self.output.exists() else None
        self.program.click(COMMAND1)
        wait_for('1.jpg to be written', lambda: self.output.exists()
                 and self.output.stat().st_mtime_ns != before)

    def test_window_at_start(self):
        window = self.program.window
        self.assertTrue(run('xdotool', 'getwindowname', window).decode().startswith(TITLE))
        info = run('xwininfo', '-id', window).decode()
        numbers = {key: int(value) for key, value in re.findall(
            r'^\s*(Absolute upper-left X|Absolute upper-left Y|Width|Height):\s+(-?\d+)', info,
            re.M)}
        self.assertEqual((numbers['Absolute upper-left X'], numbers['Absolute upper-left Y']),
                         WINDOW_AT)
        self.assertEqual((numbers['Width'], numbers['Height']), WINDOW_SIZE)
        hints = run('xprop', '-id', window, 'WM_NORMAL_HINTS').decode()
        self.assertIn('minimum size: 757 by 543', hints)
        self.assertIn('maximum size: 757 by 543', hints)
        mean = self.program.picture_area_mean()
        for channel, expected in zip(mean, BROWN):
            self.assertAlmostEqual(channel, expected, delta=2)

    def test_pasted_pictures_are_converted(self):
        for picture, per_line in ((self.baseline, None), (self.progressive, 16)):
            with self.subTest(picture=picture.name, per_line=per_line):
                data = picture.read_bytes()
                self.program.click(COMMAND2)
                self.program.paste(dump(data, per_line))
                self.convert_and_wait()
                self.assertEqual(self.output.read_bytes(), data)
                self.assert_shows(picture)

    def test_not_a_picture_is_told_and_written(self):
        self.program.paste('FF D8 00 11 22 33 FF D9')
        self.program.click(COMMAND1)
        self.program.answer_warning()
        self.assertEqual(self.output.read_bytes(), bytes.fromhex('FFD800112233FFD9'))

    def test_empty_panel_is_told(self):
        self.program.click(COMMAND1)
        self.program.answer_warning()

    def test_clear_brings_back_the_brown_panel(self):
        self.program.paste(dump(self.baseline.read_bytes()))
        self.convert_and_wait()
        self.assert_shows(self.baseline)
        self.program.click(COMMAND2)
        wait_for('the brown panel', lambda: all(
            abs(c - e) <= 2 for c, e in zip(self.program.picture_area_mean(), BROWN)))

    def test_large_paste_then_typing(self):
        data = self.large.read_bytes()
        self.assertGreater(len(data), 1 << 20)
        text = dump(data)
        self.program.paste(text[:-len('D9 ')])  # the dump of a photo, all but its last pair
        self.program.key('ctrl+End')
        run('xdotool', 'type', '--delay', '30', 'D9 ')
        self.convert_and_wait()
        self.assertEqual(self.output.read_bytes(), data)

    def test_unpadded_dump_is_offered_and_taken(self):
        data = self.baseline.read_bytes()
        # As Arduino's Serial.print(b, HEX) prints it: no leading zeros.
        self.program.paste('\r\n'.join(' '.join('%X' % b for b in data[i:i + 16])
                                         for i in range(0, len(data), 16)))
        self.program.click(COMMAND1)
        self.program.answer_warning()  # Enter takes the offer, its default button
        wait_for('1.jpg to be the picture', lambda: self.output.read_bytes() == data)
        self.assert_shows(self.baseline)

    def test_primary_selection(self):
        self.program.paste('FF D8 FF E0 ')
        # A double click selects a pair, and X11's primary selection takes it.
        self.program.click(character_point(4), repeat=2)
        wait_for('the primary selection', lambda: run(
            'xclip', '-o', '-selection', 'primary') == b'D8')
        # A middle click past the end pastes it there.
        self.program.click(character_point(30), button=2)
        self.program.click(COMMAND1)
        self.program.answer_warning()
        self.assertEqual(self.output.read_bytes(), bytes.fromhex('FFD8FFE0D8'))

    def test_menus_and_panel_accessibly(self):
        self.program.click(TEXT1)
        run('xdotool', 'type', '--delay', '30', 'FF D8')
        panel = accessible_panel()
        text = panel.queryText()
        wait_for('the typed text', lambda: text.getText(0, -1) == 'FF D8')
        self.assertEqual(text.caretOffset, 5)
        import pyatspi
        states = panel.getState()
        self.assertTrue(states.contains(pyatspi.STATE_EDITABLE))
        self.assertTrue(states.contains(pyatspi.STATE_MULTI_LINE))
        # Select all with the caret already at the end: the selection is heard, and read.
        self.assertTrue(heard('object:text-selection-changed',
                              lambda: run('xdotool', 'key', 'ctrl+a')))
        self.assertEqual(text.getSelection(0), (0, 5))

        self.assertEqual(menu_entries(lambda: self.program.click(TEXT1, button=3)),
                         ['撤销(U)', '重做(R)', '剪切(T)', '复制(C)', '粘贴(P)', '删除', '全选',
                          '打开(O)…', '复制为 C 数组', '从串口接收…'])
        # The scroll bar's menu is Qt's own, in Qt's own Chinese.
        self.assertEqual(menu_entries(lambda: self.program.click(TEXT1_SCROLL_BAR, button=3)),
                         ['滚动至此', '顶端', '底部', '向上翻页', '向下翻页', '向上滚动', '向下滚动'])

    def test_english_window(self):
        self.program.close()
        self.program = Program(self.folder, title='Picture Converter--', language='en_US.UTF-8')
        self.program.click(COMMAND1)  # an empty panel
        self.program.answer_warning('Warning')
        data = self.baseline.read_bytes()
        self.program.paste(dump(data))
        self.convert_and_wait()
        self.assertEqual(self.output.read_bytes(), data)

    def test_dir_chooses_the_folder(self):
        self.program.close()
        chosen = Path(self.tmp.name) / 'chosen folder'
        chosen.mkdir(exist_ok=True)
        self.program = Program(self.folder, arguments=('--dir', str(chosen)))
        data = self.baseline.read_bytes()
        self.program.paste(dump(data))
        self.program.click(COMMAND1)
        wait_for('1.jpg in the chosen folder', lambda: (chosen / '1.jpg').exists()
                 and (chosen / '1.jpg').read_bytes() == data)

    def test_file_on_the_command_line(self):
        """hexjpg FILE: a picture's pairs (as from a file dropped on the program) convert back."""
        self.program.close()
        self.program = Program(self.folder, arguments=(str(self.progressive),))
        self.convert_and_wait()
        self.assertEqual(self.output.read_bytes(), self.progressive.read_bytes())
        self.assert_shows(self.progressive)

    def test_serial_port_pictures_appear(self):
        if not shutil.which('socat'):
            self.skipTest('socat is missing')
        self.program.close()
        port, camera = Path(self.tmp.name) / 'port', Path(self.tmp.name) / 'camera'
        pty = subprocess.Popen(['socat', f'pty,raw,echo=0,link={port}',
                                f'pty,raw,echo=0,link={camera}'], stderr=subprocess.DEVNULL)
        try:
            wait_for('the pty pair', lambda: port.exists() and camera.exists())
            self.output.unlink(missing_ok=True)
            self.program = Program(self.folder, arguments=('--serial', str(port)))
            data = self.baseline.read_bytes()
            text = ('camera ready\r\n' + dump(data, 16).replace('\n', '\r\n') + '\r\n').encode()
            with open(camera, 'wb', buffering=0) as device:
                for at in range(0, len(text), 256):
                    device.write(text[at:at + 256])
                    time.sleep(0.001)
            wait_for('1.jpg from the port', lambda: self.output.exists()
                     and self.output.read_bytes() == data)
            self.assert_shows(self.baseline)
        finally:
            pty.kill()
            pty.wait()

    def test_exit_ends_the_program_and_keeps_the_file(self):
        data = self.progressive.read_bytes()
        self.program.paste(dump(data))
        self.convert_and_wait()
        self.program.click(COMMAND4)
        self.assertEqual(self.program.process.wait(timeout=10), 0)
        self.assertEqual(self.output.read_bytes(), data)


def main():
    global PROGRAM, ENV
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    PROGRAM = Path(sys.argv[1]).resolve()
    for tool in ('xdotool', 'xclip', 'import', 'convert', 'xwininfo', 'xprop'):
        if not shutil.which(tool):
            print(f'{tool} is missing: install xdotool, xclip, imagemagick and x11-utils',
                  file=sys.stderr)
            return 1
    started = start_xvfb()
    if started is None:
        print('SKIP: no X server could be started', file=sys.stderr)
        return SKIP
    server, display = started
    runtime = tempfile.TemporaryDirectory()
    os.chmod(runtime.name, 0o700)
    # No language set: the described Chinese window (test_english_window asks for English).
    ENV = dict(os.environ, DISPLAY=display, XDG_RUNTIME_DIR=runtime.name, LC_ALL='C.UTF-8')
    for name in ('QT_QPA_PLATFORM', 'WAYLAND_DISPLAY', 'LANGUAGE'):
        ENV.pop(name, None)
    try:
        result = unittest.main(argv=[sys.argv[0], '-v'], exit=False).result
        return 0 if result.wasSuccessful() else 1
    finally:
        server.terminate()
        server.wait()
        runtime.cleanup()


if __name__ == '__main__':
    sys.exit(main())
