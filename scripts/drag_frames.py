#!/usr/bin/env python3
"""Measures a rotate drag in the perspective pane of the running program, under Xvfb.

  scripts/drag_frames.py [--drags N] [--steps N] [--interval S] [--at X Y] [--button B]
                         [--step DX DY] [--pane PANE] PROGRAM DOCUMENT

Starts a private Xvfb (1280x1024x24), starts PROGRAM on DOCUMENT with MW_FRAME_TIMES=1 and its
settings in a temporary directory, waits until the process has used no CPU for 1.5 s, moves the
window to the corner and sizes it to the whole screen, waits again, then for each drag: presses
button B (default 3, the right: a turn) at X Y (by default the middle of the perspective pane in
the default layout), moves the pointer STEPS times by DX DY pixels (default 4 0), INTERVAL seconds
apart, and releases; the frames counted while it is held are PANE's (default perspective). A
select drag in the Top pane, say: --button 1 --at 200 200 --step 6 4 --pane top. Each
paint's time comes from the program's frame lines on stderr, stamped as they arrive. The
process counts as idle once its CPU time (all threads) has not advanced for 0.5 s; the time to
idle is from the release to the last advance. Drags alternate direction so the camera returns.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import threading
import time


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('program')
    ap.add_argument('document')
    ap.add_argument('--drags', type=int, default=3)
    ap.add_argument('--steps', type=int, default=30)
    ap.add_argument('--interval', type=float, default=0.03)
    ap.add_argument('--at', type=int, nargs=2, default=(900, 200), metavar=('X', 'Y'))
    ap.add_argument('--button', type=int, default=3)
    ap.add_argument('--step', type=int, nargs=2, default=(4, 0), metavar=('DX', 'DY'))
    ap.add_argument('--pane', default='perspective')
    ap.add_argument('--display', default=':57')
    ap.add_argument('--keys', nargs='*', default=[],
                    help='keys typed once the window has settled, before the drags (xdotool names), or '
                         'click:X,Y for a left click there (a toolbar button: a mode, select all)')
    args = ap.parse_args()

    home = tempfile.mkdtemp(prefix='mw-drag-')
    os.chmod(home, 0o700)
    xvfb = subprocess.Popen(['Xvfb', args.display, '-screen', '0', '1280x1024x24', '-noreset'],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    env = dict(os.environ, DISPLAY=args.display, MW_FRAME_TIMES='1', XDG_RUNTIME_DIR=home,
               XDG_CONFIG_HOME=os.path.join(home, 'config'), QT_QPA_PLATFORM='xcb')
    env.pop('WAYLAND_DISPLAY', None)
    app = subprocess.Popen([args.program, args.document], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE, text=True, bufsize=1)
    frames = []  # (arrival, pane, milliseconds)

    def read_frames():
        for line in app.stderr:
            parts = line.split()
            if len(parts) == 3 and parts[0] == 'frame':
                frames.append((time.monotonic(), parts[1], float(parts[2])))

    threading.Thread(target=read_frames, daemon=True).start()

    def cpu_ticks():
        with open(f'/proc/{app.pid}/stat') as f:
            fields = f.read().rsplit(')', 1)[1].split()
        return int(fields[11]) + int(fields[12])

    def last_busy(quiet):
        """The moment the CPU time last advanced, once it has not for `quiet` seconds."""
        ticks, changed = cpu_ticks(), time.monotonic()
        while time.monotonic() - changed < quiet:
            time.sleep(0.005)
            now_ticks = cpu_ticks()
            if now_ticks != ticks:
                ticks, changed = now_ticks, time.monotonic()
        return changed

    def xdotool(*words):
        return subprocess.run(['xdotool', *map(str, words)], env=env, check=True, capture_output=True,
                              text=True).stdout

    try:
        started = time.monotonic()
        last_busy(1.5)
        windows = xdotool('search', '--sync', '--pid', app.pid).split()

        def area(window):
            size = xdotool('getwindowgeometry', window).split('Geometry:')[1].split()[0]
            w, h = map(int, size.split('x'))
            return w * h

        main_window = max(windows, key=area)
        xdotool('windowmove', main_window, 0, 0)
        xdotool('windowsize', main_window, 1280, 1024)
        last_busy(1.5)
        for key in args.keys:
            if key.startswith('click:'):
                cx, cy = key[6:].split(',')
                xdotool('mousemove', cx, cy)
                xdotool('click', 1)
            else:
                xdotool('key', key)
            time.sleep(0.3)
        last_busy(0.5)
        print(f'opened and settled in {time.monotonic() - started:.1f} s')
        x, y = args.at
        ticks_per_s = os.sysconf('SC_CLK_TCK')
        for d in range(args.drags):
            xdotool('mousemove', x, y)
            last_busy(0.5)
            first, ticks = len(frames), cpu_ticks()
            down = time.monotonic()
            xdotool('mousedown', args.button)
            sign = 1 if d % 2 == 0 else -1
            for i in range(1, args.steps + 1):
                time.sleep(args.interval)
                xdotool('mousemove', x + args.step[0] * i * sign, y + args.step[1] * i * sign)
            up = time.monotonic()
            xdotool('mouseup', args.button)
            idle = last_busy(0.5)
            drawn = frames[first:]
            held = [f for f in drawn if f[1] == args.pane and f[0] <= up]
            after = [f for f in drawn if f[0] > up]
            last = max([up] + [f[0] for f in drawn])
            print(f'drag {d}: held {up - down:.2f} s, {len(held)} {args.pane} frames ({len(held) / (up - down):.1f}/s), '
                  f'paint {sum(f[2] for f in held) / max(1, len(held)):.0f} ms on average; '
                  f'after the release: {len(after)} paints {[f"{f[1]} {f[2]:.0f}" for f in after]}, '
                  f'last {last - up:.3f} s, idle {idle - up:.3f} s; '
                  f'CPU {(cpu_ticks() - ticks) / ticks_per_s:.2f} s', flush=True)
    finally:
        app.terminate()
        try:
            app.wait(5)
        except subprocess.TimeoutExpired:
            app.kill()
        xvfb.terminate()
        xvfb.wait()
    return 0


if __name__ == '__main__':
    sys.exit(main())
