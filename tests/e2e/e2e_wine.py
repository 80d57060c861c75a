#!/usr/bin/env python3
"""hexjpg.exe under Wine, driven as a person on Windows drives it: the clipboard, clicks, keys.

    e2e_wine.py PROGRAM.exe

Starts its own Xvfb, copies the program into a fresh folder whose name holds a blank and Chinese
characters, and runs it there with Wine, in the Wine prefix that WINEPREFIX names. The window
appears under its title, a pasted dump becomes 1.jpg beside the program and is shown, 清除 brings
the brown panel back, and 退出 ends the program with status 0. Then, where HEXJPG_COM_LINKS names
the folder whose com7 the Wine prefix maps to COM7, the program is started with --serial COM7 on a
socat pty there, and a picture a board prints as pairs is written and shown. Exits 77 (skipped)
when no X server can be started.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import e2e_window as w

CLIENT_SIZE = w.WINDOW_SIZE


def client_origin(window):
    """Where the window's client area starts on the screen: Wine draws the caption itself."""
    shell = w.run('xdotool', 'getwindowgeometry', '--shell', window).decode()
    values = dict(line.split('=') for line in shell.split())
    x, y, width, height = (int(values[k]) for k in ('X', 'Y', 'WIDTH', 'HEIGHT'))
    border = max(0, (width - CLIENT_SIZE[0]) // 2)
    return x + border, y + height - CLIENT_SIZE[1] - border, x, y


def click(window, origin, point):
    cx, cy, wx, wy = origin
    w.run('xdotool', 'mousemove', '--window', window, str(cx - wx + point[0]),
          str(cy - wy + point[1]), 'click', '1')


def picture_area(origin):
    left, top, width, height = w.PICTURE_AREA
    return w.screenshot(origin[0] + left + 20, origin[1] + top + 20, width - 40, height - 40)


def panel_has_text(origin):
    """Whether the text panel shows anything but its white ground."""
    pixels = w.screenshot(origin[0] + 12, origin[1] + 12, 280, 60)
    return w.mean_difference(pixels, [[(255, 255, 255)] * 280] * 60) > 2


def brownness(pixels):
    return w.mean_difference(pixels, [[w.BROWN] * len(pixels[0])] * len(pixels))


def receives_from_com7(folder, program):
    """hexjpg.exe --serial COM7: a picture printed as pairs by a board appears, and is written; the
    board resets (its end of the line goes away and comes back), and the next one comes too."""
    links = os.environ.get('HEXJPG_COM_LINKS')
    if not links:
        print('no COM7 in this Wine prefix: receiving not tried')
        return
    port, camera = Path(links) / 'com7', folder / 'camera'
    for link in (port, camera):
        link.unlink(missing_ok=True)
    pty = subprocess.Popen(['socat', f'pty,raw,echo=0,link={port}', f'pty,raw,echo=0,link={camera}'])
    (folder / '1.jpg').unlink(missing_ok=True)
    picture = folder / 'board.jpg'
    w.run('convert', '-size', '200x150', 'gradient:yellow-navy', '-quality', '85', str(picture))
    jpeg = picture.read_bytes()
    app = None
    try:
        w.wait_for('the pty', lambda: port.exists() and camera.exists(), 10)
        app = subprocess.Popen(['wine', str(program), '--serial', 'COM7', '--baud', '921600'],
                               cwd=folder, env=w.ENV, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
        window = w.wait_for('the receiving window',
                            lambda: w.find_windows('hexjpg@example.com$'), timeout=90)[0]
        time.sleep(2)
        origin = client_origin(window)
        with open(camera, 'wb', buffering=0) as board:
            board.write(b'OV2640 ready\r\n' + w.dump(jpeg, 16).encode() + b'\r\nok\r\n')
        written = folder / '1.jpg'
        w.wait_for('1.jpg from COM7', lambda: written.exists() and written.read_bytes() == jpeg, 30)
        w.wait_for('the picture from COM7', lambda: brownness(picture_area(origin)) > 30, 15)
        print('received from COM7: written and shown')
        pty.kill()
        pty.wait()
        time.sleep(1.5)  # the window finds the port lost, and tries again every half second
        pty = subprocess.Popen(['socat', f'pty,raw,echo=0,link={port}',
                                f'pty,raw,echo=0,link={camera}'])
        w.wait_for('the pty again', lambda: port.exists() and camera.exists(), 10)
        w.run('convert', '-size', '160x120', 'gradient:red-green', '-quality', '85', str(picture))
        again = picture.read_bytes()
        time.sleep(3)  # COM7 opened again by the window
        with open(camera, 'wb', buffering=0) as board:
            board.write(w.dump(again, 16).encode() + b'\r\n')
        w.wait_for('1.jpg from COM7 after the reset',
                   lambda: written.exists() and written.read_bytes() == again, 30)
        print('COM7 lost and opened again: the next picture written')
    finally:
        if app is not None and app.poll() is None:
            app.kill()
        pty.kill()


def opens_a_file_given(folder, program, jpeg):
    """hexjpg.exe FILE, as Explorer starts it for a file dropped on it: the picture's pairs are in the
    panel, and 转换 writes the picture again."""
    given = folder / '拖到程序上的 照片.jpg'
    given.write_bytes(jpeg)
    written = folder / '1.jpg'
    written.unlink(missing_ok=True)
    app = subprocess.Popen(['wine', str(program), str(given)], cwd=folder, env=w.ENV,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = w.wait_for('the window', lambda: w.find_windows('hexjpg@example.com$'),
                            timeout=90)[0]
        time.sleep(1)
        origin = client_origin(window)
        w.wait_for('the pairs in the panel', lambda: panel_has_text(origin), 15)
        click(window, origin, w.COMMAND1)
        w.wait_for('1.jpg', lambda: written.exists() and written.read_bytes() == jpeg, 30)
        print('a file given to hexjpg.exe: its picture written again')
    finally:
        if app.poll() is None:
            app.kill()


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    started = w.start_xvfb()
    if started is None:
        print('SKIP: no X server could be started', file=sys.stderr)
        return w.SKIP
    server, display = started
    folder = Path(tempfile.mkdtemp()) / '测试 文件夹'
    folder.mkdir()
    program = folder / 'hexjpg.exe'
    shutil.copy(sys.argv[1], program)
    # Wine's C locale is English: the described Chinese window is asked for.
    w.ENV = dict(os.environ, DISPLAY=display, WINEDEBUG='-all', LANG='zh_CN.UTF-8')
    w.ENV.pop('LC_ALL', None)
    w.ENV.pop('LANGUAGE', None)
    picture = folder / 'picture.jpg'
    w.run('convert', '-size', '320x240', 'plasma:fractal', '-quality', '90', str(picture))
    jpeg = picture.read_bytes()
    app = subprocess.Popen(['wine', str(program)], cwd=folder, env=w.ENV,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        started_at = time.monotonic()
        # Wine writes the title's Chinese into WM_NAME only where the host has a Chinese locale:
        # the window is found by the rest of its title, and its full title read from
        # _NET_WM_NAME.
        window = w.wait_for('the window', lambda: w.find_windows('hexjpg@example.com$'),
                            timeout=90)[0]
        title = w.run('xprop', '-id', window, '_NET_WM_NAME').decode()
        assert w.TITLE in title, f'the described Chinese title: {title}'
        print(f'window after {time.monotonic() - started_at:.1f} s')
        time.sleep(1)
        origin = client_origin(window)
        assert brownness(picture_area(origin)) < 10, 'the brown panel shows at start'

        # Pasted as typed (Wine takes no keys sent to a window), and again while the panel stays
        # empty: in a new Wine prefix the clipboard comes up a moment after the first window.
        for attempt in range(5):
            w.serve_clipboard(w.dump(jpeg, 16))
            click(window, origin, w.TEXT1)
            w.run('xdotool', 'key', 'ctrl+v')
            try:
                w.wait_for('the pasted text', lambda: panel_has_text(origin), 4)
                break
            except AssertionError:
                if attempt == 4:
                    raise
        click(window, origin, w.COMMAND1)
        written = folder / '1.jpg'
        w.wait_for('1.jpg', lambda: written.exists() and written.read_bytes() == jpeg, 30)
        w.wait_for('the picture', lambda: brownness(picture_area(origin)) > 30, 15)

        click(window, origin, w.COMMAND2)
        w.wait_for('the brown panel', lambda: brownness(picture_area(origin)) < 10, 15)

        click(window, origin, w.COMMAND4)
        status = app.wait(timeout=30)
        assert status == 0, f'退出 ended the program with status {status}'
        opens_a_file_given(folder, program, jpeg)
        receives_from_com7(folder, program)
        print('e2e under Wine: passed')
        return 0
    except BaseException:
        subprocess.run(['import', '-window', 'root', str(Path(tempfile.gettempdir()) /
                                                         'e2e_wine_failure.png')], env=w.ENV)
        raise
    finally:
        if app.poll() is None:
            app.kill()
        server.terminate()
        server.wait()
        shutil.rmtree(folder.parent, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
