"""The security-code sound and the alert sounds in real `orvix.exe -query`
runs under Wine: fake-parent, the bundled portal, ui-driver. The bench has no
sound card; its ALSA default device records every stream Wine plays into
$ORVIX_AUDIO_OUT (a wave file, rewritten by each new stream), so the tests
check what was heard, not only what the dialog shows.
"""
import math
import os
import re
import struct
import sys
import time
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import quota_wine_test as qt  # noqa: E402
from quota_wine_test import LINK, P_FORM, P_IMAGE, P_LOGIN, P_SOUND, RESTART, S, Query, expect, page, portal  # noqa: E402
from winebench import bench_env, build_file, main_for, windows_path  # noqa: E402

WAV = page("jcaptcha.wav")
PLAYED = bench_env()["ORVIX_AUDIO_OUT"]


def plain(markup):
    return re.sub(r"<[^>]*>", "", markup)


def link(q):
    """('links'|'playing'|text, enabled) of the link control."""
    state = q.state(LINK)
    text = plain(state["text"])
    name = {plain(S[102]): "links", plain(S[103]): "playing"}.get(text, text)
    return name, state["enabled"]


def wait_link(q, wanted, timeout=20):
    """Polls the link control until it is wanted; returns the time it was."""
    deadline = time.monotonic() + qt.wait_bound(timeout)
    while True:
        now = link(q)
        if now == wanted:
            return time.monotonic()
        if time.monotonic() > deadline:
            raise AssertionError("link control %r, not %r" % (now, wanted))
        time.sleep(0.02)


def samples(path):
    """(rate, mono samples in -1..1) of a PCM wave file."""
    with wave.open(path, "rb") as w:
        rate, channels, width, frames = w.getframerate(), w.getnchannels(), w.getsampwidth(), w.getnframes()
        data = w.readframes(frames)
    if width == 1:
        values = [(b - 128) / 128 for b in data]
    else:
        expect(width == 2, "%s: %d-byte samples" % (path, width))
        values = [v / 32768 for v in struct.unpack("<%dh" % (len(data) // 2), data)]
    return rate, [sum(values[i:i + channels]) / channels for i in range(0, len(values), channels)]


def sounding(x, run=16):
    """The samples without their runs of exact silence. Wine fills a late
    buffer with silence on a busy machine, so the recording can have gaps
    that the file has not."""
    out, zeros = [], 0
    for v in x:
        if v == 0:
            zeros += 1
            continue
        if 0 < zeros < run:
            out += [0.0] * zeros
        zeros = 0
        out.append(v)
    return out


def heard(original):
    """How the recorded stream compares with the wave file: (length ratio,
    correlation of loudness) of their sounding parts, the recording brought
    to the file's rate first (the audio stack may convert format and
    rate)."""
    if not os.path.exists(PLAYED):
        return 0.0, 0.0
    rate, played = samples(PLAYED)
    want_rate, want = samples(original)
    if rate != want_rate:
        played = [played[int(i * rate / want_rate)] for i in range(int(len(played) * want_rate / rate))]
    a, b = sounding(played), sounding(want)
    if not a or not b:
        return 0.0, 0.0
    ratio = len(a) / len(b)
    # Loudness in 10 ms steps: a few samples more or less where a gap was
    # taken out do not shift it.
    step = max(1, want_rate // 100)
    a, b = ([math.sqrt(sum(v * v for v in x[i:i + step]) / step) for i in range(0, len(x) - step + 1, step)]
            for x in (a, b))
    n = min(len(a), len(b))
    ma, mb = sum(a[:n]) / n, sum(b[:n]) / n
    cov = sum((x - ma) * (y - mb) for x, y in zip(a, b))
    va, vb = sum((x - ma) ** 2 for x in a[:n]), sum((y - mb) ** 2 for y in b[:n])
    return ratio, cov / math.sqrt(va * vb) if va and vb else 0.0


def expect_heard(original, what):
    ratio, corr = heard(original)
    expect(abs(ratio - 1) < 0.03 and corr > 0.95, "%s: length ratio %.3f, correlation %.3f" % (what, ratio, corr))


def ini_path(path):
    """A host file's Windows path as an INI value (backslashes escaped)."""
    return windows_path(path).replace("\\", "\\\\")


def temp_file(name):
    """A file of the prefix user's temporary folder (where it is depends on
    the Wine version)."""
    home = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(qt.settings_folder()))))
    for folder in (os.path.join(home, "Temp"), os.path.join(home, "AppData", "Local", "Temp")):
        if os.path.isdir(folder):
            return os.path.join(folder, name)
    raise AssertionError("no temporary folder under " + home)


def tone_wav(path, seconds=1.0, rate=22050):
    """A 16-bit stereo chirp with a swelling volume, unlike the spoken code."""
    frames = []
    for i in range(int(seconds * rate)):
        t = i / rate
        v = int(20000 * math.sin(math.pi * t / seconds) * math.sin(2 * math.pi * (300 + 400 * t) * t))
        frames.append(struct.pack("<hh", v, v // 2))
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(frames))


# ---------------------------------------------------------------------------


def test_spoken_code_plays_restarts_and_stops():
    qt.prepare_settings()
    with Query(portal()) as q:
        q.window()
        q.wait_entry()
        expect(link(q) == ("links", True), link(q))

        # First press: the sound is fetched, saved and played; the link
        # control tells the user to listen until the end notice.
        pressed = time.monotonic()
        q.ui.link(LINK, 1)
        started = wait_link(q, ("playing", False))
        ended = wait_link(q, ("links", True))
        played_for = ended - started
        expect(q.portal_paths() == [P_LOGIN, P_IMAGE, P_SOUND], q.portal_paths())
        expect(os.path.exists(temp_file("jcaptcha.wav")), "the sound is saved")
        expect_heard(WAV, "first play")
        print("  fetched and started in %.2f s, played for %.2f s" % (started - pressed, played_for))

        # The device reports a failure while it plays (MM_MCINOTIFY with
        # MCI_NOTIFY_FAILURE, as the system sends it for the open device,
        # whose id is one of the first few): the sound is over, the links
        # come back at once.
        q.ui.link(LINK, 1)
        wait_link(q, ("playing", False))
        failed = time.monotonic()
        for device in range(1, 9):
            q.ui.send(953, 8, device)  # MCI_NOTIFY_FAILURE
        wait_link(q, ("links", True), timeout=played_for / 2)
        print("  links back %.2f s after the failure notice" % (time.monotonic() - failed))

        # Pressed again while it plays: the saved file starts over, and the
        # old device's end notice, which carries the id the new device gets
        # again, does not end the new sound. (While it plays the control is
        # disabled and shows a text without links, so the driver enables it
        # and puts the links back first.)
        q.ui.link(LINK, 1)
        wait_link(q, ("playing", False))
        time.sleep(played_for / 4)
        q.ui.enable(LINK, True)
        q.ui.settext(LINK, re.sub(r"<a [^>]*>", "<a>", S[102]))
        restarted = time.monotonic()
        q.ui.link(LINK, 1)
        expect(link(q) == ("playing", False), link(q))
        ended = wait_link(q, ("links", True))
        expect(ended - restarted > 0.7 * played_for, "the restarted sound ended after %.2f s of %.2f s"
               % (ended - restarted, played_for))
        expect_heard(WAV, "restarted play")  # the whole file, not a cut-off
        expect(q.portal_paths() == [P_LOGIN, P_IMAGE, P_SOUND], q.portal_paths())

        # "Tekrar" is hidden in code entry and the links are off while the
        # code plays: a command posted for "Tekrar" then starts nothing.
        # "yineleyin" afterwards deletes the old sound before the new login,
        # and the next press fetches a new one.
        q.ui.link(LINK, 1)
        wait_link(q, ("playing", False))
        q.ui.command(RESTART)
        time.sleep(0.3)
        expect(q.portal_paths() == [P_LOGIN, P_IMAGE, P_SOUND], q.portal_paths())
        wait_link(q, ("links", True))
        q.ui.link(LINK, 0)
        expect(not os.path.exists(temp_file("jcaptcha.wav")), "the old sound is deleted")
        q.wait_entry()
        expect(link(q) == ("links", True), link(q))
        q.ui.link(LINK, 1)
        wait_link(q, ("playing", False))
        expect(q.portal_paths()[3:] == [P_LOGIN, P_IMAGE, P_SOUND], q.portal_paths())

        # Sending the code stops the sound too.
        q.login()
        q.wait_status(lambda t: t.startswith(S[106]))
        expect(link(q) == ("links", True), link(q))
        q.ui.click(qt.CLOSE)
        expect(q.finish() == 0, "exit")


def faults(lines):
    """The error exceptions (severity bits 11: access violations and the
    like) in Wine's +seh trace of the processes of a run."""
    return [line.strip() for line in lines if re.search(r"dispatch_exception code=c[0-9a-f]{7}\b", line)]


def test_spoken_code_played_to_its_end_again_and_again():
    """The end of the sound closes the last device, and the wave driver's
    playback thread could still be inside the driver as it was unloaded: now
    and then the dialog died there, silently. Played to its end many times,
    on its own and each time after "yineleyin" (a new code, a new file), under
    Wine's exception trace: no fault, no crash record, the dialog alive to
    the end, and the parent hears it close."""
    plays = int(os.environ.get("ORVIX_SOUND_PLAYS", "12"))
    qt.prepare_settings()
    crash_log = os.path.join(qt.settings_folder(), "crash.log")
    if os.path.exists(crash_log):
        os.remove(crash_log)
    # fake-parent's own limit (90 s) is for one query, not for dozens of plays.
    parent = [qt.FAKE_PARENT, "--timeout", str(60 + 10 * plays), windows_path(qt.ORVIX), "-query", "{parent}"]
    with Query(portal(), launcher=parent, env_extra={"WINEDEBUG": "+seh"}) as q:
        q.window()
        q.wait_entry()
        for i in range(2 * plays):
            try:
                if i >= plays:
                    q.ui.link(LINK, 0)  # "yineleyin": a new login and picture
                    q.wait_entry()
                q.ui.link(LINK, 1)
                wait_link(q, ("playing", False))
                wait_link(q, ("links", True))
                expect(not faults(q.err) and q.proc.poll() is None, "fault")
            except Exception as e:  # noqa: BLE001 - a dead dialog fails whatever was asked of it
                time.sleep(1)
                raise AssertionError("play %d: %s; faults %s; crash.log %r" % (
                    i + 1, e, faults(q.err)[:3], os.path.exists(crash_log) and open(crash_log).read())) from e
        expect(q.portal_paths().count(P_SOUND) == plays + 1, q.portal_paths())
        q.ui.send_class("inet30_unique_class_name", "inet30_unique_window_name", 6040)
        expect(q.finish() == 0 and len(q.messages(6042)) == 1, q.out)
    expect(not faults(q.err), faults(q.err)[:3])
    expect(not os.path.exists(crash_log), "crash.log: %s" % (os.path.exists(crash_log) and open(crash_log).read()))
    print("  %d plays to the end, %d of them after a restart" % (2 * plays, plays))


def test_alert_sounds_and_files_that_do_not_play():
    # The alerts play through the same player: the fail alert after a
    # refused code, stopped by "Tekrar", which leaves working links for the
    # new code; the ok alert after the report, to its end.
    alert = build_file("tests/quota/artifacts/alert.wav")
    os.makedirs(os.path.dirname(alert), exist_ok=True)
    tone_wav(alert, seconds=4.0)
    qt.prepare_settings(config={"query_sound": "1", "ok_file": ini_path(alert), "fail_file": ini_path(alert)})
    html = [["Content-Type", "text/html;charset=windows-1254"]]
    scenario = portal(**{P_FORM: [{"headers": html, "body_file": page("login_refused.html")},
                                  {"headers": html, "body_file": page("login_ok.html")}]})
    with Query(scenario) as q:
        q.window()
        q.wait_entry()
        q.login("yanlis")
        q.wait_status(lambda t: t.startswith(S[101]))
        wait_link(q, ("playing", False), timeout=5)
        q.ui.click(RESTART)
        expect(link(q) == ("links", True), link(q))
        q.wait_entry()
        q.ui.link(LINK, 1)  # the links answer again
        wait_link(q, ("playing", False))
        wait_link(q, ("links", True))
        expect_heard(WAV, "spoken code after the restart")
        q.login()
        q.wait_status(lambda t: t.startswith(S[106]))
        wait_link(q, ("playing", False), timeout=5)
        wait_link(q, ("links", True))
        expect_heard(alert, "ok alert")
        q.ui.click(qt.CLOSE)
        expect(q.finish() == 0, "exit")

    # A sound that is not a wave file (the portal sent an error page) is
    # saved but plays silently; a missing fail alert only beeps. Neither
    # touches the link control, and no sound reaches the device.
    if os.path.exists(PLAYED):
        os.remove(PLAYED)
    qt.prepare_settings(config={"query_sound": "1", "fail_file": ini_path("/yok/hata.wav")})
    scenario = portal(**{P_SOUND: {"body_file": page("login_tr.html"), "headers": [["Content-Type", "text/html"]]},
                         P_FORM: {"body_file": page("login_refused.html")}})
    with Query(scenario) as q:
        q.window()
        q.wait_entry()
        q.ui.link(LINK, 1)
        q.ui.wait_until(lambda: os.path.exists(temp_file("jcaptcha.wav")) and P_SOUND in q.portal_paths())
        time.sleep(0.5)
        expect(link(q) == ("links", True), link(q))
        q.ui.link(LINK, 1)  # the saved file again: no new request, still silent
        time.sleep(0.5)
        expect(link(q) == ("links", True) and q.portal_paths().count(P_SOUND) == 1, (link(q), q.portal_paths()))
        q.login("yanlis")
        q.wait_status(lambda t: t.startswith(S[101]))
        time.sleep(0.5)
        expect(link(q) == ("links", True), link(q))
        expect(heard(WAV) == (0.0, 0.0), "nothing was played")
        q.ui.click(qt.CLOSE)
        expect(q.finish() == 0, "exit")


if __name__ == "__main__":
    main_for([
        test_spoken_code_plays_restarts_and_stops,
        test_spoken_code_played_to_its_end_again_and_again,
        test_alert_sounds_and_files_that_do_not_play,
    ])
